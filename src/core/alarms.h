#pragma once

#include <array>
#include <optional>
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

// Whether the slot's alarm holds: latched, with its slot and its alarm on and a chip named.
// The alarm window lists exactly these slots; the tray marks them.
bool AlarmHolds(const SensorSlot& slot);

// The slots whose alarm holds, in the alarm window's order.
std::vector<int> HeldAlarms(const SettingsBlock& block);

// The slot's name in the alarm texts: "CPU", "HD0", "+12V", "CPU fan".
std::string AlarmCaption(int slot);

// The alarm window's line for a slot: "CPU temperature is 75 °C / 167 °F".
std::string AlarmLineText(const SettingsBlock& block, int slot, const std::string& decimalSeparator);

// A desktop notification: a summary line and its body.
struct AlarmNotice
{
    std::string Summary;
    std::string Body; // one alarm line per started alarm, joined by LF
};

// Tells when alarms start. Look after each pass: it compares the held alarms with those of the
// previous look, so an alarm that holds pass after pass, or rises, is told once; one that
// clears and comes back is told again.
class AlarmStartWatch
{
public:
    // The notice for the alarms that started since the previous look; none when none did.
    std::optional<AlarmNotice> Look(const SettingsBlock& block, const std::string& decimalSeparator);

private:
    std::array<bool, kSlotCount> m_held{};
};

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
