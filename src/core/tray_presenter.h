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

// How clicks on the icon reach the default item, whatever toolkit reports them. A double
// click runs it. Some notification areas pass only single clicks: until a double click has
// been seen, a single click waits out the double-click time and then runs the default item
// when that is "Restore", so that a window hidden in the tray comes back.
class TrayClicks
{
public:
    // A double click arrived: from now on single clicks do nothing.
    void DoubleClick() { m_doubleClicksSeen = true; }
    // A single click arrived: whether to start the wait.
    bool WaitAfterSingleClick(bool mouseHandling) const { return mouseHandling && !m_doubleClicksSeen; }
    // The wait passed without a second click: whether the default item runs now.
    bool RunDefaultAfterWait(bool defaultIsRestore) const { return defaultIsRestore && !m_doubleClicksSeen; }

private:
    bool m_doubleClicksSeen = false;
};

} // namespace calventa::core
