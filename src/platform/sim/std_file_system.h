#pragma once

#include <filesystem>
#include <string>

#include "platform/files.h"

namespace calventa::sim {

// The host's files through the C++ library alone, for board runs on a build whose real back
// end is not used for them (Windows). Paths are UTF-8. A replace writes a temporary beside
// the file and renames it over (MoveFileEx with replace on Windows), so the old file stays
// whole until the new one is complete. Every directory is trusted: ownership checks are the
// real back ends' business.
class StdFileSystem final : public platform::FileSystem
{
public:
    std::optional<std::vector<uint8_t>> ReadFile(const std::string& path, size_t maxBytes) override;
    bool ReplaceFile(const std::string& path, std::span<const uint8_t> bytes) override;
    bool IsReadOnly(const std::string& path) override;
    std::unique_ptr<platform::TextFile> CreateTextFile(const std::string& path) override;
    bool RemoveFile(const std::string& path) override;
    bool FileExists(const std::string& path) override;
    std::unique_ptr<platform::Directory> OpenProgramDirectory(const std::string& path, std::string& why) override;
};

// A UTF-8 path as a path of the host (wide on Windows) and back.
std::filesystem::path PathFromUtf8(const std::string& utf8);
std::string Utf8FromPath(const std::filesystem::path& path);

} // namespace calventa::sim
