#include "platform/linux/linux_platform.h"

#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace calventa::platform::linux_backend {

namespace {

std::string EnvironmentOr(const char* name, const char* fallback)
{
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0' ? value : fallback;
}

std::string CurrentDirectory()
{
    std::vector<char> buffer(4096);
    return getcwd(buffer.data(), buffer.size()) != nullptr ? buffer.data() : ".";
}

} // namespace

LinuxPaths LinuxPaths::FromEnvironment()
{
    LinuxPaths paths;
    paths.registryRoot = EnvironmentOr("CALVENTA_REGISTRY_ROOT", kDefaultRegistryRoot);
    paths.autostartDirectory = EnvironmentOr("CALVENTA_AUTOSTART_DIR", kDefaultAutostartDirectory);
    paths.programDirectory =
        ProgramDirectoryFor(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"), CurrentDirectory());
    return paths;
}

LinuxPlatform::LinuxPlatform(const LinuxPaths& paths)
    : m_ports(paths.ioportsPath, paths.lockdownPath), m_mutexes(paths.lockDirectory), m_facts(paths.programDirectory),
      m_store(paths.registryRoot, paths.autostartDirectory, [this] { return m_facts.ExecutablePath(); }),
      m_kernel(paths.sensorsConfiguration), m_platform{m_ports, m_clock, m_mutexes, m_store, m_files, m_facts, m_kernel}
{
}

} // namespace calventa::platform::linux_backend
