#include "core/history_presenter.h"

#include <charconv>
#include <cmath>
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

HistoryContent BuildHistoryContent(const SensorHistory& history, const MonitorState& state,
                                   const MainWindowPresenter& mainWindow, HistorySpan span)
{
    HistoryContent content;
    content.Span = span;
    content.To = history.LatestTime();
    content.From = content.To - SpanSeconds(span);
    const bool fahrenheit = state.Settings.TrayFahrenheit != 0;
    const std::string separator = state.Platform().facts.DecimalSeparator();
    content.Plots[kPanelTemperatures] = {"Temperatures", fahrenheit ? "°F" : "°C", {}};
    content.Plots[kPanelFans] = {"Fans", "RPM", {}};
    content.Plots[kPanelVoltages] = {"Voltages", "V", {}};

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
        csv += IsoTimeOfSeconds(time);
        for (const std::string& cell : row) {
            csv += "," + cell;
        }
        csv += "\r\n";
    }
    return csv;
}

} // namespace calventa::core
