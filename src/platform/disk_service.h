#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace calventa::platform {

// The disk service reads the disks for users who may not open them. It is asked for work
// with two user-defined control codes and answers through the program key's "sysdata";
// a service that can also hands the image it produced for that very request back with the
// reply, which no other user's request can overwrite.
inline constexpr const char* kDiskServiceName = "calventasvc";
inline constexpr uint32_t kDiskScanControl = 234;        // list the disks
inline constexpr uint32_t kDiskTemperatureControl = 235; // read their temperatures again

// System error numbers a control request can fail with; the user sees them in decimal.
inline constexpr uint32_t kErrorAccessDenied = 5;
inline constexpr uint32_t kErrorInvalidData = 13;
inline constexpr uint32_t kErrorWriteFault = 29;
inline constexpr uint32_t kErrorBrokenPipe = 109;
inline constexpr uint32_t kErrorInvalidServiceControl = 1052;
inline constexpr uint32_t kErrorServiceRequestTimeout = 1053;
inline constexpr uint32_t kErrorServiceNotActive = 1062;

// Service states with the values of the service manager's status record.
enum class ServiceState : uint32_t {
    Stopped = 1,
    StartPending = 2,
    StopPending = 3,
    Running = 4,
    ContinuePending = 5,
    PausePending = 6,
    Paused = 7,
};

// An opened service. Closed when destroyed.
class ServiceHandle
{
public:
    virtual ~ServiceHandle() = default;
    // nullopt when the state cannot be queried.
    virtual std::optional<ServiceState> QueryStatus() = 0;
    // Delivers a user-defined control code and returns once the service has handled it.
    // False, with the system's error number, when it was not delivered or was refused.
    virtual bool Control(uint32_t code, uint32_t& error) = 0;
    // Control, also taking the disk table image the service produced for this request when
    // its reply carries one; image stays empty otherwise (then "sysdata" is the answer).
    virtual bool ControlForImage(uint32_t code, uint32_t& error, std::optional<std::vector<uint8_t>>& image)
    {
        image.reset();
        return Control(code, error);
    }
    // Service control for the installation commands: true when the request was passed on
    // (its outcome shows in QueryStatus). Handles that only read refuse.
    virtual bool Start() { return false; }
    virtual bool Stop() { return false; }
    // Removes the service; the handle is useless afterwards.
    virtual bool Delete() { return false; }
};

// A connection to the service manager. Closed when destroyed.
class ServiceManagerConnection
{
public:
    virtual ~ServiceManagerConnection() = default;
    // nullptr when no service of that name is installed.
    virtual std::unique_ptr<ServiceHandle> OpenService(const std::string& name) = 0;
};

class ServiceManager
{
public:
    virtual ~ServiceManager() = default;
    // nullptr when the manager cannot be reached.
    virtual std::unique_ptr<ServiceManagerConnection> Connect() = 0;
    // A connection that may also start, stop and remove services: nullptr without the rights
    // (a user who is not an administrator) or when the manager cannot be reached.
    virtual std::unique_ptr<ServiceManagerConnection> ConnectForChanges() { return nullptr; }
};

} // namespace calventa::platform
