#pragma once

// In-memory stand-ins for the platform interfaces, for tests that need no simulated board.
// Every fake keeps its state in public members so that a test can arrange and inspect it.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "platform/platform.h"

namespace calventa::core::fake {

class FakeFileSystem : public platform::FileSystem
{
public:
    std::map<std::string, std::vector<uint8_t>> Files;
    std::set<std::string> Unreadable;  // ReadFile fails although the file may exist
    std::set<std::string> Uncreatable; // CreateTextFile and ReplaceFile fail
    std::set<std::string> Untrusted;   // directories OpenProgramDirectory refuses
    std::set<std::string> ReadOnly;    // existing files ReplaceFile leaves alone
    bool FailTextWrites = false;       // TextFile::Write fails and stores nothing
    int Replacements = 0;              // successful ReplaceFile calls
    std::vector<std::string> Touched;  // every path any call named, in order

    static std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }
    std::string Text(const std::string& path) const
    {
        auto it = Files.find(path);
        return it == Files.end() ? std::string() : std::string(it->second.begin(), it->second.end());
    }

    std::optional<std::vector<uint8_t>> ReadFile(const std::string& path, size_t maxBytes) override
    {
        Touched.push_back(path);
        auto it = Files.find(path);
        if (it == Files.end() || Unreadable.contains(path)) {
            return std::nullopt;
        }
        const size_t count = std::min(maxBytes, it->second.size());
        return std::vector<uint8_t>(it->second.begin(), it->second.begin() + static_cast<std::ptrdiff_t>(count));
    }

    bool ReplaceFile(const std::string& path, std::span<const uint8_t> bytes) override
    {
        Touched.push_back(path);
        if (Uncreatable.contains(path) || IsReadOnly(path)) {
            return false;
        }
        Files[path] = std::vector<uint8_t>(bytes.begin(), bytes.end());
        ++Replacements;
        return true;
    }

    bool IsReadOnly(const std::string& path) override { return Files.contains(path) && ReadOnly.contains(path); }

    std::unique_ptr<platform::TextFile> CreateTextFile(const std::string& path) override
    {
        Touched.push_back(path);
        if (Uncreatable.contains(path)) {
            return nullptr;
        }
        Files[path].clear();
        return std::make_unique<File>(*this, path);
    }

    bool RemoveFile(const std::string& path) override
    {
        Touched.push_back(path);
        return Files.erase(path) > 0;
    }

    bool FileExists(const std::string& path) override
    {
        Touched.push_back(path);
        return Files.contains(path);
    }

    std::unique_ptr<platform::Directory> OpenProgramDirectory(const std::string& path, std::string& why) override
    {
        if (Untrusted.contains(path)) {
            why = path + " is writable by group or others (mode 0777)";
            return nullptr;
        }
        return std::make_unique<Directory>(*this, path);
    }

private:
    // Files named "<directory>/<name>", as FakeSystemFacts joins them.
    class Directory : public platform::Directory
    {
    public:
        Directory(FakeFileSystem& owner, std::string path) : m_owner(owner), m_path(std::move(path)) {}
        const std::string& Path() const override { return m_path; }
        std::optional<std::vector<uint8_t>> ReadFile(const std::string& name, size_t maxBytes) override
        {
            return m_owner.ReadFile(Of(name), maxBytes);
        }
        bool ReplaceFile(const std::string& name, std::span<const uint8_t> bytes) override
        {
            return m_owner.ReplaceFile(Of(name), bytes);
        }
        bool IsReadOnly(const std::string& name) override { return m_owner.IsReadOnly(Of(name)); }
        std::unique_ptr<platform::TextFile> CreateTextFile(const std::string& name) override
        {
            return m_owner.CreateTextFile(Of(name));
        }
        bool RemoveFile(const std::string& name) override { return m_owner.RemoveFile(Of(name)); }
        bool FileExists(const std::string& name) override { return m_owner.FileExists(Of(name)); }

    private:
        std::string Of(const std::string& name) const { return m_path + "/" + name; }

        FakeFileSystem& m_owner;
        std::string m_path;
    };

    class File : public platform::TextFile
    {
    public:
        File(FakeFileSystem& owner, std::string path) : m_owner(owner), m_path(std::move(path)) {}
        bool Write(std::string_view text) override
        {
            if (m_owner.FailTextWrites) {
                return false;
            }
            auto& content = m_owner.Files[m_path];
            content.insert(content.end(), text.begin(), text.end());
            return true;
        }

    private:
        FakeFileSystem& m_owner;
        std::string m_path;
    };
};

// Time stands still unless a test moves it; sleeps only add up.
class FakeClock : public platform::Clock
{
public:
    platform::LocalDateTime Current{2004, 12, 8, 14, 5, 33};
    int NowCalls = 0;
    uint64_t SleptMs = 0;
    // When set, each Now() advances the seconds by one (wrapping within the minute).
    bool TickOnEachCall = false;

    platform::LocalDateTime Now() override
    {
        ++NowCalls;
        const platform::LocalDateTime result = Current;
        if (TickOnEachCall) {
            Current.second = (Current.second + 1) % 60;
        }
        return result;
    }
    void SleepMs(uint32_t milliseconds) override { SleptMs += milliseconds; }
};

// Day-month-year dates and 24-hour times, '/' between path parts.
class FakeSystemFacts : public platform::SystemFacts
{
public:
    platform::PlatformFamily FamilyValue = platform::PlatformFamily::NtFamily;
    platform::ScreenSize Screen{1280, 1024};
    std::string Separator = ".";
    std::string DefaultDirectory = "/home/user/.config/calventa";
    std::string Executable = "/opt/calventa/bin/calventa";

    platform::PlatformFamily Family() const override { return FamilyValue; }
    platform::ScreenSize PrimaryScreen() const override { return Screen; }
    std::string FormatShortDate(const platform::LocalDateTime& when) const override
    {
        return TwoDigits(when.day) + "." + TwoDigits(when.month) + "." + std::to_string(when.year);
    }
    std::string FormatLongTime(const platform::LocalDateTime& when) const override
    {
        return TwoDigits(when.hour) + ":" + TwoDigits(when.minute) + ":" + TwoDigits(when.second);
    }
    std::string DecimalSeparator() const override { return Separator; }
    std::string DefaultProgramDirectory() const override { return DefaultDirectory; }
    std::string ExecutablePath() const override { return Executable; }
    std::string JoinPath(const std::string& directory, const std::string& name) const override
    {
        return directory + "/" + name;
    }

private:
    static std::string TwoDigits(int value) { return (value >= 0 && value < 10 ? "0" : "") + std::to_string(value); }
};

// Registry-like store. A key opens only with the rights its ACL grants; the granted right is
// then checked on every call, as on a real key opened with that mask.
class FakeProgramStore : public platform::ProgramStore
{
public:
    using Value = std::variant<std::string, uint32_t, std::vector<uint8_t>>;

    struct Key
    {
        bool Exists = true;
        bool ReadAllowed = true;
        bool WriteAllowed = true;
        bool FailWrites = false; // opens for writing, but every write or delete fails
        std::map<std::string, Value> Values;
    };

    struct OpenCall
    {
        platform::StoreKeyId Id;
        uint32_t Access;
        bool Create;
    };

    std::map<platform::StoreKeyId, Key> Keys{{platform::StoreKeyId::Program, {}}, {platform::StoreKeyId::Autorun, {}}};
    std::vector<OpenCall> Opens;
    int LiveKeys = 0; // keys opened and not yet closed

    std::unique_ptr<platform::StoreKey> OpenKey(platform::StoreKeyId id, uint32_t access, bool createIfMissing) override
    {
        Opens.push_back({id, access, createIfMissing});
        Key& key = Keys[id];
        if (!key.Exists) {
            if (!createIfMissing || !key.WriteAllowed) {
                return nullptr;
            }
            key.Exists = true;
        }
        if ((platform::GrantsRead(access) && !key.ReadAllowed) ||
            (platform::GrantsWrite(access) && !key.WriteAllowed)) {
            return nullptr;
        }
        return std::make_unique<OpenedKey>(*this, key, access);
    }

private:
    class OpenedKey : public platform::StoreKey
    {
    public:
        OpenedKey(FakeProgramStore& store, Key& key, uint32_t access) : m_store(store), m_key(key), m_access(access)
        {
            ++m_store.LiveKeys;
        }
        ~OpenedKey() override { --m_store.LiveKeys; }

        std::optional<std::string> ReadString(const std::string& name) override { return Read<std::string>(name); }
        std::optional<uint32_t> ReadDword(const std::string& name) override { return Read<uint32_t>(name); }
        std::optional<std::vector<uint8_t>> ReadBinary(const std::string& name, size_t maxBytes) override
        {
            auto value = Read<std::vector<uint8_t>>(name);
            if (value && value->size() > maxBytes) {
                value->resize(maxBytes);
            }
            return value;
        }
        bool HasValue(const std::string& name) override
        {
            return platform::GrantsRead(m_access) && m_key.Values.contains(name);
        }

        bool WriteString(const std::string& name, const std::string& value) override { return Write(name, value); }
        bool WriteDword(const std::string& name, uint32_t value) override { return Write(name, value); }
        bool WriteBinary(const std::string& name, const std::vector<uint8_t>& value) override
        {
            return Write(name, value);
        }
        bool DeleteValue(const std::string& name) override
        {
            return platform::GrantsWrite(m_access) && !m_key.FailWrites && m_key.Values.erase(name) > 0;
        }

    private:
        template <typename T> std::optional<T> Read(const std::string& name)
        {
            auto it = m_key.Values.find(name);
            if (!platform::GrantsRead(m_access) || it == m_key.Values.end() || !std::holds_alternative<T>(it->second)) {
                return std::nullopt;
            }
            return std::get<T>(it->second);
        }
        bool Write(const std::string& name, Value value)
        {
            if (!platform::GrantsWrite(m_access) || m_key.FailWrites) {
                return false;
            }
            m_key.Values[name] = std::move(value);
            return true;
        }

        FakeProgramStore& m_store;
        Key& m_key;
        uint32_t m_access;
    };
};

// No hardware: every port floats high, nothing is granted.
class FakePortIo : public platform::PortIo
{
public:
    bool RequestAccess() override { return false; }
    std::string AccessMethod() const override { return "fake"; }
    uint8_t ReadByte(uint16_t) override { return 0xFF; }
    void WriteByte(uint16_t, uint8_t) override {}
    uint32_t ReadDword(uint16_t) override { return 0xFFFFFFFF; }
    void WriteDword(uint16_t, uint32_t) override {}
};

// Mutexes nobody else holds.
class FakeMutexFactory : public platform::MutexFactory
{
public:
    std::unique_ptr<platform::NamedMutex> CreateNamedMutex(const std::string&) override
    {
        return std::make_unique<Mutex>();
    }

private:
    class Mutex : public platform::NamedMutex
    {
    public:
        bool Wait(uint32_t) override { return true; }
        void Release() override {}
    };
};

// All fakes wired into one Platform; not copyable, since Machine refers to the members.
struct FakeMachine
{
    FakePortIo Ports;
    FakeClock Time;
    FakeMutexFactory Mutexes;
    FakeProgramStore Store;
    FakeFileSystem Files;
    FakeSystemFacts Facts;
    platform::NoKernelSensors Kernel;
    platform::Platform Machine{Ports, Time, Mutexes, Store, Files, Facts, Kernel};

    FakeMachine() = default;
    FakeMachine(const FakeMachine&) = delete;
    FakeMachine& operator=(const FakeMachine&) = delete;
};

} // namespace calventa::core::fake
