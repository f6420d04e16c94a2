#include "platform/linux/linux_smart_device.h"

#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/linux/file_io.h"
#include "platform/linux/linux_nvme_device.h"

namespace calventa::platform::linux_backend {

namespace {

constexpr uint8_t kAtaPassThrough16 = 0x85;
constexpr uint8_t kProtocolNonData = 3;
constexpr uint8_t kProtocolPioDataIn = 4;
// T_DIR from the device, BYT_BLOK in blocks, T_LENGTH in the sector count field.
constexpr uint8_t kTransferInBlocks = 0x0E;
constexpr uint8_t kCheckCondition = 0x20; // CK_COND: return the registers as sense data even on success

constexpr uint8_t kStatusGood = 0x00;
constexpr uint8_t kStatusCheckCondition = 0x02;
constexpr uint16_t kDriverSense = 0x08; // sense data present: not an error by itself
constexpr uint8_t kSenseRecoveredError = 0x01;
constexpr uint8_t kAsqAtaInformationAvailable = 0x1D; // with ASC 0x00
constexpr uint8_t kAtaStatusError = 0x01;
constexpr uint8_t kAtaStatusDeviceFault = 0x20;
constexpr uint8_t kAtaStatusReturnDescriptor = 0x09;
constexpr size_t kSenseBufferSize = 64;
constexpr mode_t kCopiedFileMode = 0644;
constexpr size_t kMaxCopiedFileBytes = static_cast<size_t>(64) << 20; // driver files are far smaller

// A register the drive returned, from the ATA Return descriptor (0x72/0x73 sense data, at
// `descriptorByte` of the descriptor) or from the INFORMATION field of fixed (0x70/0x71)
// sense data (error, status, device, count at bytes 3..6); nullopt when the sense data
// carries none.
std::optional<uint8_t> ReturnedAtaRegister(std::span<const uint8_t> sense, size_t descriptorByte, size_t fixedByte)
{
    if (sense.size() < 8) {
        return std::nullopt;
    }
    const uint8_t format = sense[0] & 0x7F;
    if (format == 0x72 || format == 0x73) {
        const size_t end = std::min(sense.size(), static_cast<size_t>(8) + sense[7]);
        for (size_t d = 8; d + 1 < end;) {
            const size_t length = static_cast<size_t>(sense[d + 1]) + 2;
            if (sense[d] == kAtaStatusReturnDescriptor && length >= 14 && d + 13 < end) {
                return sense[d + descriptorByte];
            }
            d += length;
        }
        return std::nullopt;
    }
    if (format == 0x70 || format == 0x71) {
        return sense[fixedByte];
    }
    return std::nullopt;
}

// The ATA status register the drive returned.
std::optional<uint8_t> ReturnedAtaStatus(std::span<const uint8_t> sense)
{
    return ReturnedAtaRegister(sense, 13, 4);
}

std::pair<uint8_t, std::pair<uint8_t, uint8_t>> SenseKeyAndCodes(std::span<const uint8_t> sense)
{
    const uint8_t format = sense[0] & 0x7F;
    if (format == 0x72 || format == 0x73) {
        return {static_cast<uint8_t>(sense[1] & 0x0F), {sense[2], sense[3]}};
    }
    if (sense.size() >= 14) {
        return {static_cast<uint8_t>(sense[2] & 0x0F), {sense[12], sense[13]}};
    }
    return {0xFF, {0xFF, 0xFF}};
}

class LinuxSmartDevice final : public SmartDevice
{
public:
    LinuxSmartDevice(int fd, uint32_t timeoutMs) : m_fd(fd), m_timeoutMs(timeoutMs) {}
    ~LinuxSmartDevice() override { close(m_fd); }
    LinuxSmartDevice(const LinuxSmartDevice&) = delete;
    LinuxSmartDevice& operator=(const LinuxSmartDevice&) = delete;

    SmartCommandResult SendSmartCommand(const SmartCommand& command, SmartDataPage& data) override
    {
        // The driver knows only these two control codes and these two output lengths.
        if ((command.controlCode != kSmartSendDriveCommand && command.controlCode != kSmartRcvDriveData) ||
            (command.outputLength != kSmartStatusOutputLength && command.outputLength != kSmartDataOutputLength)) {
            return false;
        }
        AtaPassThroughCdb cdb = BuildAtaPassThrough16(command);
        std::array<uint8_t, kSenseBufferSize> sense{};
        SmartDataPage buffer{};

        sg_io_hdr_t io = {};
        io.interface_id = 'S';
        io.cmd_len = static_cast<unsigned char>(cdb.size());
        io.cmdp = cdb.data();
        io.mx_sb_len = static_cast<unsigned char>(sense.size());
        io.sbp = sense.data();
        io.timeout = m_timeoutMs;
        if (command.ReturnsData()) {
            io.dxfer_direction = SG_DXFER_FROM_DEV;
            io.dxfer_len = static_cast<unsigned int>(buffer.size());
            io.dxferp = buffer.data();
        } else {
            io.dxfer_direction = SG_DXFER_NONE;
        }
        if (ioctl(m_fd, SG_IO, &io) != 0) {
            return SmartCommandStatusOfIoctlError(errno);
        }
        const SgIoOutcome outcome{io.status, io.host_status, io.driver_status,
                                  std::span<const uint8_t>(sense.data(), std::min<size_t>(io.sb_len_wr, sense.size()))};
        if (!AtaPassThroughSucceeded(outcome)) {
            return false;
        }
        if (command.ReturnsData()) {
            data = buffer;
        }
        SmartCommandResult result(SmartCommandStatus::Done);
        if (command.returnsRegisters) {
            result.sectorCount = ReturnedSectorCount(outcome.sense);
        }
        return result;
    }

private:
    int m_fd;
    uint32_t m_timeoutMs;
};

} // namespace

AtaPassThroughCdb BuildAtaPassThrough16(const SmartCommand& command)
{
    const IdeRegisters& r = command.registers;
    const bool dataIn = command.ReturnsData();
    AtaPassThroughCdb cdb{};
    cdb[0] = kAtaPassThrough16;
    cdb[1] = static_cast<uint8_t>((dataIn ? kProtocolPioDataIn : kProtocolNonData) << 1); // EXTEND 0: 28-bit
    cdb[2] =
        static_cast<uint8_t>((dataIn ? kTransferInBlocks : 0x00) | (command.returnsRegisters ? kCheckCondition : 0));
    // Bytes 3, 5, 7, 9, 11 are the high halves of the 48-bit registers: zero for 28-bit commands.
    cdb[4] = r.features;
    cdb[6] = r.sectorCount;
    cdb[8] = r.sectorNumber;  // LBA low
    cdb[10] = r.cylinderLow;  // LBA mid
    cdb[12] = r.cylinderHigh; // LBA high
    cdb[13] = r.driveHead;
    cdb[14] = r.command;
    cdb[15] = 0x00; // control
    return cdb;
}

std::optional<uint8_t> ReturnedSectorCount(std::span<const uint8_t> sense)
{
    return ReturnedAtaRegister(sense, 5, 6); // count (7:0)
}

bool AtaPassThroughSucceeded(const SgIoOutcome& outcome)
{
    if (outcome.hostStatus != 0 || (outcome.driverStatus & ~kDriverSense) != 0) {
        return false;
    }
    if (outcome.scsiStatus == kStatusGood) {
        return true;
    }
    if (outcome.scsiStatus != kStatusCheckCondition || outcome.sense.size() < 8) {
        return false;
    }
    const auto [key, codes] = SenseKeyAndCodes(outcome.sense);
    if (key != kSenseRecoveredError || codes.first != 0x00 || codes.second != kAsqAtaInformationAvailable) {
        return false;
    }
    const std::optional<uint8_t> ataStatus = ReturnedAtaStatus(outcome.sense);
    return ataStatus && (*ataStatus & (kAtaStatusError | kAtaStatusDeviceFault)) == 0;
}

SmartCommandStatus SmartCommandStatusOfIoctlError(int errnoValue)
{
    // The block layer passes ATA PASS-THROUGH only to CAP_SYS_RAWIO: a member of group disk
    // opens the drive but gets EPERM here.
    return errnoValue == EPERM || errnoValue == EACCES ? SmartCommandStatus::RightsMissing : SmartCommandStatus::Failed;
}

DriveOpenError DriveOpenErrorOf(int errnoValue)
{
    switch (errnoValue) {
    case 0:
        return DriveOpenError::None;
    case EACCES:
    case EPERM:
        return DriveOpenError::AccessDenied;
    case ENOENT:
    case ENXIO:
    case ENODEV:
    case ENOMEDIUM:
        return DriveOpenError::NotFound;
    default:
        return DriveOpenError::Other;
    }
}

std::string DrivePath(const std::string& prefix, int drive)
{
    return prefix + static_cast<char>('a' + drive);
}

LinuxSmartDevices::LinuxSmartDevices(std::string drivePrefix, uint32_t commandTimeoutMs, std::string nvmePrefix,
                                     std::string nvmeSysfsRoot)
    : m_drivePrefix(std::move(drivePrefix)), m_commandTimeoutMs(commandTimeoutMs), m_nvmePrefix(std::move(nvmePrefix)),
      m_nvmeSysfs(std::move(nvmeSysfsRoot))
{
}

NvmeOpenResult LinuxSmartDevices::OpenNvmeController(int controller)
{
    if (controller < 0 || controller >= kMaxNvmeControllers) {
        return {nullptr, DriveOpenError::NotFound};
    }
    return OpenLinuxNvmeController(NvmeControllerPath(m_nvmePrefix, controller), m_commandTimeoutMs, m_nvmeSysfs,
                                   controller);
}

DriveOpenResult LinuxSmartDevices::OpenPhysicalDrive(int drive)
{
    DriveOpenResult result;
    if (drive < 0 || drive >= kMaxPhysicalDrives) {
        result.error = DriveOpenError::NotFound;
        return result;
    }
    // Read and write, as SG_IO with a non-read command needs; O_NONBLOCK so that a card
    // reader without a medium answers at once.
    const int fd = open(DrivePath(m_drivePrefix, drive).c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result.error = DriveOpenErrorOf(errno);
        return result;
    }
    result.device = std::make_unique<LinuxSmartDevice>(fd, m_commandTimeoutMs);
    return result;
}

std::unique_ptr<SmartDevice> LinuxSmartDevices::OpenSmartVsd()
{
    return nullptr;
}

std::string LinuxSmartDevices::SystemDirectory()
{
    return {};
}

bool LinuxSmartDevices::CopyFile(const std::string& source, const std::string& destination)
{
    // One byte more than accepted, so that a larger file is refused rather than cut short.
    const std::optional<std::vector<uint8_t>> bytes = ReadFileBytes(source, kMaxCopiedFileBytes + 1);
    return bytes && bytes->size() <= kMaxCopiedFileBytes && ReplaceFileAtomically(destination, *bytes, kCopiedFileMode);
}

} // namespace calventa::platform::linux_backend
