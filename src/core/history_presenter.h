#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/history.h"

namespace calventa::core {

class MainWindowPresenter;

enum class HistorySpan { TenMinutes, OneHour, Day };
inline constexpr std::array<HistorySpan, 3> kHistorySpans{HistorySpan::TenMinutes, HistorySpan::OneHour,
                                                          HistorySpan::Day};
int64_t SpanSeconds(HistorySpan span);
// "10 min", "1 h", "24 h"
const char* SpanText(HistorySpan span);

// One row's curve in the unit it is shown in; a NaN point breaks the line.
struct HistoryLine
{
    int Slot = 0;
    std::string Caption; // "CPU", "HD0", "+3.3V", "CPU2"
    std::vector<HistoryPoint> Points;
    bool HasLimits = false; // the row's alarm is on: the range outside which it raises
    float LowLimit = 0.0f;
    float HighLimit = 0.0f;
    // SensorHistory::Revision of the row: while it stays, the points given before are given
    // again unchanged (all but the last, which a pass may still refine), so a view may draw
    // only the points that are new.
    uint64_t Revision = 0;
};

// A value axis mark: where it lies and its text ("45", "1.5", "-12", "0,05" with a decimal comma).
struct HistoryTick
{
    double Value = 0.0;
    std::string Label;

    friend bool operator==(const HistoryTick&, const HistoryTick&) = default;
};

// The value range of one plot: its rows' readings in the span with a margin, widened to whole
// tick steps of 1, 2 or 5 times a power of ten. Alarm limits do not widen it: a limit far from
// the readings would flatten them.
struct HistoryAxis
{
    double Low = 0.0;
    double High = 1.0;
    std::vector<HistoryTick> Ticks; // Low to High, one step apart

    friend bool operator==(const HistoryAxis&, const HistoryAxis&) = default;
};

struct HistoryPlot
{
    std::string Title; // "Temperatures", "Fans", "Voltages"
    std::string Unit;  // "°C" or "°F", "RPM", "V"
    std::vector<HistoryLine> Lines;
    HistoryAxis Axis;
};

// A plot's heading: "Temperatures (°C)".
std::string PlotHeading(const HistoryPlot& plot);

// What a plot without a reading in the span says over its empty area.
inline constexpr const char* kNoReadingsText = "No readings in this span";

// A time axis mark at a round local time ("14:20"), in the record's UTC seconds.
struct HistoryTimeTick
{
    int64_t Time = 0;
    std::string Label;

    friend bool operator==(const HistoryTimeTick&, const HistoryTimeTick&) = default;
};

struct HistoryTableRow
{
    int Slot = 0;
    std::string Caption;
    std::string Current;
    std::string Min;
    std::string Max;
};

// What the history window shows: the main window's panels as plots over the span ending
// at the latest pass, and the current value and extremes of each row.
struct HistoryContent
{
    HistorySpan Span = HistorySpan::TenMinutes;
    int64_t From = 0; // UTC seconds
    int64_t To = 0;
    int32_t UtcOffset = 0;                  // of the clock at the latest pass: local time is UTC + UtcOffset
    std::array<HistoryPlot, 3> Plots{};     // kPanelTemperatures, kPanelFans, kPanelVoltages
    std::vector<HistoryTimeTick> TimeTicks; // From to To, shared by the plots
    std::vector<HistoryTableRow> Table;     // window order
};

// Rows as the main window lays them out now; temperatures in the unit the general page chose
// for the tray (TrayFahrenheit), as the tray and its tip show them.
HistoryContent BuildHistoryContent(const SensorHistory& history, const MonitorState& state,
                                   const MainWindowPresenter& mainWindow, HistorySpan span);

// The value axis of a plot of `kind` rows over their points; `separator` is the decimal one.
HistoryAxis HistoryAxisOf(const std::vector<HistoryLine>& lines, SlotKind kind, const std::string& separator);

// The shown span as CSV (RFC 4180, CR LF): "Time" in ISO 8601 local time with its UTC offset
// ("2026-12-10T17:05:00+01:00") and one column per row headed by its caption and unit; a cell is
// empty where the row had no reading. Minute samples give their mean.
std::string HistoryCsv(const HistoryContent& content);

} // namespace calventa::core
