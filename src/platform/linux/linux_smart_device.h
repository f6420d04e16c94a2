#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "platform/linux/linux_nvme_device.h"
#include "platform/smart_device.h"

namespace calventa::platform::linux_backend {

inline constexpr const char* kDefaultDrivePrefix = "/dev/sd"; // drive n is this plus 'a' + n
inline constexpr uint32_t kDefaultSmartTimeoutMs = 10000;

using AtaPassThroughCdb = std::array<uint8_t, 16>;

// The SCSI ATA PASS-THROUGH(16) command block that carries exactly the command's task-file
// registers: PIO data-in of one 512-byte block for the commands that return a page,
// non-data otherwise.
AtaPassThroughCdb BuildAtaPassThrough16(const SmartCommand& command);

// What SG_IO reported about one command.
struct SgIoOutcome
{
    uint8_t scsiStatus = 0;
    uint16_t hostStatus = 0;
    uint16_t driverStatus = 0;
    std::span<const uint8_t> sense; // the bytes the driver wrote
};

// Whether the drive completed the ATA command: good SCSI status, or the "ATA pass-through
// information available" report whose returned ATA status shows neither error nor fault.
bool AtaPassThroughSucceeded(const SgIoOutcome& outcome);

// The sector count register the drive returned, from the ATA status return descriptor
// (descriptor sense) or the INFORMATION field (fixed sense) that CK_COND asks for; nullopt
// when the sense data carries neither.
std::optional<uint8_t> ReturnedSectorCount(std::span<const uint8_t> sense);

// How a failed SG_IO ioctl is reported: a missing right is told from a failed command.
SmartCommandStatus SmartCommandStatusOfIoctlError(int errnoValue);

// How a failed open of a drive is reported to the monitor.
DriveOpenError DriveOpenErrorOf(int errnoValue);

// The device path of physical drive n: /dev/sda … /dev/sdh.
std::string DrivePath(const std::string& prefix, int drive);

// Physical drives as /dev/sd[a-h], S.M.A.R.T. commands sent with SG_IO; NVMe controllers. Linux has no
// Windows 9x driver: OpenSmartVsd always fails.
class LinuxSmartDevices final : public SmartDevices
{
public:
    explicit LinuxSmartDevices(std::string drivePrefix = kDefaultDrivePrefix,
                               uint32_t commandTimeoutMs = kDefaultSmartTimeoutMs,
                               std::string nvmePrefix = kDefaultNvmePrefix,
                               std::string nvmeSysfsRoot = kDefaultNvmeSysfsRoot);

    DriveOpenResult OpenPhysicalDrive(int drive) override;
    // /dev/nvme0 … /dev/nvme7, admin commands sent with NVME_IOCTL_ADMIN_CMD; what sysfs
    // publishes of them when the kernel refuses those.
    NvmeOpenResult OpenNvmeController(int controller) override;
    std::unique_ptr<SmartDevice> OpenSmartVsd() override;
    std::string SystemDirectory() override;
    bool CopyFile(const std::string& source, const std::string& destination) override;

private:
    std::string m_drivePrefix;
    uint32_t m_commandTimeoutMs;
    std::string m_nvmePrefix;
    NvmeSysfs m_nvmeSysfs;
};

} // namespace calventa::platform::linux_backend
