#include "platform/sim/std_file_system.h"

#include "platform/directory_by_path.h"

#include <atomic>
#include <chrono>
#include <fstream>

namespace calventa::sim {

namespace fs = std::filesystem;

namespace {

class StreamTextFile final : public platform::TextFile
{
public:
    explicit StreamTextFile(std::ofstream stream) : m_stream(std::move(stream)) {}

    bool Write(std::string_view text) override
    {
        m_stream.write(text.data(), static_cast<std::streamsize>(text.size()));
        m_stream.flush();
        return static_cast<bool>(m_stream);
    }

private:
    std::ofstream m_stream;
};

// A name no other save of this process or another one picks at the same moment.
std::string TemporarySuffix()
{
    static std::atomic<uint64_t> counter{0};
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    return ".tmp-" + std::to_string(static_cast<uint64_t>(ticks)) + "-" + std::to_string(counter++);
}

} // namespace

fs::path PathFromUtf8(const std::string& utf8)
{
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8FromPath(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::optional<std::vector<uint8_t>> StdFileSystem::ReadFile(const std::string& path, size_t maxBytes)
{
    std::error_code error;
    if (fs::is_directory(PathFromUtf8(path), error)) {
        return std::nullopt;
    }
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::vector<uint8_t> bytes(maxBytes);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(maxBytes));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

bool StdFileSystem::ReplaceFile(const std::string& path, std::span<const uint8_t> bytes)
{
    if (IsReadOnly(path)) {
        return false;
    }
    const fs::path target = PathFromUtf8(path);
    fs::path temporary = target;
    temporary += TemporarySuffix();
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            out.close();
            std::error_code ignored;
            fs::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code error;
    fs::rename(temporary, target, error);
    if (error) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return false;
    }
    return true;
}

bool StdFileSystem::IsReadOnly(const std::string& path)
{
    std::error_code error;
    const fs::file_status status = fs::status(PathFromUtf8(path), error);
    return !error && fs::is_regular_file(status) && (status.permissions() & fs::perms::owner_write) == fs::perms::none;
}

std::unique_ptr<platform::TextFile> StdFileSystem::CreateTextFile(const std::string& path)
{
    std::error_code error;
    if (fs::is_directory(PathFromUtf8(path), error)) {
        return nullptr;
    }
    std::ofstream out(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
    if (!out) {
        return nullptr;
    }
    return std::make_unique<StreamTextFile>(std::move(out));
}

bool StdFileSystem::RemoveFile(const std::string& path)
{
    std::error_code error;
    return fs::remove(PathFromUtf8(path), error) && !error;
}

bool StdFileSystem::FileExists(const std::string& path)
{
    std::error_code error;
    const fs::file_status status = fs::status(PathFromUtf8(path), error);
    return !error && fs::exists(status) && !fs::is_directory(status);
}

std::unique_ptr<platform::Directory> StdFileSystem::OpenProgramDirectory(const std::string& path, std::string&)
{
    return std::make_unique<platform::DirectoryByPath>(*this, path, [](const std::string& directory, const std::string& name) {
        if (directory.empty()) {
            return name;
        }
        return directory.back() == '/' ? directory + name : directory + "/" + name;
    });
}

} // namespace calventa::sim
