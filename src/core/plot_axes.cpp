#include "core/plot_axes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/history.h"

namespace calventa::core {

namespace {

constexpr int kTicks = 4;

// A step of 1, 2 or 5 times a power of ten near `rough`.
double NiceStep(double rough)
{
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    const double fraction = rough / power;
    return (fraction <= 1.0 ? 1.0 : fraction <= 2.0 ? 2.0 : fraction <= 5.0 ? 5.0 : 10.0) * power;
}

int64_t TimeStep(int64_t span)
{
    return span <= 600 ? 120 : span <= 3600 ? 600 : 4 * 3600;
}

std::string NumberText(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

} // namespace

PlotAxes ComputePlotAxes(const HistoryPlot& plot, int64_t from, int64_t to)
{
    PlotAxes axes;
    double low = INFINITY;
    double high = -INFINITY;
    for (const HistoryLine& line : plot.Lines) {
        for (const HistoryPoint& point : line.Points) {
            if (!std::isnan(point.Avg)) {
                low = std::min({low, static_cast<double>(point.Min), static_cast<double>(point.Avg)});
                high = std::max({high, static_cast<double>(point.Max), static_cast<double>(point.Avg)});
                axes.AnyPoint = true;
            }
        }
        if (line.HasLimits) {
            low = std::min({low, static_cast<double>(line.LowLimit), static_cast<double>(line.HighLimit)});
            high = std::max({high, static_cast<double>(line.LowLimit), static_cast<double>(line.HighLimit)});
        }
    }
    if (!std::isfinite(low) || !std::isfinite(high)) {
        low = 0.0;
        high = 1.0;
    }
    if (high - low < 1e-6) {
        low -= 1.0;
        high += 1.0;
    }
    // A little room, so that no curve runs along the frame.
    const double room = (high - low) * 0.04;
    low -= room;
    high += room;
    const double step = NiceStep((high - low) / kTicks);
    axes.Low = std::floor(low / step) * step;
    axes.High = std::ceil(high / step) * step;
    const auto count = static_cast<int>(std::lround((axes.High - axes.Low) / step));
    for (int i = 0; i <= count; ++i) {
        double value = axes.Low + i * step;
        if (std::fabs(value) < step * 1e-9) {
            value = 0.0; // never "-0"
        }
        axes.ValueTicks.push_back({value, NumberText(value)});
    }

    if (to > from) {
        const int64_t timeStep = TimeStep(to - from);
        for (int64_t t = (from / timeStep + 1) * timeStep; t <= to; t += timeStep) {
            const std::string iso = IsoTimeOfSeconds(t); // "2004-12-08T14:05:33"
            const size_t at = iso.find('T');
            axes.TimeTicks.push_back({static_cast<double>(t), at == std::string::npos ? iso : iso.substr(at + 1, 5)});
        }
    }
    return axes;
}

std::string PlotHeading(const HistoryPlot& plot)
{
    return plot.Title + " (" + plot.Unit + ")";
}

} // namespace calventa::core
