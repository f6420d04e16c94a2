#include "platform/windows/windows_program_store.h"

#include "platform/windows/win_api.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "platform/windows/win_text.h"

namespace calventa::platform::windows_backend {

namespace {

HKEY RootHandle(RegistryRoot root)
{
    return root == RegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

const char* TypeName(DWORD type)
{
    switch (type) {
    case REG_SZ:
        return "REG_SZ";
    case REG_EXPAND_SZ:
        return "REG_EXPAND_SZ";
    case REG_BINARY:
        return "REG_BINARY";
    case REG_DWORD:
        return "REG_DWORD";
    case REG_MULTI_SZ:
        return "REG_MULTI_SZ";
    case REG_QWORD:
        return "REG_QWORD";
    default:
        return "another type";
    }
}

class RegistryKey final : public StoreKey
{
public:
    RegistryKey(HKEY key, uint32_t access, std::string keyName, WindowsProgramStore& store)
        : m_key(key), m_access(access), m_keyName(std::move(keyName)), m_store(store)
    {
    }
    ~RegistryKey() override { RegCloseKey(m_key); }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    std::optional<std::string> ReadString(const std::string& name) override
    {
        const auto value = Read(name, REG_SZ);
        if (!value) {
            return std::nullopt;
        }
        if (value->size() % sizeof(wchar_t) != 0) {
            Refuse(name, "REG_SZ of an odd byte count (" + std::to_string(value->size()) + ")");
            return std::nullopt;
        }
        std::wstring text(value->size() / sizeof(wchar_t), L'\0');
        std::memcpy(text.data(), value->data(), value->size());
        // A string ends at its first terminator; the registry does not promise one.
        const size_t end = text.find(L'\0');
        if (end != std::wstring::npos) {
            text.resize(end);
        }
        return Utf8FromWide(text);
    }

    std::optional<uint32_t> ReadDword(const std::string& name) override
    {
        const auto value = Read(name, REG_DWORD);
        if (!value) {
            return std::nullopt;
        }
        if (value->size() != sizeof(uint32_t)) {
            Refuse(name, "REG_DWORD of " + std::to_string(value->size()) + " bytes");
            return std::nullopt;
        }
        const std::vector<uint8_t>& b = *value;
        return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16 |
               static_cast<uint32_t>(b[3]) << 24;
    }

    std::optional<std::vector<uint8_t>> ReadBinary(const std::string& name, size_t maxBytes) override
    {
        auto value = Read(name, REG_BINARY);
        if (value && value->size() > maxBytes) {
            value->resize(maxBytes);
        }
        return value;
    }

    bool HasValue(const std::string& name) override
    {
        if (!GrantsRead(m_access)) {
            return false;
        }
        const std::wstring wide = WideFromUtf8(name);
        return RegQueryValueExW(m_key, wide.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    }

    bool WriteString(const std::string& name, const std::string& value) override
    {
        const std::wstring text = WideFromUtf8(value);
        return Write(name, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t));
    }

    bool WriteDword(const std::string& name, uint32_t value) override
    {
        const BYTE bytes[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
                               static_cast<BYTE>(value >> 24)};
        return Write(name, REG_DWORD, bytes, sizeof bytes);
    }

    bool WriteBinary(const std::string& name, const std::vector<uint8_t>& value) override
    {
        return Write(name, REG_BINARY, value.data(), value.size());
    }

    bool DeleteValue(const std::string& name) override
    {
        if (!GrantsWrite(m_access)) {
            return false;
        }
        const std::wstring wide = WideFromUtf8(name);
        return RegDeleteValueW(m_key, wide.c_str()) == ERROR_SUCCESS;
    }

private:
    // The value's bytes when it exists with the expected type; a value of another type is
    // noted and counts as missing.
    std::optional<std::vector<uint8_t>> Read(const std::string& name, DWORD expectedType)
    {
        if (!GrantsRead(m_access)) {
            return std::nullopt;
        }
        const std::wstring wide = WideFromUtf8(name);
        // The value may change between the size query and the read: ask again when it grew.
        for (int attempt = 0; attempt < 4; ++attempt) {
            DWORD type = 0;
            DWORD size = 0;
            LONG status = RegQueryValueExW(m_key, wide.c_str(), nullptr, &type, nullptr, &size);
            if (status != ERROR_SUCCESS) {
                return std::nullopt;
            }
            if (type != expectedType) {
                Refuse(name, std::string(TypeName(type)) + " instead of " + TypeName(expectedType));
                return std::nullopt;
            }
            if (size > kMaxRegistryValueBytes) {
                Refuse(name, std::to_string(size) + " bytes");
                return std::nullopt;
            }
            std::vector<uint8_t> bytes(size);
            DWORD read = size;
            status =
                RegQueryValueExW(m_key, wide.c_str(), nullptr, &type, bytes.empty() ? nullptr : bytes.data(), &read);
            if (status == ERROR_MORE_DATA) {
                continue;
            }
            if (status != ERROR_SUCCESS) {
                return std::nullopt;
            }
            if (type != expectedType) {
                Refuse(name, std::string(TypeName(type)) + " instead of " + TypeName(expectedType));
                return std::nullopt;
            }
            bytes.resize(std::min<DWORD>(read, size));
            return bytes;
        }
        return std::nullopt;
    }

    bool Write(const std::string& name, DWORD type, const BYTE* data, size_t size)
    {
        if (!GrantsWrite(m_access) || size > kMaxRegistryValueBytes) {
            return false;
        }
        const std::wstring wide = WideFromUtf8(name);
        const LONG status = RegSetValueExW(m_key, wide.c_str(), 0, type, data, static_cast<DWORD>(size));
        if (status != ERROR_SUCCESS) {
            m_store.Note("Registry: cannot write " + m_keyName + "\\" + name + ": " +
                         SystemErrorText(static_cast<uint32_t>(status)));
            return false;
        }
        return true;
    }

    void Refuse(const std::string& name, const std::string& what)
    {
        m_store.Note("Registry: " + m_keyName + "\\" + name + " is " + what + ": ignored");
    }

    HKEY m_key;
    uint32_t m_access;
    std::string m_keyName;
    WindowsProgramStore& m_store;
};

} // namespace

WindowsProgramStore::WindowsProgramStore(RegistryKeys keys) : m_keys(std::move(keys)) {}

std::unique_ptr<StoreKey> WindowsProgramStore::OpenKey(StoreKeyId key, uint32_t access, bool createIfMissing)
{
    const std::string& path = key == StoreKeyId::Program ? m_keys.programKey : m_keys.autorunKey;
    const std::wstring wide = WideFromUtf8(path);
    HKEY handle = nullptr;
    LONG status = 0;
    if (createIfMissing) {
        status = RegCreateKeyExW(RootHandle(m_keys.root), wide.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                 nullptr, &handle, nullptr);
    } else {
        status = RegOpenKeyExW(RootHandle(m_keys.root), wide.c_str(), 0, access, &handle);
    }
    if (status != ERROR_SUCCESS) {
        return nullptr;
    }
    return std::make_unique<RegistryKey>(handle, access, path, *this);
}

std::vector<std::string> WindowsProgramStore::TakeNotes()
{
    std::vector<std::string> notes;
    notes.swap(m_notes);
    return notes;
}

void WindowsProgramStore::Note(std::string text)
{
    if (m_notes.size() >= kMaxNotes) {
        m_notes.erase(m_notes.begin());
    }
    m_notes.push_back(std::move(text));
}

bool WindowsProgramStore::DeleteTree(RegistryRoot root, const std::string& path)
{
    const std::wstring wide = WideFromUtf8(path);
    // RegDeleteTree empties the key; the key itself goes with RegDeleteKey.
    return RegDeleteTreeW(RootHandle(root), wide.c_str()) == ERROR_SUCCESS &&
           RegDeleteKeyW(RootHandle(root), wide.c_str()) == ERROR_SUCCESS;
}

} // namespace calventa::platform::windows_backend
