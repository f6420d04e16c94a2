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
};

struct HistoryPlot
{
    std::string Title; // "Temperatures", "Fans", "Voltages"
    std::string Unit;  // "°C" or "°F", "RPM", "V"
    std::vector<HistoryLine> Lines;
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
    int64_t From = 0;
    int64_t To = 0;
    std::array<HistoryPlot, 3> Plots{}; // kPanelTemperatures, kPanelFans, kPanelVoltages
    std::vector<HistoryTableRow> Table; // window order
};

// Rows as the main window lays them out now; temperatures in the unit the general page chose
// for the tray (TrayFahrenheit).
HistoryContent BuildHistoryContent(const SensorHistory& history, const MonitorState& state,
                                   const MainWindowPresenter& mainWindow, HistorySpan span);

// The shown span as CSV (RFC 4180, CR LF): "Time" in ISO 8601 and one column per row headed by
// its caption and unit; a cell is empty where the row had no reading. Minute samples give
// their mean.
std::string HistoryCsv(const HistoryContent& content);

} // namespace calventa::core
