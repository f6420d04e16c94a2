#pragma once

#include <string>

#include "platform/linux/file_program_store.h"
#include "platform/linux/libsensors_kernel_sensors.h"
#include "platform/linux/linux_clock.h"
#include "platform/linux/linux_file_system.h"
#include "platform/linux/linux_mutex.h"
#include "platform/linux/linux_port_io.h"
#include "platform/linux/linux_system_facts.h"
#include "platform/platform.h"

namespace calventa::platform::linux_backend {

// Where the real machine keeps things. The environment only picks the defaults.
struct LinuxPaths
{
    std::string registryRoot = kDefaultRegistryRoot;             // $CALVENTA_REGISTRY_ROOT
    // $CALVENTA_AUTOSTART_DIR; else root's system directory or the user's own, which the
    // store may create.
    std::string autostartDirectory = kDefaultAutostartDirectory;
    bool createAutostartDirectory = false;
    std::string lockDirectory = kDefaultLockDirectory;
    std::string programDirectory; // $XDG_CONFIG_HOME/calventa, ~/.config/calventa
    std::string ioportsPath = kDefaultIoportsPath;
    std::string lockdownPath = kDefaultLockdownPath;
    std::string sensorsConfiguration; // empty: the system's sensors.conf

    // The store root and autostart directory from their steering variables (see
    // steering_environment.h), the program directory from XDG_CONFIG_HOME or HOME.
    static LinuxPaths FromEnvironment();
    static std::string DefaultProgramDirectoryFromEnvironment();
};

// The real Linux machine: one of each back-end object, handed out as a Platform.
class LinuxPlatform
{
public:
    explicit LinuxPlatform(const LinuxPaths& paths = LinuxPaths::FromEnvironment());
    LinuxPlatform(const LinuxPlatform&) = delete;
    LinuxPlatform& operator=(const LinuxPlatform&) = delete;

    platform::Platform& Get() { return m_platform; }

private:
    LinuxPortIo m_ports;
    LinuxClock m_clock;
    LinuxMutexFactory m_mutexes;
    LinuxSystemFacts m_facts;
    FileProgramStore m_store;
    LinuxFileSystem m_files;
    LibsensorsKernelSensors m_kernel;
    platform::Platform m_platform;
};

} // namespace calventa::platform::linux_backend
