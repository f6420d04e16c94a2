#include "core/history_presenter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>
#include <string_view>

#include "core/main_window_presenter.h"
#include "core/value_text.h"

namespace calventa::core {

namespace {

float FahrenheitOfFloat(float celsius)
{
    return celsius * 9.0f / 5.0f + 32.0f;
}

std::string Caption(int slot)
{
    std::string_view label = SlotLabel(slot);
    if (label.ends_with(" :")) {
        label.remove_suffix(2);
    }
    return std::string(label);
}

std::string TableText(SlotKind kind, float value, bool fahrenheit, const std::string& separator)
{
    if (std::isnan(value)) {
        return kNoReadingText;
    }
    switch (kind) {
    case SlotKind::Temperature:
    case SlotKind::Disk: {
        // Recorded values are whole degrees within the shown range.
        const auto celsius = static_cast<int32_t>(value);
        return fahrenheit ? std::to_string(FahrenheitOf(celsius)) + " °F" : std::to_string(celsius) + " °C";
    }
    case SlotKind::Fan:
        return GetFanString(static_cast<int32_t>(value));
    case SlotKind::Voltage:
        return GetVoltString(value, separator) + " V";
    }
    return {};
}

// The narrowest range a plot of each kind shows, so that a steady reading is a line across
// the middle rather than noise blown up to the plot's height; and the range of a plot with no
// reading in the span.
double NarrowestRange(SlotKind kind)
{
    switch (kind) {
    case SlotKind::Temperature:
    case SlotKind::Disk:
        return 4.0;
    case SlotKind::Fan:
        return 200.0;
    case SlotKind::Voltage:
        break;
    }
    return 0.2;
}

std::string TickLabel(double value, double step, const std::string& separator)
{
    const int decimals = std::clamp(static_cast<int>(-std::floor(std::log10(step) + 1e-9)), 0, 6);
    if (std::fabs(value) < step * 1e-6) {
        value = 0.0; // no "-0"
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string label = text;
    if (const size_t point = label.find('.'); point != std::string::npos) {
        label.replace(point, 1, separator);
    }
    return label;
}

// "14:20" of a local time in seconds.
std::string ClockText(int64_t localSeconds)
{
    return IsoTimeOfSeconds(localSeconds).substr(11, 5);
}

int64_t TimeTickStep(HistorySpan span)
{
    switch (span) {
    case HistorySpan::TenMinutes:
        return 120;
    case HistorySpan::OneHour:
        return 600;
    case HistorySpan::Day:
        break;
    }
    return 4 * 3600;
}

int64_t FloorTo(int64_t value, int64_t step)
{
    const int64_t q = value / step;
    return (value % step != 0 && value < 0 ? q - 1 : q) * step;
}

// Shortest text of a value rounded to thousandths; '.' whatever the locale.
std::string CsvNumber(float value)
{
    const double rounded = std::round(static_cast<double>(value) * 1000.0) / 1000.0;
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, rounded);
    return std::string(text, result.ptr);
}

std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

} // namespace

int64_t SpanSeconds(HistorySpan span)
{
    switch (span) {
    case HistorySpan::TenMinutes:
        return 600;
    case HistorySpan::OneHour:
        return 3600;
    case HistorySpan::Day:
        break;
    }
    return 24 * 3600;
}

const char* SpanText(HistorySpan span)
{
    switch (span) {
    case HistorySpan::TenMinutes:
        return "10 min";
    case HistorySpan::OneHour:
        return "1 h";
    case HistorySpan::Day:
        break;
    }
    return "24 h";
}

std::string PlotHeading(const HistoryPlot& plot)
{
    return plot.Title + " (" + plot.Unit + ")";
}

HistoryAxis HistoryAxisOf(const std::vector<HistoryLine>& lines, SlotKind kind, const std::string& separator)
{
    double low = INFINITY;
    double high = -INFINITY;
    for (const HistoryLine& line : lines) {
        for (const HistoryPoint& p : line.Points) {
            for (const float value : {p.Min, p.Avg, p.Max}) {
                if (std::isfinite(value)) {
                    low = std::min(low, static_cast<double>(value));
                    high = std::max(high, static_cast<double>(value));
                }
            }
        }
    }
    const double narrowest = NarrowestRange(kind);
    if (!std::isfinite(low)) {
        low = 0.0;
        high = narrowest;
    } else {
        if (high - low < narrowest) {
            const double middle = (low + high) / 2.0;
            low = middle - narrowest / 2.0;
            high = middle + narrowest / 2.0;
        }
        // A twentieth of the range on each side, so no curve runs along the frame; a margin
        // does not cross zero, so readings of one sign keep an axis of that sign.
        const double margin = (high - low) / 20.0;
        low = low >= 0.0 ? std::max(0.0, low - margin) : low - margin;
        high = high <= 0.0 ? std::min(0.0, high + margin) : high + margin;
    }
    // The smallest step of 1, 2 or 5 times a power of ten that spans the range in at most
    // kMostSteps whole steps.
    constexpr int kMostSteps = 8;
    constexpr std::array<double, 3> kMantissas{1.0, 2.0, 5.0};
    const double power = std::pow(10.0, std::floor(std::log10((high - low) / kMostSteps)));
    double step = power;
    int64_t first = 0;
    int64_t last = 0;
    for (int k = 0; k < 12; ++k) {
        step = power * kMantissas[static_cast<size_t>(k % 3)] * std::pow(10.0, k / 3);
        first = static_cast<int64_t>(std::floor(low / step + 1e-9));
        last = static_cast<int64_t>(std::ceil(high / step - 1e-9));
        if (last - first <= kMostSteps) {
            break;
        }
    }
    HistoryAxis axis;
    axis.Low = static_cast<double>(first) * step;
    axis.High = static_cast<double>(last) * step;
    for (int64_t k = first; k <= last; ++k) {
        const double value = static_cast<double>(k) * step;
        axis.Ticks.push_back({value, TickLabel(value, step, separator)});
    }
    return axis;
}

HistoryContent BuildHistoryContent(const SensorHistory& history, const MonitorState& state,
                                   const MainWindowPresenter& mainWindow, HistorySpan span)
{
    HistoryContent content;
    content.Span = span;
    content.To = history.LatestTime();
    content.From = content.To - SpanSeconds(span);
    content.UtcOffset = history.UtcOffset();
    // Marks at round local times: the offset moves them, not the other way round.
    const int64_t tickStep = TimeTickStep(span);
    for (int64_t local = FloorTo(content.From + content.UtcOffset, tickStep) + tickStep;
         local <= content.To + content.UtcOffset; local += tickStep) {
        content.TimeTicks.push_back({local - content.UtcOffset, ClockText(local)});
    }
    const bool fahrenheit = state.Settings.TrayFahrenheit != 0;
    const std::string separator = state.Platform().facts.DecimalSeparator();
    content.Plots[kPanelTemperatures] = {"Temperatures", fahrenheit ? "°F" : "°C", {}, {}};
    content.Plots[kPanelFans] = {"Fans", "RPM", {}, {}};
    content.Plots[kPanelVoltages] = {"Voltages", "V", {}, {}};

    for (const MainWindowRow& row : mainWindow.Layout().Rows) {
        const int slot = row.Slot;
        if (row.Panel < 0 || row.Panel >= static_cast<int>(content.Plots.size())) {
            continue;
        }
        const SlotKind kind = KindOfSlot(slot);
        const bool temperature = kind == SlotKind::Temperature || kind == SlotKind::Disk;
        const auto shown = [&](float value) { return temperature && fahrenheit ? FahrenheitOfFloat(value) : value; };

        HistoryLine line;
        line.Slot = slot;
        line.Caption = Caption(slot);
        line.Points = history.Series(slot, content.From, content.To);
        line.Revision = history.Revision(slot);
        for (HistoryPoint& p : line.Points) {
            p.Min = shown(p.Min);
            p.Avg = shown(p.Avg);
            p.Max = shown(p.Max);
        }
        const SensorSlot& s = state.Settings.Slots[static_cast<size_t>(slot)];
        if (s.AlarmEnabled != 0) {
            line.HasLimits = true;
            line.LowLimit = shown(static_cast<float>(s.MinLimit));
            line.HighLimit = shown(static_cast<float>(s.MaxLimit));
        }
        content.Plots[static_cast<size_t>(row.Panel)].Lines.push_back(std::move(line));

        const HistoryStats stats = history.Stats(slot);
        content.Table.push_back({slot, Caption(slot), TableText(kind, stats.Current, fahrenheit, separator),
                                 TableText(kind, stats.Min, fahrenheit, separator),
                                 TableText(kind, stats.Max, fahrenheit, separator)});
    }
    const std::array<SlotKind, 3> kinds{SlotKind::Temperature, SlotKind::Fan, SlotKind::Voltage};
    for (size_t panel = 0; panel < content.Plots.size(); ++panel) {
        content.Plots[panel].Axis = HistoryAxisOf(content.Plots[panel].Lines, kinds[panel], separator);
    }
    return content;
}

std::string HistoryCsv(const HistoryContent& content)
{
    std::vector<const HistoryLine*> lines;
    std::string csv = "Time";
    for (const HistoryPlot& plot : content.Plots) {
        for (const HistoryLine& line : plot.Lines) {
            lines.push_back(&line);
            csv += "," + CsvField(line.Caption + " (" + plot.Unit + ")");
        }
    }
    csv += "\r\n";

    // Chip rows share their passes' times, disk rows have their own: one line per time.
    std::map<int64_t, std::vector<std::string>> cells;
    for (size_t column = 0; column < lines.size(); ++column) {
        for (const HistoryPoint& p : lines[column]->Points) {
            if (std::isnan(p.Avg)) {
                continue;
            }
            std::vector<std::string>& row = cells[p.Time];
            row.resize(lines.size());
            row[column] = CsvNumber(p.Avg);
        }
    }
    for (const auto& [time, row] : cells) {
        csv += IsoTimeWithOffset(time, content.UtcOffset);
        for (const std::string& cell : row) {
            csv += "," + cell;
        }
        csv += "\r\n";
    }
    return csv;
}

} // namespace calventa::core
