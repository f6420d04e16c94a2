#include "platform/sim/memory_program_store.h"

#include <optional>

namespace calventa::sim {

namespace {

class MemoryKey final : public platform::StoreKey
{
public:
    MemoryKey(MemoryProgramStore::Values& values, uint32_t access) : m_values(values), m_access(access) {}

    std::optional<std::string> ReadString(const std::string& name) override { return Read<std::string>(name); }
    std::optional<uint32_t> ReadDword(const std::string& name) override { return Read<uint32_t>(name); }
    std::optional<std::vector<uint8_t>> ReadBinary(const std::string& name, size_t maxBytes) override
    {
        std::optional<std::vector<uint8_t>> value = Read<std::vector<uint8_t>>(name);
        if (value && value->size() > maxBytes) {
            value->resize(maxBytes);
        }
        return value;
    }
    bool HasValue(const std::string& name) override
    {
        return platform::GrantsRead(m_access) && m_values.contains(name);
    }

    bool WriteString(const std::string& name, const std::string& value) override { return Write(name, value); }
    bool WriteDword(const std::string& name, uint32_t value) override { return Write(name, value); }
    bool WriteBinary(const std::string& name, const std::vector<uint8_t>& value) override
    {
        return Write(name, value);
    }
    bool DeleteValue(const std::string& name) override
    {
        return platform::GrantsWrite(m_access) && m_values.erase(name) > 0;
    }

private:
    template <typename T> std::optional<T> Read(const std::string& name) const
    {
        const auto it = m_values.find(name);
        if (!platform::GrantsRead(m_access) || it == m_values.end() || !std::holds_alternative<T>(it->second)) {
            return std::nullopt;
        }
        return std::get<T>(it->second);
    }
    bool Write(const std::string& name, MemoryProgramStore::Value value)
    {
        if (!platform::GrantsWrite(m_access)) {
            return false;
        }
        m_values[name] = std::move(value);
        return true;
    }

    MemoryProgramStore::Values& m_values;
    uint32_t m_access;
};

} // namespace

std::unique_ptr<platform::StoreKey> MemoryProgramStore::OpenKey(platform::StoreKeyId key, uint32_t access,
                                                                bool createIfMissing)
{
    auto it = m_keys.find(key);
    if (it == m_keys.end()) {
        if (!createIfMissing) {
            return nullptr;
        }
        it = m_keys.emplace(key, Values{}).first;
    }
    return std::make_unique<MemoryKey>(it->second, access);
}

} // namespace calventa::sim
