#include "platform/linux/linux_disk_platform.h"

#include "platform/linux/steering_environment.h"

namespace calventa::platform::linux_backend {

LinuxDiskPaths LinuxDiskPaths::FromEnvironment()
{
    LinuxDiskPaths paths;
    paths.serviceSocket = SteeringVariableOr("CALVENTA_SERVICE_SOCKET", SteeredPath::File, kDefaultServiceSocket);
    paths.unitDirectory =
        SteeringVariableOr("CALVENTA_SYSTEMD_UNIT_DIR", SteeredPath::Directory, kDefaultUnitDirectory);
    return paths;
}

SocketServiceManager ServiceManagerFor(const LinuxDiskPaths& paths)
{
    return SocketServiceManager(paths.serviceSocket, paths.unitDirectory);
}

LinuxDiskPlatform::LinuxDiskPlatform(const LinuxDiskPaths& paths)
    : m_drives(paths.drivePrefix), m_services(ServiceManagerFor(paths)), m_platform{m_drives, m_services}
{
}

} // namespace calventa::platform::linux_backend
