#include "core/tray_presenter.h"

#include "core/alarms.h"
#include "core/main_window_presenter.h"
#include "core/value_text.h"

namespace calventa::core {

std::string AlarmTipLine(const std::vector<std::string>& sensors)
{
    const std::string head = "\u26A0 ALARM: ";
    std::string line = head;
    for (size_t i = 0; i < sensors.size(); ++i) {
        const std::string name = (i > 0 ? ", " : "") + sensors[i];
        const size_t left = sensors.size() - i - 1;
        // Room for this name and, when more follow, for the count of those after it.
        const size_t tail = left > 0 ? std::string(" and ").size() + std::to_string(left).size() + 5 : 0;
        if (i > 0 && line.size() + name.size() + tail > kAlarmTipLineMax) {
            return line + " and " + std::to_string(sensors.size() - i) + " more";
        }
        line += name;
    }
    return line;
}

namespace {

// The alarm mark over what ShowTray computed: the tip's first line and the icon's colours.
void MarkAlarms(const MonitorState& state, const std::string& separator, TrayContent& content)
{
    for (const int slot : HeldAlarms(state.Settings)) {
        content.AlarmSensors.push_back(AlarmCaption(slot));
    }
    if (content.AlarmSensors.empty()) {
        content.ShownTip = content.Tip;
        return;
    }
    content.ShownTip = AlarmTipLine(content.AlarmSensors) + (content.Tip.empty() ? "" : separator + content.Tip);
    if (content.Icon) {
        content.Icon->Color = kAlarmDigitColor;
        content.Icon->Backdrop = kAlarmBackdropColor;
    }
}

TrayContent DescribedTray(const MonitorState& state, const std::string& separator)
{
    const SettingsBlock& block = state.Settings;
    TrayContent content;
    const char* labels[] = {"CPU: ", "SYS: ", "AUX: "};
    for (int slot = kSlotCpu; slot <= kSlotAux; ++slot) {
        const SensorSlot& s = block.Slots[static_cast<size_t>(slot)];
        if (s.Chip != kNoChip) {
            content.Tip += labels[slot] +
                           (HasCurrentReading(state, slot) ? GetFahrString(state.Chips.Temp(s.Chip, s.Channel))
                                                           : std::string(kNoReadingText)) +
                           separator;
        }
    }
    if (content.Tip.ends_with("\r\n")) {
        content.Tip.resize(content.Tip.size() - 2);
    }

    const int source = SourceSlot(block.TraySource);
    if (source < 0) {
        return content;
    }
    const SensorSlot& s = block.Slots[static_cast<size_t>(source)];
    if (s.Chip == kNoChip || !HasCurrentReading(state, source)) {
        return content; // the program's own icon rather than a stale number
    }
    const int32_t t = state.Chips.Temp(s.Chip, s.Channel);
    TrayIconRequest icon;
    icon.Color = block.TrayColor;
    if (block.TrayFahrenheit == 0) {
        icon.Text = std::to_string(t);
        icon.PointSize = 8;
        icon.X = 2;
        icon.Y = 0;
    } else {
        const int64_t f = FahrenheitOfWide(t);
        icon.Text = std::to_string(f);
        icon.PointSize = 7;
        icon.X = f > 99 ? 1 : 3;
        icon.Y = 2;
    }
    content.Icon = icon;
    return content;
}

} // namespace

TrayContent ShowTray(const MonitorState& state)
{
    const bool nt = state.Platform().facts.Family() == platform::PlatformFamily::NtFamily;
    const std::string separator = nt ? "\r\n" : "   ";
    TrayContent content = DescribedTray(state, separator);
    MarkAlarms(state, separator, content);
    return content;
}

TrayContent ShowTray(const MonitorState& state, const NothingFoundReport& nothingFound)
{
    TrayContent content = ShowTray(state);
    if (content.Tip.empty() && !nothingFound.Empty()) {
        const bool nt = state.Platform().facts.Family() == platform::PlatformFamily::NtFamily;
        content.Tip = nothingFound.Tip(nt ? "\r\n" : ", ");
        if (content.AlarmSensors.empty()) {
            content.ShownTip = content.Tip;
        }
    }
    return content;
}

} // namespace calventa::core
