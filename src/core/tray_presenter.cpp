#include "core/tray_presenter.h"

#include "core/main_window_presenter.h"
#include "core/value_text.h"

namespace calventa::core {

TrayContent ShowTray(const MonitorState& state, const NothingFoundReport& nothingFound)
{
    TrayContent content = ShowTray(state);
    if (content.Tip.empty() && !nothingFound.Empty()) {
        const bool nt = state.Platform().facts.Family() == platform::PlatformFamily::NtFamily;
        content.Tip = nothingFound.Tip(nt ? "\r\n" : ", ");
    }
    return content;
}

TrayContent ShowTray(const MonitorState& state)
{
    const SettingsBlock& block = state.Settings;
    const bool nt = state.Platform().facts.Family() == platform::PlatformFamily::NtFamily;
    const std::string separator = nt ? "\r\n" : "   ";

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

} // namespace calventa::core
