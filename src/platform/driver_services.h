#pragma once

#include <string>

namespace calventa::platform {

// What installing a kernel driver needs of the system beyond the service manager: where the
// system keeps its drivers, a copy that never replaces a file, and the driver's service.
class DriverServices
{
public:
    virtual ~DriverServices() = default;
    // The system directory ("C:\Windows\system32"); its "drivers" folder holds the drivers.
    virtual std::string SystemDirectory() = 0;
    // Copies source to destination unless destination exists; false when nothing was copied.
    virtual bool CopyNewFile(const std::string& source, const std::string& destination) = 0;
    // Creates a kernel driver service started at boot, normal error control; false when it
    // could not be created (it exists, or no rights).
    virtual bool CreateDriverService(const std::string& name, const std::string& driverPath) = 0;
};

} // namespace calventa::platform
