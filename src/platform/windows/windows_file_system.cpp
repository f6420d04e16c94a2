#include "platform/windows/windows_file_system.h"

#include "platform/directory_by_path.h"

#include "platform/windows/win_api.h"

#include <cstdio>
#include <cstdlib>

#include "platform/windows/win_text.h"

namespace calventa::platform::windows_backend {

namespace {

constexpr ULONGLONG kDeadTemporaryAge = 10ULL * 60 * 10000000; // ten minutes in 100 ns units

class HandleTextFile final : public TextFile
{
public:
    explicit HandleTextFile(HANDLE handle) : m_handle(handle) {}
    ~HandleTextFile() override { CloseHandle(m_handle); }
    HandleTextFile(const HandleTextFile&) = delete;
    HandleTextFile& operator=(const HandleTextFile&) = delete;

    bool Write(std::string_view text) override
    {
        while (!text.empty()) {
            DWORD written = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size(), 1 << 20));
            if (!WriteFile(m_handle, text.data(), chunk, &written, nullptr) || written == 0) {
                return false;
            }
            text.remove_prefix(written);
        }
        return true;
    }

private:
    HANDLE m_handle;
};

bool WriteAll(HANDLE handle, std::span<const uint8_t> bytes)
{
    while (!bytes.empty()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1 << 20));
        if (!WriteFile(handle, bytes.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        bytes = bytes.subspan(written);
    }
    return true;
}

std::pair<std::string, std::string> SplitDirectory(const std::string& path)
{
    const size_t separator = path.find_last_of("\\/");
    if (separator == std::string::npos) {
        return {"", path};
    }
    return {path.substr(0, separator + 1), path.substr(separator + 1)};
}

bool ProcessAlive(uint32_t processId)
{
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (process == nullptr) {
        // Access denied means someone's process is there.
        return GetLastError() == ERROR_ACCESS_DENIED;
    }
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

} // namespace

std::string TemporaryNameFor(const std::string& target, uint32_t processId, uint32_t counter)
{
    return target + "." + std::to_string(processId) + "." + std::to_string(counter) + ".tmp";
}

std::optional<uint32_t> TemporaryOwner(const std::string& targetFileName, const std::string& fileName)
{
    const std::string prefix = targetFileName + ".";
    const std::string suffix = ".tmp";
    if (fileName.size() <= prefix.size() + suffix.size() || fileName.compare(0, prefix.size(), prefix) != 0 ||
        fileName.compare(fileName.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return std::nullopt;
    }
    const std::string middle = fileName.substr(prefix.size(), fileName.size() - prefix.size() - suffix.size());
    const size_t dot = middle.find('.');
    if (dot == 0 || dot == std::string::npos || dot > 10) {
        return std::nullopt;
    }
    uint64_t pid = 0;
    for (size_t i = 0; i < dot; ++i) {
        if (middle[i] < '0' || middle[i] > '9') {
            return std::nullopt;
        }
        pid = pid * 10 + static_cast<uint64_t>(middle[i] - '0');
    }
    for (size_t i = dot + 1; i < middle.size(); ++i) {
        if (middle[i] < '0' || middle[i] > '9') {
            return std::nullopt;
        }
    }
    if (dot + 1 == middle.size() || pid > 0xFFFFFFFFu) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(pid);
}

WindowsFileSystem::WindowsFileSystem(BeforeRename beforeRename) : m_beforeRename(std::move(beforeRename)) {}

std::optional<std::vector<uint8_t>> WindowsFileSystem::ReadFile(const std::string& path, size_t maxBytes)
{
    const std::wstring wide = WideFromUtf8(path);
    HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> chunk(std::min<size_t>(maxBytes, 64 * 1024));
    bool ok = true;
    while (bytes.size() < maxBytes) {
        DWORD read = 0;
        const DWORD want = static_cast<DWORD>(std::min(chunk.size(), maxBytes - bytes.size()));
        if (!::ReadFile(handle, chunk.data(), want, &read, nullptr)) {
            ok = false;
            break;
        }
        if (read == 0) {
            break;
        }
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + read);
    }
    CloseHandle(handle);
    if (!ok) {
        return std::nullopt;
    }
    return bytes;
}

void WindowsFileSystem::RemoveDeadTemporaries(const std::string& path)
{
    const auto [directory, name] = SplitDirectory(path);
    const std::wstring pattern = WideFromUtf8(path + ".*.tmp");
    WIN32_FIND_DATAW found = {};
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    FILETIME nowTime = {};
    GetSystemTimeAsFileTime(&nowTime);
    const ULONGLONG now = (static_cast<ULONGLONG>(nowTime.dwHighDateTime) << 32) | nowTime.dwLowDateTime;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            continue;
        }
        const std::string fileName = Utf8FromWide(found.cFileName, wcslen(found.cFileName));
        const std::optional<uint32_t> owner = TemporaryOwner(name, fileName);
        if (!owner) {
            continue;
        }
        const ULONGLONG written =
            (static_cast<ULONGLONG>(found.ftLastWriteTime.dwHighDateTime) << 32) | found.ftLastWriteTime.dwLowDateTime;
        const bool old = now > written && now - written > kDeadTemporaryAge;
        if (old || (*owner != GetCurrentProcessId() && !ProcessAlive(*owner))) {
            DeleteFileW(WideFromUtf8(directory + fileName).c_str());
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

bool WindowsFileSystem::ReplaceFile(const std::string& path, std::span<const uint8_t> bytes)
{
    if (IsReadOnly(path)) {
        return false;
    }
    RemoveDeadTemporaries(path);
    const std::string temporary = TemporaryNameFor(path, GetCurrentProcessId(), m_counter++);
    const std::wstring wideTemporary = WideFromUtf8(temporary);
    HANDLE handle =
        CreateFileW(wideTemporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool written = WriteAll(handle, bytes) && FlushFileBuffers(handle);
    CloseHandle(handle);
    if (!written) {
        DeleteFileW(wideTemporary.c_str());
        return false;
    }
    if (m_beforeRename) {
        m_beforeRename(temporary);
    }
    const std::wstring wideTarget = WideFromUtf8(path);
    if (!MoveFileExW(wideTemporary.c_str(), wideTarget.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(wideTemporary.c_str());
        return false;
    }
    return true;
}

bool WindowsFileSystem::IsReadOnly(const std::string& path)
{
    const std::wstring wide = WideFromUtf8(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return true;
    }
    HANDLE handle = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return GetLastError() == ERROR_ACCESS_DENIED;
    }
    CloseHandle(handle);
    return false;
}

std::unique_ptr<TextFile> WindowsFileSystem::CreateTextFile(const std::string& path)
{
    const std::wstring wide = WideFromUtf8(path);
    HANDLE handle = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    return std::make_unique<HandleTextFile>(handle);
}

bool WindowsFileSystem::RemoveFile(const std::string& path)
{
    return DeleteFileW(WideFromUtf8(path).c_str()) != 0;
}

bool WindowsFileSystem::FileExists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesW(WideFromUtf8(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The directory named by its full path. Nothing like a user's planted link steers a Windows
// program into another directory, so it is not kept open; it only has to exist.
std::unique_ptr<Directory> WindowsFileSystem::OpenProgramDirectory(const std::string& path, std::string& why)
{
    const auto opened = [this](std::string directory) -> std::unique_ptr<Directory> {
        return std::make_unique<DirectoryByPath>(*this, std::move(directory),
                                                 [](const std::string& folder, const std::string& name) {
                                                     const char last = folder.back();
                                                     return last == '\\' || last == '/' ? folder + name
                                                                                        : folder + "\\" + name;
                                                 });
    };
    const std::wstring wide = WideFromUtf8(path);
    const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        why = "program directory " + path + " does not exist";
        return nullptr;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        why = "program directory " + path + " is not a directory";
        return nullptr;
    }
    std::wstring full(MAX_PATH, L'\0');
    DWORD length = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length >= full.size()) {
        full.resize(length + 1);
        length = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    if (length == 0 || length >= full.size()) {
        return opened(path);
    }
    full.resize(length);
    // Files are joined with a backslash: keep none at the end, except for a drive's root.
    while (full.size() > 3 && (full.back() == L'\\' || full.back() == L'/')) {
        full.pop_back();
    }
    return opened(Utf8FromWide(full));
}

} // namespace calventa::platform::windows_backend
