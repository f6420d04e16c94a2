#pragma once

#include "platform/files.h"

namespace calventa::platform::linux_backend {

// Files on the real file system. Paths are used as given.
class LinuxFileSystem final : public FileSystem
{
public:
    std::optional<std::vector<uint8_t>> ReadFile(const std::string& path, size_t maxBytes) override;
    // A new file, or one replacing a link or another user's file, gets 0644 less the umask;
    // a regular file of this user keeps its permission bits, set-id bits cleared. A regular
    // file the real user may not write stays (EACCES).
    bool ReplaceFile(const std::string& path, std::span<const uint8_t> bytes) override;
    bool IsReadOnly(const std::string& path) override;
    // Never through a link or into anything but a regular file with a single name.
    std::unique_ptr<TextFile> CreateTextFile(const std::string& path) override;
    bool RemoveFile(const std::string& path) override;
    // True for anything but a directory.
    bool FileExists(const std::string& path) override;
    // Root takes only a directory that nobody else can change, reached through no link that
    // anybody else could have planted or redirected (OpenTrustedDirectory), and keeps it open;
    // any other user takes every directory by its path as given.
    std::unique_ptr<Directory> OpenProgramDirectory(const std::string& path, std::string& why) override;
};

} // namespace calventa::platform::linux_backend
