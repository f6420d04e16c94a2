#include "platform/linux/linux_disk_platform.h"

#include <cstdlib>

namespace calventa::platform::linux_backend {

namespace {

std::string EnvironmentOr(const char* name, const char* fallback)
{
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0' ? value : fallback;
}

} // namespace

LinuxDiskPaths LinuxDiskPaths::FromEnvironment()
{
    LinuxDiskPaths paths;
    paths.serviceSocket = EnvironmentOr("CALVENTA_SERVICE_SOCKET", kDefaultServiceSocket);
    paths.unitDirectory = EnvironmentOr("CALVENTA_SYSTEMD_UNIT_DIR", kDefaultUnitDirectory);
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
