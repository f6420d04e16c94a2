#include "core/main_window_presenter.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/value_text.h"

namespace calventa::core {

namespace {

constexpr int kFirstPanelTop = 3;
constexpr int kFirstRowY = 24;
constexpr int kRowHeight = 16;
constexpr int kPanelGap = 3;
constexpr int kPanelBottomMargin = 6;
constexpr int kFrameHeight = 20;
constexpr int kValueLeft = 64;
constexpr int kVoltageValueLeft = 78;

std::optional<double> ShownTemperature(int32_t celsius)
{
    return IsShownTemperature(celsius) ? std::optional<double>(celsius) : std::nullopt;
}

// The float as the shortest decimal that reads back as it (3.3, not 3.2999999523), so that
// outputs of the double show what the chip formula gave. Like the text, NaN and infinities
// read as zero.
double VoltReading(float volts)
{
    if (!std::isfinite(volts)) {
        return 0.0;
    }
    char text[32];
    for (int digits = 1; digits <= 9; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(volts));
        if (std::strtof(text, nullptr) == volts) {
            break;
        }
    }
    return std::strtod(text, nullptr);
}

int PanelOfSlot(int slot)
{
    switch (KindOfSlot(slot)) {
    case SlotKind::Fan:
        return kPanelFans;
    case SlotKind::Voltage:
        return kPanelVoltages;
    case SlotKind::Temperature:
    case SlotKind::Disk:
        break;
    }
    return kPanelTemperatures;
}

} // namespace

std::vector<std::string> FoldText(const std::string& text, size_t width)
{
    std::vector<std::string> lines;
    std::string line;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(' ', start);
        end = end == std::string::npos ? text.size() : end;
        const std::string word = text.substr(start, end - start);
        start = end + 1;
        if (word.empty()) {
            continue;
        }
        if (!line.empty() && line.size() + 1 + word.size() > width) {
            lines.push_back(line);
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    if (!line.empty()) {
        lines.push_back(line);
    }
    return lines;
}

bool HasCurrentReading(const MonitorState& state, int slot)
{
    if (slot < 0 || slot >= kSlotCount) {
        return false;
    }
    const SensorSlot& s = state.Settings.Slots[static_cast<size_t>(slot)];
    switch (KindOfSlot(slot)) {
    case SlotKind::Temperature:
        return state.Chips.HasReading(ChannelKind::Temperature, s.Chip, s.Channel);
    case SlotKind::Voltage:
        return state.Chips.HasReading(ChannelKind::Voltage, s.Chip, s.Channel);
    case SlotKind::Fan:
        return state.Chips.HasReading(ChannelKind::Fan, s.Chip, s.Channel);
    case SlotKind::Disk:
        break;
    }
    return true;
}

bool MainWindowPresenter::RowShown(const MonitorState& state, int slot)
{
    if (slot < 0 || slot >= kSlotCount) {
        return false;
    }
    const SensorSlot& s = state.Settings.Slots[static_cast<size_t>(slot)];
    if (KindOfSlot(slot) == SlotKind::Disk) {
        return s.Enabled == 1 && state.Disks.Listed(slot - kSlotHd0);
    }
    return s.Enabled == 1 && s.Chip != kNoChip;
}

const MainWindowValue& MainWindowPresenter::Value(int slot) const
{
    static const MainWindowValue kNone;
    return slot >= 0 && slot < kSlotCount ? m_values[static_cast<size_t>(slot)] : kNone;
}

void MainWindowPresenter::BuildMainWindow(MonitorState& state, AlarmFlags& alarms)
{
    m_layout = MainWindowLayout{};
    int nextPanelTop = kFirstPanelTop;
    // Slot order is window order within each panel: temperatures then disks, fans, voltages.
    for (int panel = kPanelTemperatures; panel <= kPanelVoltages; ++panel) {
        MainWindowPanel& p = m_layout.Panels[static_cast<size_t>(panel)];
        int rowY = kFirstRowY;
        for (int slot = 0; slot < kSlotCount; ++slot) {
            if (PanelOfSlot(slot) != panel || !RowShown(state, slot)) {
                continue;
            }
            if (!p.Visible) {
                p.Visible = true;
                p.Top = nextPanelTop;
            }
            MainWindowRow row;
            row.Slot = slot;
            row.Panel = panel;
            row.Y = rowY;
            row.ValueLeft = panel == kPanelVoltages ? kVoltageValueLeft : kValueLeft;
            row.HasPowerLine = panel == kPanelFans && FanControlActive(state.Settings, slot - kSlotCpuFan + 1);
            m_layout.Rows.push_back(row);
            rowY += row.HasPowerLine ? 2 * kRowHeight : kRowHeight;
        }
        if (p.Visible) {
            p.Height = rowY + kPanelBottomMargin;
            nextPanelTop += p.Height + kPanelGap;
        }
    }
    if (m_layout.Rows.empty() && !m_nothingFound.Empty()) {
        MainWindowNotice& notice = m_layout.Notice;
        notice.Visible = true;
        notice.Top = kFirstPanelTop;
        notice.Lines.push_back(std::string(kNothingFoundHeadline) + ":");
        for (const FindingLine& line : m_nothingFound.Lines) {
            for (std::string& folded : FoldText(line.Text, kNoticeCharactersPerLine)) {
                notice.Lines.push_back(std::move(folded));
            }
        }
        notice.Height = 2 * kNoticeFirstLineY + static_cast<int>(notice.Lines.size()) * kNoticeLineHeight;
        nextPanelTop += notice.Height + kPanelGap;
    }
    m_layout.Height = nextPanelTop + kFrameHeight;
    RefreshMainWindow(state, alarms);
}

bool MainWindowPresenter::RefreshMainWindow(MonitorState& state, AlarmFlags& alarms)
{
    alarms.NewAlarm = false;
    const std::string separator = state.Platform().facts.DecimalSeparator();
    for (int slot = 0; slot < kSlotCount; ++slot) {
        MainWindowValue& value = m_values[static_cast<size_t>(slot)];
        value = MainWindowValue{};
        if (!RowShown(state, slot)) {
            continue;
        }
        SensorSlot& s = state.Settings.Slots[static_cast<size_t>(slot)];
        value.Shown = true;
        if (!HasCurrentReading(state, slot)) {
            value.Text = kNoReadingText; // nothing to test against the limits either
            continue;
        }
        switch (KindOfSlot(slot)) {
        case SlotKind::Temperature: {
            const int32_t t = state.Chips.Temp(s.Chip, s.Channel);
            value.Red = EvaluateAlarm(s, alarms, t);
            value.Text = GetFahrString(t);
            value.Reading = ShownTemperature(t);
            break;
        }
        case SlotKind::Disk: {
            const int disk = slot - kSlotHd0;
            const int32_t t = state.Disks.TemperatureOf(disk);
            value.Text = GetFahrString(t);
            value.Reading = ShownTemperature(t);
            if (!state.Disks.Current(disk)) {
                // The last value read, not a reading: it neither raises nor clears an alarm.
                value.Stale = true;
                value.Note = state.Disks.ReadState[static_cast<size_t>(disk)] == DiskReadState::Asleep
                                 ? kDiskAsleepNote
                                 : kDiskPowerModeUnknownNote;
                value.Red = s.Enabled != 0 && s.AlarmEnabled != 0 && s.AlarmActive != 0;
                break;
            }
            value.Red = EvaluateAlarm(s, alarms, t);
            break;
        }
        case SlotKind::Fan: {
            const int32_t rpm = state.Chips.Fan(s.Chip, s.Channel);
            const int channel = slot - kSlotCpuFan + 1;
            value.Red = EvaluateAlarm(s, alarms, rpm);
            value.Text = GetFanString(rpm);
            value.Reading = rpm;
            if (FanControlActive(state.Settings, channel)) {
                value.PowerPercent = state.FanDuty.Get(channel);
                value.Power = "Power = " + std::to_string(*value.PowerPercent) + "%";
            }
            break;
        }
        case SlotKind::Voltage: {
            const float volts = state.Chips.Volt(s.Chip, s.Channel);
            value.Red = EvaluateAlarm(s, alarms, volts);
            value.Text = GetVoltString(volts, separator) + " V";
            value.Reading = VoltReading(volts);
            break;
        }
        }
    }
    return alarms.NewAlarm;
}

} // namespace calventa::core
