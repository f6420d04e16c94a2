#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace calventa::core {

inline constexpr int kMaxDisks = 8;
inline constexpr size_t kDiskModelMax = 40;
inline constexpr size_t kDiskSerialMax = 20;
inline constexpr size_t kDiskFirmwareMax = 8;

// Byte layout of the record. Its first 601 or 610 bytes are the "sysdata" value that the
// disk service writes; strings are a length byte followed by the characters.
inline constexpr size_t kDiskCountOffset = 0;
inline constexpr size_t kDiskTemperatureOffset = 1;      // 8 × int32
inline constexpr size_t kDiskModelOffset = 33;           // 8 × 41
inline constexpr size_t kDiskSerialOffset = 361;         // 8 × 21
inline constexpr size_t kDiskFirmwareOffset = 529;       // 8 × 9
inline constexpr size_t kDriveCountOffset = 601;         // then 2 reserved bytes
inline constexpr size_t kDriveNumbersOffset = 604;       // 8 × 1
inline constexpr size_t kDiskRecordSize = 612;           // the whole record
inline constexpr size_t kDiskScanImageSize = 610;        // after a scan: up to the sixth drive number
inline constexpr size_t kDiskTemperatureImageSize = 601; // after a temperature read: no drive list

// A DriveNumbers byte with this bit set names NVMe controller (byte & 0x7F) instead of a
// physical drive: the image keeps its layout and still tells the two kinds apart.
inline constexpr uint8_t kNvmeDriveFlag = 0x80;

// Where an entry's temperature comes from. Known only to the process that read the drive:
// it is no part of the image.
enum class DiskTemperatureSource : uint8_t {
    Unknown,       // not read by this process (the disk service's table) or not listed
    Attribute194,  // S.M.A.R.T. attribute 194, the drive's temperature
    Attribute190,  // attribute 190, the airflow temperature, on drives without 194
    SctStatus,     // the SCT status page's current temperature, on drives with neither
    NvmeComposite, // an NVMe controller's composite temperature
    KernelHwmon,   // the kernel's own monitor of the drive (nvme, drivetemp), for a user the disk pass cannot serve
};

// Whether an entry's temperature is from the last pass. Run-time only, like the source.
enum class DiskReadState : uint8_t {
    Current,          // read in the last pass (or the last pass failed as a read always could)
    Asleep,           // the drive was in standby: not read, the value is the last one read
    PowerModeUnknown, // the drive's power mode could not be told: not read, lest it spin up
};

// The listed disks with their latest temperatures. Entry i of every array describes the
// same disk; the disk slots HD0..HD7 belong to entries 0..7.
struct DiskTable
{
    uint8_t DiskCount = 0;
    std::array<int32_t, kMaxDisks> Temperature{}; // °C, correction included
    std::array<std::string, kMaxDisks> Model;
    std::array<std::string, kMaxDisks> Serial;
    std::array<std::string, kMaxDisks> Firmware;
    uint8_t DriveCount = 0;
    std::array<uint8_t, kMaxDisks> DriveNumbers{}; // physical drive number, or kNvmeDriveFlag | controller
    // Run-time only, never encoded: the source of each entry's temperature.
    std::array<DiskTemperatureSource, kMaxDisks> Source{};
    std::array<DiskReadState, kMaxDisks> ReadState{};

    // Whether entry n's temperature was read in the last pass (entries outside: true).
    bool Current(int n) const
    {
        return n < 0 || n >= kMaxDisks || ReadState[static_cast<size_t>(n)] == DiskReadState::Current;
    }

    // Temperature of entry n; 0 outside the table.
    int32_t TemperatureOf(int n) const { return n >= 0 && n < kMaxDisks ? Temperature[static_cast<size_t>(n)] : 0; }
    // Whether entry n is listed (n below DiskCount, within the table).
    bool Listed(int n) const { return n >= 0 && n < kMaxDisks && n < DiskCount; }
    // Whether a listed entry reads physical drive `drive`.
    bool ListsDrive(int drive) const { return drive >= 0 && drive < kNvmeDriveFlag && ListsDriveByte(drive); }
    // Whether a listed entry reads NVMe controller `controller`.
    bool ListsNvmeController(int controller) const
    {
        return controller >= 0 && controller < kNvmeDriveFlag && ListsDriveByte(kNvmeDriveFlag | controller);
    }
    // Whether entry n is an NVMe controller.
    bool IsNvme(int n) const
    {
        return n >= 0 && n < kMaxDisks && (DriveNumbers[static_cast<size_t>(n)] & kNvmeDriveFlag) != 0;
    }

    bool operator==(const DiskTable&) const = default;

private:
    bool ListsDriveByte(int value) const
    {
        for (int n = 0; Listed(n); ++n) {
            if (DriveNumbers[static_cast<size_t>(n)] == value) {
                return true;
            }
        }
        return false;
    }
};

// The first `length` bytes (at most the whole record) of the table's image, little-endian.
// Strings longer than their field are cut to it; unused bytes are zero.
std::vector<uint8_t> EncodeDiskTable(const DiskTable& table, size_t length = kDiskScanImageSize);

// Lays an image over the table from offset 0, as a raw copy of those bytes would: fields
// the image does not reach keep their values (601 bytes leave DriveCount and DriveNumbers
// alone), bytes beyond the record are ignored. Length bytes above their field and counts
// above 8 are clamped, so nothing is ever read past a field.
void DecodeDiskTable(std::span<const uint8_t> bytes, DiskTable& table);

} // namespace calventa::core
