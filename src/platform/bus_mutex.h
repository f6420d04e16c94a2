#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace calventa::platform {

inline constexpr const char* kIsaMutexName = "Access_ISABUS.HTP.Method";
inline constexpr const char* kSmbusMutexName = "Access_SMBUS.HTP.Method";
inline constexpr uint32_t kBusMutexTimeoutMs = 5000;

// A system-wide named mutex shared with other monitoring programs that use the same name.
class NamedMutex
{
public:
    virtual ~NamedMutex() = default;
    // True when the caller now owns the mutex; false after the timeout or a failed wait.
    virtual bool Wait(uint32_t timeoutMs) = 0;
    virtual void Release() = 0;
};

class MutexFactory
{
public:
    virtual ~MutexFactory() = default;
    // Creates the mutex or opens the existing one of that name; nullptr when neither works.
    virtual std::unique_ptr<NamedMutex> CreateNamedMutex(const std::string& name) = 0;
    // Why the last CreateNamedMutex gave nothing, as a short phrase for the log; empty when
    // the back end cannot tell.
    virtual std::string CreationError() const { return {}; }
};

} // namespace calventa::platform
