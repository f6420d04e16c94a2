#pragma once

#include <algorithm>
#include <cstdint>

#include "core/disk_table.h"
#include "core/settings_block.h"

namespace calventa::core {

inline constexpr int kShowTimerMs = 1500;
inline constexpr int kPositionTimerMs = 1000;

// Timer intervals from the block, clamped to what the options dialog allows: an edited
// settings.dat with 0 or a negative interval must not make a timer spin.
inline int SensorTimerMs(const SettingsBlock& block)
{
    return std::clamp(block.SensorInterval, 3, 600) * 1000;
}
inline int DiskTimerMs(const SettingsBlock& block)
{
    return std::clamp(block.DiskInterval, 60, 1200) * 1000;
}

// The disk timer runs when some disk row HDk is enabled and disk k is listed.
inline bool DiskTimerOn(const SettingsBlock& block, const DiskTable& disks)
{
    for (int k = 0; k < kMaxDisks; ++k) {
        if (block.Slots[static_cast<size_t>(kSlotHd0 + k)].Enabled == 1 && disks.Listed(k)) {
            return true;
        }
    }
    return false;
}

} // namespace calventa::core
