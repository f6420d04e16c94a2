#include "app/port_driver_install.h"

#include "core/monitor_state.h"
#include "core/program_store_access.h"

namespace calventa::app {

int InstallPortDriver(const platform::Platform& machine, platform::ServiceManager& services,
                      platform::DriverServices& drivers, const std::string& driverService)
{
    const std::string directory = core::ReadProgramPath(machine.store, machine.facts);
    std::string why;
    const std::unique_ptr<platform::Directory> trusted = machine.files.OpenProgramDirectory(directory, why);
    bool driverShipped = false;
    if (trusted) {
        trusted->RemoveFile(core::kSettingsFileName);
        const std::string source =
            machine.facts.JoinPath(machine.facts.JoinPath(trusted->Path(), kDriverFolder), kPortDriverFile);
        driverShipped = machine.files.FileExists(source);
        if (driverShipped) {
            const std::string driversFolder = machine.facts.JoinPath(drivers.SystemDirectory(), "drivers");
            drivers.CopyNewFile(source, machine.facts.JoinPath(driversFolder, kPortDriverFile));
        }
    }

    auto manager = services.ConnectForChanges();
    if (!manager) {
        return 1;
    }
    auto driver = manager->OpenService(driverService);
    if (!driver) {
        if (!driverShipped) {
            return 0;
        }
        const std::string target =
            machine.facts.JoinPath(machine.facts.JoinPath(drivers.SystemDirectory(), "drivers"), kPortDriverFile);
        if (!drivers.CreateDriverService(driverService, target)) {
            return 0;
        }
        if (auto key = machine.store.OpenKey(platform::StoreKeyId::Program, platform::kKeyWrite, true)) {
            key->WriteDword(core::kSvcValue, 1);
        }
        driver = manager->OpenService(driverService);
        if (!driver) {
            return 0;
        }
    }
    driver->Start(); // a driver that does not load shows as "Sensors I/O init failed!" at the next start
    machine.clock.SleepMs(kCommandWaitMs);
    return 0;
}

int UninstallCommand(const platform::Platform& machine, platform::ServiceManager& services, std::string& why,
                     const std::string& driverService)
{
    constexpr const char* kNoRights = "uninstall needs root (an administrator on Windows) to stop and remove the "
                                      "disk service (run it as root, e.g. with sudo)";
    if (machine.facts.Family() != platform::PlatformFamily::NtFamily) {
        return 0;
    }
    auto manager = services.ConnectForChanges();
    if (!manager) {
        why = kNoRights;
        return 1;
    }
    if (auto service = manager->OpenService(platform::kDiskServiceName)) {
        service->Stop();
        machine.clock.SleepMs(kCommandWaitMs);
        service->Delete();
    }
    manager.reset();

    // The port driver is removed only when this program created it ("Svc").
    std::optional<uint32_t> created;
    if (auto key = machine.store.OpenKey(platform::StoreKeyId::Program, platform::kKeyRead, false)) {
        created = key->ReadDword(core::kSvcValue);
    }
    if (!created || *created == 0) {
        return 0;
    }
    manager = services.ConnectForChanges();
    if (!manager) {
        why = kNoRights;
        return 1;
    }
    auto driver = manager->OpenService(driverService);
    if (!driver) {
        return 0;
    }
    driver->Stop();
    machine.clock.SleepMs(kCommandWaitMs);
    driver->Delete();
    if (auto key = machine.store.OpenKey(platform::StoreKeyId::Program, platform::kKeyWrite, false)) {
        key->DeleteValue(core::kSvcValue);
    }
    return 0;
}

} // namespace calventa::app
