#pragma once

#include "platform/disk_platform.h"
#include "platform/kernel_sensors.h"
#include "platform/platform.h"
#include "platform/windows/windows_file_system.h"
#include "platform/windows/windows_mutex.h"
#include "platform/windows/windows_port_io.h"
#include "platform/windows/windows_program_store.h"
#include "platform/windows/windows_service_manager.h"
#include "platform/windows/windows_smart_device.h"
#include "platform/windows/windows_system_facts.h"

namespace calventa::platform::windows_backend {

// The registry keys the real machine uses. $CALVENTA_REGISTRY_KEY and $CALVENTA_AUTORUN_KEY
// (paths under HKEY_LOCAL_MACHINE) only replace the defaults, for tests.
RegistryKeys RegistryKeysFromEnvironment();

// The real Windows machine: one of each back-end object, handed out as a Platform and a
// DiskPlatform. Windows has no kernel hardware monitors the program could read without a
// driver, so that part is empty.
class WindowsPlatform
{
public:
    explicit WindowsPlatform(const RegistryKeys& keys = RegistryKeysFromEnvironment());
    WindowsPlatform(const WindowsPlatform&) = delete;
    WindowsPlatform& operator=(const WindowsPlatform&) = delete;

    platform::Platform& Get() { return m_platform; }
    platform::DiskPlatform& Disks() { return m_disks; }
    // Registry notes (values of the wrong type, refused writes) for the log.
    WindowsProgramStore& Store() { return m_store; }
    const WindowsSystemFacts& Facts() const { return m_facts; }

private:
    WindowsSystemFacts m_facts;
    WindowsPortIo m_ports;
    WindowsClock m_clock;
    WindowsMutexFactory m_mutexes;
    WindowsProgramStore m_store;
    WindowsFileSystem m_files;
    NoKernelSensors m_kernel;
    WindowsSmartDevices m_drives;
    WindowsServiceManager m_services;
    platform::Platform m_platform;
    platform::DiskPlatform m_disks;
};

} // namespace calventa::platform::windows_backend
