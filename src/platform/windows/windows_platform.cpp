#include "platform/windows/windows_platform.h"

#include <cstdlib>

namespace calventa::platform::windows_backend {

RegistryKeys RegistryKeysFromEnvironment()
{
    RegistryKeys keys;
    if (const char* program = std::getenv("CALVENTA_REGISTRY_KEY"); program != nullptr && program[0] != '\0') {
        keys.programKey = program;
    }
    if (const char* autorun = std::getenv("CALVENTA_AUTORUN_KEY"); autorun != nullptr && autorun[0] != '\0') {
        keys.autorunKey = autorun;
    }
    return keys;
}

WindowsPlatform::WindowsPlatform(const RegistryKeys& keys)
    : m_ports(m_facts.Family() == PlatformFamily::Windows9x),
      m_store(keys), m_platform{m_ports, m_clock, m_mutexes, m_store, m_files, m_facts, m_kernel}, m_disks{m_drives,
                                                                                                           m_services}
{
}

} // namespace calventa::platform::windows_backend
