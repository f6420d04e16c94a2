#pragma once

#include <functional>
#include <string>

#include "platform/files.h"

namespace calventa::platform::windows_backend {

// The name of the temporary a save writes beside its target: "<target>.<pid>.<n>.tmp".
std::string TemporaryNameFor(const std::string& target, uint32_t processId, uint32_t counter);
// The process id of a temporary of target's saves; nullopt for any other name.
std::optional<uint32_t> TemporaryOwner(const std::string& targetFileName, const std::string& fileName);

// Files on the real file system, paths in UTF-8.
class WindowsFileSystem final : public FileSystem
{
public:
    // Called between the temporary's flush and the rename: tests stop the process there.
    using BeforeRename = std::function<void(const std::string& temporary)>;
    explicit WindowsFileSystem(BeforeRename beforeRename = {});

    std::optional<std::vector<uint8_t>> ReadFile(const std::string& path, size_t maxBytes) override;
    // The new content goes to a temporary beside the target, is flushed to the disk and moved
    // over the target (MoveFileEx, replacing, write-through), so that a crash or a full disk
    // leaves the old file whole. Temporaries of saves whose process is gone (or older than
    // ten minutes) are removed first. A read-only target stays.
    bool ReplaceFile(const std::string& path, std::span<const uint8_t> bytes) override;
    // The read-only attribute, or a file this user may not open for writing.
    bool IsReadOnly(const std::string& path) override;
    std::unique_ptr<TextFile> CreateTextFile(const std::string& path) override;
    bool RemoveFile(const std::string& path) override;
    bool FileExists(const std::string& path) override;
    // A directory that exists, by its full path; nullopt with the reason otherwise. Windows
    // has no root-owned program directory to guard: who may write it is the folder's own
    // permission list.
    std::unique_ptr<Directory> OpenProgramDirectory(const std::string& path, std::string& why) override;

private:
    void RemoveDeadTemporaries(const std::string& path);

    BeforeRename m_beforeRename;
    uint32_t m_counter = 0;
};

} // namespace calventa::platform::windows_backend
