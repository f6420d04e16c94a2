#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace calventa::platform {

// Access rights, with the values of the registry's constants so that the callers read
// like the registry protocol they implement. Every open names its right explicitly.
inline constexpr uint32_t kKeyRead = 0x20019;
inline constexpr uint32_t kKeyWrite = 0x20006;
inline constexpr uint32_t kKeyReadWrite = kKeyRead | kKeyWrite; // 0x2001F

inline bool GrantsRead(uint32_t access) { return (access & 0x0001) != 0; }  // KEY_QUERY_VALUE
inline bool GrantsWrite(uint32_t access) { return (access & 0x0002) != 0; } // KEY_SET_VALUE

enum class StoreKeyId {
    Program, // the program key: "PATH", "Svc", "sysdata"
    Autorun, // the autorun key: "Calventa" (and "Temp" during the write probe)
};

// One opened key. Reads need read access, writes and deletes need write access; a call
// without the right fails exactly as on a key opened without it.
class StoreKey
{
public:
    virtual ~StoreKey() = default;
    // nullopt when the value is missing, of another type, or the key lacks read access.
    virtual std::optional<std::string> ReadString(const std::string& name) = 0;
    virtual std::optional<uint32_t> ReadDword(const std::string& name) = 0;
    // At most maxBytes of a binary value.
    virtual std::optional<std::vector<uint8_t>> ReadBinary(const std::string& name, size_t maxBytes) = 0;
    virtual bool HasValue(const std::string& name) = 0;

    virtual bool WriteString(const std::string& name, const std::string& value) = 0;
    virtual bool WriteDword(const std::string& name, uint32_t value) = 0;
    virtual bool WriteBinary(const std::string& name, const std::vector<uint8_t>& value) = 0;
    virtual bool DeleteValue(const std::string& name) = 0;
};

class ProgramStore
{
public:
    virtual ~ProgramStore() = default;
    // nullptr when the key is missing (and not created) or the access is refused.
    virtual std::unique_ptr<StoreKey> OpenKey(StoreKeyId key, uint32_t access, bool createIfMissing) = 0;
};

} // namespace calventa::platform
