#pragma once

#include <string>
#include <vector>

#include "core/settings_block.h"
#include "platform/system_facts.h"

namespace calventa::core {

// Program-wide alarm state.
struct AlarmFlags
{
    bool AlarmWindowReady = false; // the alarm window exists; no alarm is raised before
    bool NewAlarm = false;         // a slot raised or re-raised its alarm during this refresh
    bool AlarmWindowShown = false;
};

// Tests a shown value against its slot's limits (both ends count as out of range) and
// keeps the slot's latch. Returns true when the value is to be painted red and bold.
bool EvaluateAlarm(SensorSlot& slot, AlarmFlags& flags, double value);

// What the alarm window shows: one line per latched slot, and its geometry.
struct AlarmWindowContent
{
    static constexpr int kWidth = 200;
    static constexpr int kFirstLineTop = 32;
    static constexpr int kLineStep = 16;
    static constexpr int kLineLeft = 12;

    std::vector<std::string> Lines;
    int PanelHeight = 0;
    int CloseButtonTop = 0;
    int Height = 0; // outer height: 88 + 16 per line
    int Left = 0;   // 16 from the right edge of the primary screen
    int Top = 0;    // 56 from its bottom edge
};

// The alarm window's list, rebuilt from the slots.
AlarmWindowContent CheckAlarms(const SettingsBlock& block, platform::ScreenSize screen,
                               const std::string& decimalSeparator);

} // namespace calventa::core
