#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/history_presenter.h"

namespace calventa::core {

// What a History plot's frame shows, for any toolkit: the value range with its grid lines and
// the time grid lines with their "HH:MM" labels. Views only map these onto pixels.
struct AxisTick
{
    double Value = 0.0; // a value, or clock seconds on the time axis
    std::string Label;
};

struct PlotAxes
{
    double Low = 0.0; // the value range, bottom to top
    double High = 1.0;
    std::vector<AxisTick> ValueTicks; // Low first
    std::vector<AxisTick> TimeTicks;  // inside (From, To]
    bool AnyPoint = false;            // false: the plot says kNoReadingsText
};

inline constexpr const char* kNoReadingsText = "No readings in this span";

// The range covers every point and every alarm limit of the plot, so that no limit lies off
// it, with a little room and round steps (1, 2 or 5 times a power of ten, about four of them).
// A plot without readings spans 0..1.
PlotAxes ComputePlotAxes(const HistoryPlot& plot, int64_t from, int64_t to);

// "Temperatures (°C)"
std::string PlotHeading(const HistoryPlot& plot);

} // namespace calventa::core
