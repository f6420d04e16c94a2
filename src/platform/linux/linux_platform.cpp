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
    const char* autostart = std::getenv("CALVENTA_AUTOSTART_DIR");
    if (autostart != nullptr && autostart[0] != '\0') {
        paths.autostartDirectory = autostart;
    } else {
        const bool root = geteuid() == 0;
        paths.autostartDirectory = AutostartDirectoryFor(root, std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
        paths.createAutostartDirectory = !root;
    }
    paths.programDirectory =
        ProgramDirectoryFor(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"), CurrentDirectory());
    return paths;
}

LinuxPlatform::LinuxPlatform(const LinuxPaths& paths)
    : m_ports(paths.ioportsPath, paths.lockdownPath), m_mutexes(paths.lockDirectory), m_facts(paths.programDirectory),
      m_store(paths.registryRoot, paths.autostartDirectory, [this] { return m_facts.ExecutablePath(); },
              paths.createAutostartDirectory),
      m_platform{m_ports, m_clock, m_mutexes, m_store, m_files, m_facts, m_kernel}
{
}

} // namespace calventa::platform::linux_backend
