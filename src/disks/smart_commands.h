#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "core/disk_table.h"
#include "platform/smart_device.h"

namespace calventa::disks {

// ATA command register values.
inline constexpr uint8_t kAtaSmart = 0xB0;              // S.M.A.R.T. feature set
inline constexpr uint8_t kAtaIdentifyDevice = 0xEC;     //
inline constexpr uint8_t kAtaCheckPowerMode = 0xE5;     // answers in the sector count register
inline constexpr uint8_t kSmartEnableOperations = 0xD8; // features of "enable"
inline constexpr uint8_t kSmartReadData = 0xD0;         // features of "read data"
inline constexpr uint8_t kSmartReadLog = 0xD5;     // features of "read log"; the log address goes in the sector number
inline constexpr uint8_t kSctStatusLog = 0xE0;     // reading the SCT command/status log returns the SCT status
inline constexpr uint8_t kSmartCylinderLow = 0x4F; // the S.M.A.R.T. signature in the cylinder registers
inline constexpr uint8_t kSmartCylinderHigh = 0xC2;

// IDENTIFY DEVICE text fields: byte offset and length within the page.
inline constexpr size_t kIdentifySerialOffset = 20;
inline constexpr size_t kIdentifySerialLength = 20;
inline constexpr size_t kIdentifyFirmwareOffset = 46;
inline constexpr size_t kIdentifyFirmwareLength = 8;
inline constexpr size_t kIdentifyModelOffset = 54;
inline constexpr size_t kIdentifyModelLength = 40;

// The S.M.A.R.T. data page's attribute table.
inline constexpr size_t kAttributeTableOffset = 2;
inline constexpr size_t kAttributeEntrySize = 12;
inline constexpr size_t kAttributeEntries = 42;
inline constexpr size_t kAttributeRawLowByte = 5; // within an entry
inline constexpr uint8_t kTemperatureAttribute = 194;
inline constexpr uint8_t kAirflowTemperatureAttribute = 190;

// IDENTIFY word 206: SCT command transport; bit 0 says the drive has it.
inline constexpr size_t kIdentifySctWordOffset = 412;
// The SCT status page: format version in word 0, current temperature (signed, 0x80 = none)
// at byte 200.
inline constexpr size_t kSctCurrentTemperatureOffset = 200;
inline constexpr uint8_t kSctNoTemperature = 0x80;

// 0xA0 for an even drive number, 0xB0 for an odd one: the drive-select bit follows the
// number's parity, as master and slave of one channel.
uint8_t DriveHeadFor(uint8_t driveNumber);

platform::SmartCommand EnableSmartCommand(uint8_t driveNumber);
platform::SmartCommand IdentifyDeviceCommand(uint8_t driveNumber);
platform::SmartCommand ReadSmartDataCommand(uint8_t driveNumber);
// S.M.A.R.T. READ LOG of the SCT command/status log: one page, the SCT status.
platform::SmartCommand ReadSctStatusCommand(uint8_t driveNumber);
// CHECK POWER MODE: no data; the drive answers in its sector count register and does not
// spin up for it.
platform::SmartCommand CheckPowerModeCommand(uint8_t driveNumber);

enum class PowerMode { Active, Standby, Unknown };

// CHECK POWER MODE's sector count: 0x00 and 0x01 standby, 0x40 NV cache with the platters
// spun down (standby too), 0x41 NV cache spun up, 0x80..0x83 idle and 0xFF active or idle
// (awake); any other value is neither. No count at all is Unknown.
PowerMode PowerModeOf(std::optional<uint8_t> sectorCount);

struct IdentityStrings
{
    std::string model;
    std::string serial;
    std::string firmware;
};

// An ATA text field: two characters per little-endian word, the first in the high byte.
// Trailing blanks are cut; a field of blanks only is empty. Bytes beyond the page are never
// read: a field that does not fit gives what fits.
std::string AtaString(const platform::SmartDataPage& page, size_t offset, size_t length);
IdentityStrings ReadIdentityStrings(const platform::SmartDataPage& identify);

// The raw low byte of attribute 194 as a signed temperature, from the first of the 42
// entries that carries that identifier; nullopt when none does.
std::optional<int32_t> FindTemperatureAttribute(const platform::SmartDataPage& smartData);

struct AtaTemperature
{
    int32_t celsius = 0;
    core::DiskTemperatureSource source = core::DiskTemperatureSource::Unknown;
};

// The drive's temperature from its attribute table: attribute 194 as above; a drive without
// it, attribute 190 (the airflow temperature, same raw layout). nullopt when neither is in
// the 42 entries.
std::optional<AtaTemperature> FindAtaTemperature(const platform::SmartDataPage& smartData);

// Whether IDENTIFY data says the drive answers SCT commands (so its SCT status can be read).
bool SupportsSctStatus(const platform::SmartDataPage& identify);

// The current temperature of an SCT status page; nullopt when the page is not one (format
// version other than 2 or 3) or the drive reports no reading (0x80).
std::optional<int32_t> SctStatusTemperature(const platform::SmartDataPage& sctStatus);

} // namespace calventa::disks
