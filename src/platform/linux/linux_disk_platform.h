#pragma once

#include <string>

#include "platform/disk_platform.h"
#include "platform/linux/linux_disk_service.h"
#include "platform/linux/linux_smart_device.h"

namespace calventa::platform::linux_backend {

// Where the real machine's drives and disk service are. The environment only picks the
// defaults.
struct LinuxDiskPaths
{
    std::string drivePrefix = kDefaultDrivePrefix;
    std::string serviceSocket = kDefaultServiceSocket; // $CALVENTA_SERVICE_SOCKET
    std::string unitDirectory = kDefaultUnitDirectory; // $CALVENTA_SYSTEMD_UNIT_DIR

    static LinuxDiskPaths FromEnvironment();
};

// The disk service client alone, for a machine whose drives are simulated.
SocketServiceManager ServiceManagerFor(const LinuxDiskPaths& paths);

// The real machine's drives and disk service, handed out as a DiskPlatform.
class LinuxDiskPlatform
{
public:
    explicit LinuxDiskPlatform(const LinuxDiskPaths& paths = LinuxDiskPaths::FromEnvironment());
    LinuxDiskPlatform(const LinuxDiskPlatform&) = delete;
    LinuxDiskPlatform& operator=(const LinuxDiskPlatform&) = delete;

    platform::DiskPlatform& Get() { return m_platform; }

private:
    LinuxSmartDevices m_drives;
    SocketServiceManager m_services;
    platform::DiskPlatform m_platform;
};

} // namespace calventa::platform::linux_backend
