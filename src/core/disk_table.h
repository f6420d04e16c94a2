#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace calventa::core {

inline constexpr int kMaxDisks = 8;
inline constexpr size_t kDiskModelMax = 40;
inline constexpr size_t kDiskSerialMax = 20;
inline constexpr size_t kDiskFirmwareMax = 8;

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
    std::array<uint8_t, kMaxDisks> DriveNumbers{}; // physical drive number of each entry

    // Temperature of entry n; 0 outside the table.
    int32_t TemperatureOf(int n) const { return n >= 0 && n < kMaxDisks ? Temperature[static_cast<size_t>(n)] : 0; }
    // Whether entry n is listed (n below DiskCount, within the table).
    bool Listed(int n) const { return n >= 0 && n < kMaxDisks && n < DiskCount; }
};

} // namespace calventa::core
