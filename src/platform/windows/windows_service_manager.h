#pragma once

#include <memory>

#include "platform/disk_service.h"
#include "platform/driver_services.h"

namespace calventa::platform::windows_backend {

// The service control manager. Connect asks only what every user may (SC_MANAGER_CONNECT),
// and a service opened through it may be queried and sent user-defined control codes
// (SERVICE_QUERY_STATUS | SERVICE_USER_DEFINED_CONTROL): what the monitor needs of the disk
// service. ConnectForChanges asks for creating services too, which only an administrator
// gets; its services open with full access, so they can be started, stopped and deleted.
class WindowsServiceManager final : public ServiceManager
{
public:
    std::unique_ptr<ServiceManagerConnection> Connect() override;
    std::unique_ptr<ServiceManagerConnection> ConnectForChanges() override;
};

// A kernel driver's service as the installation command creates it: boot start, normal
// error control, the driver file's full path. False with the system's error when it could
// not be created (it exists already, or no rights).
bool CreateKernelDriverService(const std::string& name, const std::string& driverPath, uint32_t& error);

// The system side of installing the port driver. systemDirectory replaces the system's own
// (tests keep their driver files out of it).
class WindowsDriverServices final : public DriverServices
{
public:
    explicit WindowsDriverServices(std::string systemDirectory = {});
    std::string SystemDirectory() override;
    bool CopyNewFile(const std::string& source, const std::string& destination) override;
    bool CreateDriverService(const std::string& name, const std::string& driverPath) override;

private:
    std::string m_systemDirectory;
};

} // namespace calventa::platform::windows_backend
