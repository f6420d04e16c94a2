#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/findings.h"
#include "core/monitor_state.h"

namespace calventa::core {

// Digits to draw into the 16 × 16 tray icon: Arial of PointSize at (X, Y) in Color.
struct TrayIconRequest
{
    std::string Text;
    int PointSize = 8;
    int X = 0;
    int Y = 0;
    int32_t Color = 0; // 0x00BBGGRR
    // Filled behind the digits (0x00BBGGRR) while an alarm holds; none: the icon is clear.
    std::optional<int32_t> Backdrop;
};

// While an alarm holds the digits are white on red, whatever colour the user chose for them:
// a mark that shows on a light panel and a dark one.
inline constexpr int32_t kAlarmDigitColor = 0x00FFFFFF;
inline constexpr int32_t kAlarmBackdropColor = 0x000000FF;
// The alarm line's length at most (UTF-8 bytes), so that the three temperatures still fit
// the 127 characters a tray tip holds.
inline constexpr size_t kAlarmTipLineMax = 60;

struct TrayContent
{
    std::string Tip;                     // the three board temperatures
    std::optional<TrayIconRequest> Icon; // none: the application's own icon
    // The slots whose alarm holds, by their alarm captions; empty when none.
    std::vector<std::string> AlarmSensors;
    // What the tray shows as its tip: while an alarm holds, "⚠ ALARM: " and the sensors' names
    // as its first line, before the temperatures; otherwise Tip.
    std::string ShownTip;
};

// The tray tip (the three board temperatures), the icon digits of the chosen one, and the
// mark of the alarms that hold.
TrayContent ShowTray(const MonitorState& state);
// The same; where no board temperature fills the tip, a search that found nothing says so.
TrayContent ShowTray(const MonitorState& state, const NothingFoundReport& nothingFound);

// "⚠ ALARM: CPU, +12V"; names that would pass kAlarmTipLineMax are counted instead
// ("⚠ ALARM: CPU, SYS and 6 more").
std::string AlarmTipLine(const std::vector<std::string>& sensors);

} // namespace calventa::core
