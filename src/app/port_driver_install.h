#pragma once

#include <string>

#include "platform/disk_service.h"
#include "platform/driver_services.h"
#include "platform/platform.h"

namespace calventa::app {

inline constexpr const char* kPortDriverService = "giveio";
inline constexpr const char* kPortDriverFile = "giveio.sys";
inline constexpr const char* kDriverFolder = "drv";
inline constexpr int kCommandWaitMs = 1000; // after each service change of the command line

// `calventa install` on Windows: deletes settings.dat (the next start takes the chip search's
// assignments), then installs the port driver from the program's drv folder: copies it into
// the system's drivers folder (an existing file is kept), creates its kernel service when
// there is none and records in "Svc" that this program created it, starts it and waits.
// Without the driver file no service is created, so no service ever names a missing file.
// 1 when the service manager cannot be opened for changes (not an administrator), else 0.
// The driver lets every process on the machine use every I/O port: this runs only on the
// explicit word.
int InstallPortDriver(const platform::Platform& machine, platform::ServiceManager& services,
                      platform::DriverServices& drivers, const std::string& driverService = kPortDriverService);

// `calventa uninstall`: stops and removes the disk service, and the port driver's service
// only when "Svc" says this program created it (then "Svc" goes too). The driver file and
// settings.dat stay. 1 when the service manager cannot be opened for changes (with one line
// for the user in why), else 0.
int UninstallCommand(const platform::Platform& machine, platform::ServiceManager& services, std::string& why,
                     const std::string& driverService = kPortDriverService);

} // namespace calventa::app
