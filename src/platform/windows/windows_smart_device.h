#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/smart_device.h"

namespace calventa::platform::windows_backend {

// "\\.\PhysicalDrive" and the number.
std::string PhysicalDrivePath(int drive);

// How a failed open of a drive is reported to the monitor.
DriveOpenError DriveOpenErrorOfSystemError(uint32_t error);
// How a failed DeviceIoControl is reported: access denied means the rights are missing.
SmartCommandStatus SmartCommandStatusOfSystemError(uint32_t error);

// Windows drives: ATA S.M.A.R.T. through the disk driver's SMART_* control codes on
// \\.\PhysicalDrive0..7; CHECK POWER MODE as GetDevicePowerState, which asks the driver
// without waking the disk. NVMe controllers are the physical drives on the NVMe bus, in
// drive order; their Identify, health log and power state travel as protocol-specific
// storage queries. A user who may not open them for reading and writing still gets what
// Windows publishes to everyone: the identity strings and the storage temperature property.
class WindowsSmartDevices final : public SmartDevices
{
public:
    // The drive numbers searched for NVMe controllers.
    static constexpr int kMaxSearchedDrives = 16;

    DriveOpenResult OpenPhysicalDrive(int drive) override;
    NvmeOpenResult OpenNvmeController(int controller) override;
    // 64-bit Windows has no 9x driver.
    std::unique_ptr<SmartDevice> OpenSmartVsd() override { return nullptr; }
    std::string SystemDirectory() override;
    bool CopyFile(const std::string& source, const std::string& destination) override;
};

} // namespace calventa::platform::windows_backend
