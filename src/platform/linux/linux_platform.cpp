#include "platform/linux/linux_platform.h"

#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/linux/steering_environment.h"

namespace calventa::platform::linux_backend {

namespace {

std::string CurrentDirectory()
{
    std::vector<char> buffer(4096);
    return getcwd(buffer.data(), buffer.size()) != nullptr ? buffer.data() : ".";
}

} // namespace

LinuxPaths LinuxPaths::FromEnvironment()
{
    LinuxPaths paths;
    paths.registryRoot = SteeringVariableOr("CALVENTA_REGISTRY_ROOT", SteeredPath::Directory, kDefaultRegistryRoot);
    const bool root = geteuid() == 0;
    // A user's own autostart folder by default; root's is the system's, never made here.
    const std::string defaultAutostart =
        AutostartDirectoryFor(root, std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
    paths.autostartDirectory = SteeringVariableOr("CALVENTA_AUTOSTART_DIR", SteeredPath::Directory, "");
    if (paths.autostartDirectory.empty()) {
        paths.autostartDirectory = defaultAutostart;
        paths.createAutostartDirectory = !root;
    }
    paths.programDirectory = DefaultProgramDirectoryFromEnvironment();
    return paths;
}

std::string LinuxPaths::DefaultProgramDirectoryFromEnvironment()
{
    // Not a steering variable: root checks the program directory itself at start-up.
    return ProgramDirectoryFor(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"), CurrentDirectory());
}

LinuxPlatform::LinuxPlatform(const LinuxPaths& paths)
    : m_ports(paths.ioportsPath, paths.lockdownPath), m_mutexes(paths.lockDirectory), m_facts(paths.programDirectory),
      m_store(paths.registryRoot, paths.autostartDirectory, [this] { return m_facts.ExecutablePath(); },
              paths.createAutostartDirectory),
      m_kernel(paths.sensorsConfiguration), m_platform{m_ports, m_clock, m_mutexes, m_store, m_files, m_facts, m_kernel}
{
}

} // namespace calventa::platform::linux_backend
