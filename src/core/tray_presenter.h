#pragma once

#include <cstdint>
#include <optional>
#include <string>

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
};

struct TrayContent
{
    std::string Tip;
    std::optional<TrayIconRequest> Icon; // none: the application's own icon
};

// The tray tip (the three board temperatures) and the icon digits of the chosen one.
TrayContent ShowTray(const MonitorState& state);
// The same; where no board temperature fills the tip, a search that found nothing says so.
TrayContent ShowTray(const MonitorState& state, const NothingFoundReport& nothingFound);

} // namespace calventa::core
