#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/kernel_sensors.h"
#include "platform/system_facts.h"

namespace calventa::sim {

// Monitoring chip models a board file can name; each presets its identification registers.
enum class ChipModel {
    Raw, // nothing preset (also the model when "model" is missing)
    W83781D,
    W83782D,
    W83783S,
    W83627HF,
    W83627THF,
    W83627EHF,
    W83637HF,
    W83697HF,
    As99127fRev1,
    As99127fRev2,
    Asb100,
    It8712f,
    It8705f,
    Lm87,
    Lm90,
    Lm75,
};

// The board-file word of a model ("W83627HF", "AS99127F-rev1", "raw", …) and back.
std::optional<ChipModel> ChipModelFromName(std::string_view name);
std::string_view ChipModelName(ChipModel model);
// Winbond-style chips bank registers 0x50..0x5F by 0x4E and show the vendor halves in 0x4F.
bool IsWinbondStyle(ChipModel model);

enum class DiskAccess {
    Direct,  // drives open
    Denied,  // drive 0 refuses with "access denied"
    Absent,  // drive 0 does not exist
    NoRawIo, // drives open, but every S.M.A.R.T. command is refused for lack of rights (group disk)
};

struct PciDescription
{
    uint16_t hostVendor = 0x8086;   // 00:00.0 vendor
    uint16_t lpcDevice = 0x24D0;    // 00:1f.0 device identifier (vendor 0x8086)
    uint16_t smbusCommand = 0x0001; // 00:1f.3 offset 0x04, bit 0 = I/O space enable
    uint8_t smbusHostcfg = 0x01;    // 00:1f.3 offset 0x40, bit 0 = host enable
    uint32_t smbusBar = 0x0401;     // 00:1f.3 offset 0x20, I/O base = bar & 0xFFF8
    bool enableBitsStick = true;    // false: writes cannot change bit 0 of 0x04 and 0x40
};

struct ChipDescription
{
    ChipModel model = ChipModel::Raw;
    std::optional<uint16_t> vendor;       // overrides the preset vendor; makes any model answer Winbond-style
    std::optional<uint8_t> chipId;        // overrides the preset identifier (bank 0, register 0x58)
    std::map<uint8_t, uint8_t> registers; // bank 0 and every unbanked register (also the file's bank "0")
    std::map<uint8_t, std::map<uint8_t, uint8_t>> banks; // bank 1..7 → register → value
};

struct SmbusDeviceDescription
{
    uint8_t address = 0; // 7-bit SMBus address
    ChipDescription chip;
};

enum class DiskKind { Ata, Nvme };

struct DiskDescription
{
    DiskKind kind = DiskKind::Ata;
    int drive = 0; // physical drive number 0..7; of an NVMe disk, its controller number 0..7
    // UTF-8, at most kDisk…Length characters; the IDENTIFY field keeps the whole characters that fit its bytes.
    std::string model;
    std::string serial;
    std::string firmware;
    // ATA: raw low byte of attribute 194 as written (-128..255; the byte is value & 0xFF).
    // NVMe: the composite temperature in °C (sent as Kelvin).
    int temperature = 0;
    int attributeEntry = 0; // index of the attribute-194 entry in the 42-entry table, -1 for none
    bool smart = true;      // false: the drive fails the S.M.A.R.T. (NVMe: every admin) command
    // Attribute 190's raw low byte. Without it a drive with attribute 194 lists 190 at 33 (a
    // decoy the 194 search must pass over) and a drive without 194 has no 190 either.
    std::optional<int> airflowTemperature;
    // The SCT status page's current temperature; none: the drive has no SCT commands.
    std::optional<int> sctTemperature;
    // What CHECK POWER MODE answers in the sector count: 0xFF active (the default), 0x00
    // standby, any other byte as given; none: the drive fails the command. A drive in standby
    // wakes (0xFF) when it is sent READ DATA or READ LOG.
    std::optional<uint8_t> powerMode = 0xFF;
    // An NVMe disk's current power state (Get Features answers it); states 3 and 4 are
    // non-operational. none: Get Features fails.
    std::optional<int> nvmePowerState = 0;
};

// One input of a kernel hwmon device; `value` none makes every read of it fail (EIO).
struct KernelInputDescription
{
    platform::KernelInputKind kind = platform::KernelInputKind::Temperature;
    int number = 1;    // N of tempN / inN / fanN
    std::string label; // empty: the sysfs name ("temp1", "in0", "fan2")
    std::optional<double> value;
};

struct KernelPwmDescription
{
    int number = 1; // N of pwmN
    int enable = 2; // pwmN_enable as found: 0 full speed, 1 manual, 2.. automatic
    int value = 255;
    bool writable = true; // false: pwmN and pwmN_enable refuse writes (not root)
};

// A device of the board file's "kernel" section, as the kernel would publish it.
struct KernelDeviceDescription
{
    std::string name;
    std::string busPath;
    std::vector<KernelInputDescription> inputs;
    std::vector<KernelPwmDescription> pwms;
    std::optional<int> ataDrive;
    std::optional<int> nvmeController;
};

inline constexpr size_t kMaxBoardKernelDevices = 64;
inline constexpr size_t kMaxBoardKernelInputs = 256; // per device
inline constexpr size_t kMaxBoardKernelName = 255;

inline constexpr size_t kMaxBoardDisks = 8;
inline constexpr size_t kDiskModelLength = 40;
inline constexpr size_t kDiskSerialLength = 20;
inline constexpr size_t kDiskFirmwareLength = 8;

struct BoardDescription
{
    platform::PlatformFamily family = platform::PlatformFamily::NtFamily;
    bool portAccess = true;
    DiskAccess diskAccess = DiskAccess::Direct;
    std::optional<PciDescription> pci; // none: host bridge vendor 0x1106, no SMBus host
    std::optional<ChipDescription> isa;
    std::vector<SmbusDeviceDescription> smbus;
    std::vector<DiskDescription> disks;
    std::vector<KernelDeviceDescription> kernel; // the kernel's hwmon devices, in the order given
};

// Parses a board file. On refusal returns nullopt and sets error to one line naming the
// key path, e.g. `board: isa.registers."0x1FF": register number out of range 0..0xFF`;
// echoed text has its control characters escaped and is cut after 64 characters. Unknown
// keys and keys given twice (also "0x20" beside "32") are refused. Never throws.
std::optional<BoardDescription> ParseBoard(std::string_view json, std::string& error);
// Reads and parses the file; a file that cannot be read is refused like a malformed one.
std::optional<BoardDescription> LoadBoardFile(const std::string& path, std::string& error);

} // namespace calventa::sim
