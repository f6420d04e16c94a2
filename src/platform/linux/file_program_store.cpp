#include "platform/linux/file_program_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "platform/linux/desktop_entry.h"
#include "platform/linux/file_io.h"

namespace calventa::platform::linux_backend {

namespace {

// Store files are read by every user's monitor and written by root's tools and service.
constexpr mode_t kValueFileMode = 0644;
constexpr mode_t kKeyDirectoryMode = 0755;
// Longest string value read; a longer file is not one this program wrote.
constexpr size_t kMaxStringBytes = 64 * 1024;

constexpr const char* kAutorunEntryValue = "Calventa";
constexpr const char* kAutorunProbeValue = "Temp";
constexpr const char* kAutorunEntryFile = "calventa.desktop";
// Hidden and not a .desktop file, so no session ever starts it.
constexpr const char* kAutorunProbeFile = ".calventa-autorun-probe";

struct KeyRights
{
    bool read = false;
    bool write = false;
};

enum class ValueType { String, Dword, Binary };
constexpr std::array<ValueType, 3> kValueTypes = {ValueType::String, ValueType::Dword, ValueType::Binary};

const char* SuffixOf(ValueType type)
{
    switch (type) {
    case ValueType::String:
        return ".sz";
    case ValueType::Dword:
        return ".dword";
    case ValueType::Binary:
        return ".bin";
    }
    return ".bin";
}

bool PathExists(const std::string& path)
{
    struct stat st = {};
    return lstat(path.c_str(), &st) == 0;
}

bool ReplaceText(const std::string& path, const std::string& text)
{
    return ReplaceFileAtomically(path, {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, kValueFileMode);
}

std::optional<std::string> ReadText(const std::string& path)
{
    const auto bytes = ReadFileBytes(path, kMaxStringBytes + 1);
    if (!bytes || bytes->size() > kMaxStringBytes) {
        return std::nullopt;
    }
    return std::string(bytes->begin(), bytes->end());
}

class ProgramKey final : public StoreKey
{
public:
    ProgramKey(std::string directory, KeyRights rights) : m_directory(std::move(directory)), m_rights(rights) {}

    std::optional<std::string> ReadString(const std::string& name) override
    {
        auto text = ReadValue(name, ValueType::String, kMaxStringBytes + 1);
        if (!text || text->size() > kMaxStringBytes) {
            return std::nullopt;
        }
        // A string ends at its first NUL, as a registry string does.
        std::string value(text->begin(), text->end());
        return value.substr(0, value.find('\0'));
    }

    std::optional<uint32_t> ReadDword(const std::string& name) override
    {
        const auto bytes = ReadValue(name, ValueType::Dword, 5);
        if (!bytes || bytes->size() != 4) {
            return std::nullopt;
        }
        const auto& b = *bytes;
        return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16 |
               static_cast<uint32_t>(b[3]) << 24;
    }

    std::optional<std::vector<uint8_t>> ReadBinary(const std::string& name, size_t maxBytes) override
    {
        return ReadValue(name, ValueType::Binary, maxBytes);
    }

    bool HasValue(const std::string& name) override
    {
        if (!m_rights.read || !IsPlainFileName(name)) {
            return false;
        }
        for (const ValueType type : kValueTypes) {
            if (PathExists(PathOf(name, type))) {
                return true;
            }
        }
        return false;
    }

    bool WriteString(const std::string& name, const std::string& value) override
    {
        return WriteValue(name, ValueType::String, {reinterpret_cast<const uint8_t*>(value.data()), value.size()});
    }

    bool WriteDword(const std::string& name, uint32_t value) override
    {
        const std::array<uint8_t, 4> bytes = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
        return WriteValue(name, ValueType::Dword, bytes);
    }

    bool WriteBinary(const std::string& name, const std::vector<uint8_t>& value) override
    {
        return WriteValue(name, ValueType::Binary, value);
    }

    // False when no value of that name existed, as deleting a missing registry value is.
    bool DeleteValue(const std::string& name) override
    {
        if (!m_rights.write || !IsPlainFileName(name)) {
            return false;
        }
        bool deleted = false;
        bool failed = false;
        for (const ValueType type : kValueTypes) {
            if (unlink(PathOf(name, type).c_str()) == 0) {
                deleted = true;
            } else if (errno != ENOENT) {
                failed = true;
            }
        }
        return deleted && !failed;
    }

private:
    std::string PathOf(const std::string& name, ValueType type) const
    {
        return m_directory + "/" + name + SuffixOf(type);
    }

    std::optional<std::vector<uint8_t>> ReadValue(const std::string& name, ValueType type, size_t maxBytes) const
    {
        if (!m_rights.read || !IsPlainFileName(name)) {
            return std::nullopt;
        }
        return ReadFileBytes(PathOf(name, type), maxBytes);
    }

    bool WriteValue(const std::string& name, ValueType type, std::span<const uint8_t> bytes)
    {
        if (!m_rights.write || !IsPlainFileName(name) ||
            !ReplaceFileAtomically(PathOf(name, type), bytes, kValueFileMode)) {
            return false;
        }
        // The new value is in place before the old type goes, so a crash between the two
        // leaves the value readable as what was last written.
        bool ok = true;
        for (const ValueType other : kValueTypes) {
            if (other != type && unlink(PathOf(name, other).c_str()) != 0 && errno != ENOENT) {
                ok = false;
            }
        }
        return ok;
    }

    std::string m_directory;
    KeyRights m_rights;
};

class AutorunKey final : public StoreKey
{
public:
    AutorunKey(std::string directory, KeyRights rights, FileProgramStore::ExecutablePathProvider executablePath)
        : m_directory(std::move(directory)), m_rights(rights), m_executablePath(std::move(executablePath))
    {
    }

    std::optional<std::string> ReadString(const std::string& name) override
    {
        const auto path = PathOf(name);
        if (!m_rights.read || !path) {
            return std::nullopt;
        }
        auto text = ReadText(*path);
        if (!text || name != kAutorunEntryValue) {
            return text;
        }
        return DesktopEntryProgram(*text);
    }

    // The autorun key holds strings only.
    std::optional<uint32_t> ReadDword(const std::string&) override { return std::nullopt; }
    std::optional<std::vector<uint8_t>> ReadBinary(const std::string&, size_t) override { return std::nullopt; }
    bool WriteDword(const std::string&, uint32_t) override { return false; }
    bool WriteBinary(const std::string&, const std::vector<uint8_t>&) override { return false; }

    bool HasValue(const std::string& name) override
    {
        const auto path = PathOf(name);
        return m_rights.read && path && PathExists(*path);
    }

    bool WriteString(const std::string& name, const std::string& value) override
    {
        const auto path = PathOf(name);
        if (!m_rights.write || !path) {
            return false;
        }
        return ReplaceText(*path, name == kAutorunEntryValue ? DesktopEntryText(ProgramToStart(value)) : value);
    }

    bool DeleteValue(const std::string& name) override
    {
        const auto path = PathOf(name);
        return m_rights.write && path && unlink(path->c_str()) == 0;
    }

private:
    std::optional<std::string> PathOf(const std::string& name) const
    {
        if (name == kAutorunEntryValue) {
            return m_directory + "/" + kAutorunEntryFile;
        }
        if (name == kAutorunProbeValue) {
            return m_directory + "/" + kAutorunProbeFile;
        }
        return std::nullopt;
    }

    std::string ProgramToStart(const std::string& programPath) const
    {
        struct stat st = {};
        const bool runnable =
            stat(programPath.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(programPath.c_str(), X_OK) == 0;
        if (runnable || !m_executablePath) {
            return programPath;
        }
        std::string running = m_executablePath();
        return running.empty() ? programPath : running;
    }

    std::string m_directory;
    KeyRights m_rights;
    FileProgramStore::ExecutablePathProvider m_executablePath;
};

bool IsDirectory(const std::string& path)
{
    struct stat st = {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The rights asked for, when this process has them on the directory.
std::optional<KeyRights> RightsOn(const std::string& directory, uint32_t access)
{
    const KeyRights rights = {GrantsRead(access), GrantsWrite(access)};
    if (rights.read && ::access(directory.c_str(), R_OK | X_OK) != 0) {
        return std::nullopt;
    }
    if (rights.write && ::access(directory.c_str(), W_OK | X_OK) != 0) {
        return std::nullopt;
    }
    return rights;
}

} // namespace

FileProgramStore::FileProgramStore(std::string registryRoot, std::string autostartDirectory,
                                   ExecutablePathProvider executablePath, bool createAutostartDirectory)
    : m_registryRoot(std::move(registryRoot)), m_autostartDirectory(std::move(autostartDirectory)),
      m_executablePath(std::move(executablePath)), m_createAutostartDirectory(createAutostartDirectory)
{
}

std::string AutostartDirectoryFor(bool root, const char* xdgConfigHome, const char* home)
{
    if (root) {
        return kDefaultAutostartDirectory;
    }
    if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/') {
        return std::string(xdgConfigHome) + "/autostart";
    }
    if (home != nullptr && home[0] == '/') {
        return std::string(home) + "/.config/autostart";
    }
    return {};
}

std::unique_ptr<StoreKey> FileProgramStore::OpenKey(StoreKeyId key, uint32_t access, bool createIfMissing)
{
    if (key == StoreKeyId::Autorun) {
        // A system directory is never created by us; the user's own is, when it is to be written.
        if (m_createAutostartDirectory && !m_autostartDirectory.empty() && !IsDirectory(m_autostartDirectory) &&
            (access & kKeyWrite & ~kKeyRead) != 0) {
            MakeDirectories(m_autostartDirectory, kKeyDirectoryMode);
        }
        const auto rights = IsDirectory(m_autostartDirectory) ? RightsOn(m_autostartDirectory, access) : std::nullopt;
        return rights ? std::make_unique<AutorunKey>(m_autostartDirectory, *rights, m_executablePath) : nullptr;
    }
    if (!IsDirectory(m_registryRoot) && !(createIfMissing && MakeDirectories(m_registryRoot, kKeyDirectoryMode))) {
        return nullptr;
    }
    const auto rights = RightsOn(m_registryRoot, access);
    return rights ? std::make_unique<ProgramKey>(m_registryRoot, *rights) : nullptr;
}

} // namespace calventa::platform::linux_backend
