#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace calventa::platform {

// Control codes of the disk driver's S.M.A.R.T. interface.
inline constexpr uint32_t kSmartSendDriveCommand = 0x7C084; // command without data
inline constexpr uint32_t kSmartRcvDriveData = 0x7C088;     // command returning one 512-byte page
inline constexpr size_t kSmartDataSize = 512;
inline constexpr uint32_t kSmartInputLength = 32;        // the input block as passed to the driver
inline constexpr uint32_t kSmartStatusOutputLength = 16; // output block: status header only
inline constexpr uint32_t kSmartDataOutputLength = 528;  // status header and the data page
inline constexpr int kMaxPhysicalDrives = 8;

// The ATA task-file registers of one command, as the drive receives them.
struct IdeRegisters
{
    uint8_t features = 0;
    uint8_t sectorCount = 0;
    uint8_t sectorNumber = 0;
    uint8_t cylinderLow = 0;
    uint8_t cylinderHigh = 0;
    uint8_t driveHead = 0;
    uint8_t command = 0;

    bool operator==(const IdeRegisters&) const = default;
};

// One S.M.A.R.T. command: every field the program sets in the driver's input block.
struct SmartCommand
{
    uint32_t controlCode = 0;
    uint32_t bufferSize = 0; // 0 or 512
    IdeRegisters registers;
    uint8_t driveNumber = 0;   // physical drive 0..7
    uint32_t outputLength = 0; // 16 or 528
    // The command answers in its registers (CHECK POWER MODE's sector count): the back end
    // asks the drive to return them and hands over the count.
    bool returnsRegisters = false;

    bool ReturnsData() const { return outputLength == kSmartDataOutputLength; }
    bool operator==(const SmartCommand&) const = default;
};

using SmartDataPage = std::array<uint8_t, kSmartDataSize>;

enum class SmartCommandStatus {
    Done,
    Failed,        // the driver or the drive refused the command
    RightsMissing, // the drive is open, but the system lets this process send it no raw command
};

// The outcome of one command; true when it was done.
struct SmartCommandResult
{
    SmartCommandStatus status = SmartCommandStatus::Failed;
    // The sector count register the drive returned, for a command that returns registers;
    // none when the back end could not get it.
    std::optional<uint8_t> sectorCount;
    // An NVMe admin command's completion dword 0 (Get Features' answer), when it was done.
    std::optional<uint32_t> completion;

    SmartCommandResult(SmartCommandStatus s = SmartCommandStatus::Failed) : status(s) {}
    SmartCommandResult(bool done) : status(done ? SmartCommandStatus::Done : SmartCommandStatus::Failed) {}
    explicit operator bool() const { return status == SmartCommandStatus::Done; }
};

// An opened physical drive, or the Windows 9x S.M.A.R.T. driver that reaches every drive by
// the drive number of the command. Closed when destroyed.
class SmartDevice
{
public:
    virtual ~SmartDevice() = default;
    // Not done when the driver refused the command; the status registers it returns are not
    // looked at. A command that returns data fills the page on success only.
    virtual SmartCommandResult SendSmartCommand(const SmartCommand& command, SmartDataPage& data) = 0;
};

enum class DriveOpenError {
    None,
    AccessDenied, // the system's "access denied" (error 5): the user may not open drives
    NotFound,     // no such drive
    Other,
};

struct DriveOpenResult
{
    std::unique_ptr<SmartDevice> device; // nullptr on failure
    DriveOpenError error = DriveOpenError::None;
};

inline constexpr int kMaxNvmeControllers = 8;
inline constexpr size_t kNvmeDataSize = 4096; // the largest page the program reads (Identify)

// One NVMe admin command: what the program sets of the submission entry. Every other field
// (flags, metadata, command dwords 2, 3, 12..15) is zero.
struct NvmeAdminCommand
{
    uint8_t opcode = 0;
    uint32_t namespaceId = 0;
    uint32_t cdw10 = 0;
    uint32_t cdw11 = 0;
    uint32_t dataLength = 0; // bytes the controller returns, at most kNvmeDataSize

    bool operator==(const NvmeAdminCommand&) const = default;
};

using NvmeDataPage = std::array<uint8_t, kNvmeDataSize>;

// The identity strings the system publishes of a controller, as it read them; not yet cut
// to the table's fields.
struct NvmePublishedIdentity
{
    std::string model;
    std::string serial;
    std::string firmware;
};

// An opened NVMe controller (/dev/nvme0 …). Closed when destroyed.
class NvmeDevice
{
public:
    virtual ~NvmeDevice() = default;
    // Done when the controller completed the command with success status; the first
    // dataLength bytes of the page are then the returned data, the rest zero. RightsMissing
    // when the system lets this process send no admin command.
    virtual SmartCommandResult SendAdminCommand(const NvmeAdminCommand& command, NvmeDataPage& data) = 0;
    // What the system publishes of the controller to every user, for a process it refuses
    // admin commands: its identity, and its composite temperature in thousandths of a °C.
    // None where nothing is published.
    virtual std::optional<NvmePublishedIdentity> PublishedIdentity() { return std::nullopt; }
    virtual std::optional<int64_t> PublishedMilliCelsius() { return std::nullopt; }
};

struct NvmeOpenResult
{
    // nullptr on failure. With AccessDenied a device may still come, one that answers only
    // with what the system publishes.
    std::unique_ptr<NvmeDevice> device;
    DriveOpenError error = DriveOpenError::None;
};

// The machine's disks as S.M.A.R.T. devices.
class SmartDevices
{
public:
    virtual ~SmartDevices() = default;
    // NVMe controller n (0..7). A machine or back end without NVMe has none.
    virtual NvmeOpenResult OpenNvmeController(int /*controller*/) { return {nullptr, DriveOpenError::NotFound}; }
    // Physical drive n (0..7) for reading and writing, shared with other openers.
    virtual DriveOpenResult OpenPhysicalDrive(int drive) = 0;
    // Windows 9x: the S.M.A.R.T. driver's device; nullptr while the driver is not loaded.
    virtual std::unique_ptr<SmartDevice> OpenSmartVsd() = 0;
    // Where the 9x driver file has to be copied from the program's drv folder.
    virtual std::string SystemDirectory() = 0;
    // Copies a file, replacing the destination; false when nothing was copied.
    virtual bool CopyFile(const std::string& source, const std::string& destination) = 0;
};

} // namespace calventa::platform
