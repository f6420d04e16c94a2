#pragma once

#include <cstdint>
#include <optional>
#include <string>

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
};

struct TrayContent
{
    std::string Tip;
    std::optional<TrayIconRequest> Icon; // none: the application's own icon
};

// The tray tip (the three board temperatures) and the icon digits of the chosen one.
TrayContent ShowTray(const MonitorState& state);

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
