#include "core/all_sensors.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "core/value_text.h"

namespace calventa::core {

namespace {

constexpr const char* kDrivesGroup = "Drives";

const char* KindPrefix(ChannelKind kind)
{
    switch (kind) {
    case ChannelKind::Voltage:
        return "in";
    case ChannelKind::Fan:
        return "fan";
    case ChannelKind::Temperature:
        break;
    }
    return "temp";
}

SlotKind SlotKindOf(ChannelKind kind)
{
    switch (kind) {
    case ChannelKind::Voltage:
        return SlotKind::Voltage;
    case ChannelKind::Fan:
        return SlotKind::Fan;
    case ChannelKind::Temperature:
        break;
    }
    return SlotKind::Temperature;
}

int ChannelCount(const ChipRecord& chip, ChannelKind kind)
{
    switch (kind) {
    case ChannelKind::Voltage:
        return std::min<int>(chip.VoltCount, static_cast<int>(chip.Volts.size()));
    case ChannelKind::Fan:
        return std::min<int>(chip.FanCount, static_cast<int>(chip.Fans.size()));
    case ChannelKind::Temperature:
        break;
    }
    return std::min<int>(chip.TempCount, static_cast<int>(chip.Temps.size()));
}

std::string GroupOf(const ChipRecord& chip)
{
    if (chip.IsKernelDevice()) {
        return chip.Name + " (" + chip.KernelBusPath + ")";
    }
    return chip.Name + (chip.Bus == kBusIsa ? " (ISA)" : " (SMBus)");
}

// The reading as a number the extremes keep, or none where the window would write no number.
std::optional<double> NumberOf(const ChipRecord& chip, ChannelKind kind, int channel)
{
    if (!chip.HasReading(kind, channel)) {
        return std::nullopt;
    }
    switch (kind) {
    case ChannelKind::Voltage: {
        const float volts = chip.Volt(channel);
        return std::isfinite(volts) ? std::optional<double>(volts) : std::nullopt;
    }
    case ChannelKind::Fan:
        return chip.Fan(channel);
    case ChannelKind::Temperature:
        break;
    }
    const int32_t celsius = chip.Temp(channel);
    return IsShownTemperature(celsius) ? std::optional<double>(celsius) : std::nullopt;
}

std::string TextOf(ChannelKind kind, double value, const std::string& separator)
{
    switch (kind) {
    case ChannelKind::Voltage:
        return GetVoltString(static_cast<float>(value), separator) + " V";
    case ChannelKind::Fan:
        return GetFanString(static_cast<int32_t>(value));
    case ChannelKind::Temperature:
        break;
    }
    return GetFahrString(static_cast<int32_t>(value));
}

} // namespace

void AllSensorsPresenter::Note(const Key& key, const std::string& identity, double value)
{
    const auto [entry, added] = m_extremes.try_emplace(key, Extremes{value, value, identity});
    if (added) {
        return;
    }
    Extremes& extremes = entry->second;
    if (extremes.Identity != identity) {
        extremes = Extremes{value, value, identity};
        return;
    }
    extremes.Minimum = std::min(extremes.Minimum, value);
    extremes.Maximum = std::max(extremes.Maximum, value);
}

const AllSensorsPresenter::Extremes* AllSensorsPresenter::Find(const Key& key, const std::string& identity) const
{
    const auto entry = m_extremes.find(key);
    return entry != m_extremes.end() && entry->second.Identity == identity ? &entry->second : nullptr;
}

void AllSensorsPresenter::Update(const MonitorState& state)
{
    for (int index = 0; index < state.Chips.ChipCount; ++index) {
        const ChipRecord* chip = state.Chips.At(index);
        if (chip == nullptr) {
            continue;
        }
        for (const ChannelKind kind : {ChannelKind::Temperature, ChannelKind::Voltage, ChannelKind::Fan}) {
            const int count = ChannelCount(*chip, kind);
            for (int channel = 1; channel <= count; ++channel) {
                if (const std::optional<double> value = NumberOf(*chip, kind, channel)) {
                    Note({index, static_cast<int>(kind), channel}, chip->Name, *value);
                }
            }
        }
    }
    for (int disk = 0; state.Disks.Listed(disk); ++disk) {
        const auto n = static_cast<size_t>(disk);
        const int32_t celsius = state.Disks.TemperatureOf(disk);
        // A sleeping drive's last value is no new reading.
        if (state.Disks.Current(disk) && IsShownTemperature(celsius)) {
            Note({-1, 0, disk}, state.Disks.Model[n] + "\n" + state.Disks.Serial[n], celsius);
        }
    }
}

std::vector<SensorListRow> AllSensorsPresenter::Rows(const MonitorState& state) const
{
    const std::string separator = state.Platform().facts.DecimalSeparator();
    const SettingsBlock& block = state.Settings;
    std::vector<SensorListRow> rows;
    for (int index = 0; index < state.Chips.ChipCount; ++index) {
        const ChipRecord* chip = state.Chips.At(index);
        if (chip == nullptr) {
            continue;
        }
        for (const ChannelKind kind : {ChannelKind::Temperature, ChannelKind::Voltage, ChannelKind::Fan}) {
            const int count = ChannelCount(*chip, kind);
            for (int channel = 1; channel <= count; ++channel) {
                SensorListRow row;
                row.Chip = index;
                row.Kind = kind;
                row.Channel = channel;
                row.Group = GroupOf(*chip);
                row.Label = chip->Label(kind, channel);
                if (row.Label.empty()) {
                    // Voltages count from 0, as the kernel's inN do; the rest from 1.
                    row.Label = KindPrefix(kind) + std::to_string(kind == ChannelKind::Voltage ? channel - 1 : channel);
                }
                const std::optional<double> value = NumberOf(*chip, kind, channel);
                row.Current = value ? TextOf(kind, *value, separator) : kNoReadingText;
                const Extremes* extremes = Find({index, static_cast<int>(kind), channel}, chip->Name);
                row.Minimum = extremes != nullptr ? TextOf(kind, extremes->Minimum, separator) : kNoReadingText;
                row.Maximum = extremes != nullptr ? TextOf(kind, extremes->Maximum, separator) : kNoReadingText;
                for (int slot = 0; slot < kSlotCount; ++slot) {
                    if (KindOfSlot(slot) != SlotKindOf(kind)) {
                        continue;
                    }
                    row.Slots.push_back(slot);
                    const SensorSlot& s = block.Slots[static_cast<size_t>(slot)];
                    if (row.ShownIn < 0 && s.Enabled == 1 && s.Chip == index && s.Channel == channel) {
                        row.ShownIn = slot;
                    }
                }
                rows.push_back(std::move(row));
            }
        }
    }
    for (int disk = 0; state.Disks.Listed(disk); ++disk) {
        const auto n = static_cast<size_t>(disk);
        SensorListRow row;
        row.IsDisk = true;
        row.Disk = disk;
        row.Group = kDrivesGroup;
        row.Label = "HD" + std::to_string(disk) + " " + state.Disks.Model[n];
        const int32_t celsius = state.Disks.TemperatureOf(disk);
        row.Current = IsShownTemperature(celsius) ? GetFahrString(celsius) : kNoReadingText;
        const Extremes* extremes = Find({-1, 0, disk}, state.Disks.Model[n] + "\n" + state.Disks.Serial[n]);
        row.Minimum = extremes != nullptr ? GetFahrString(static_cast<int32_t>(extremes->Minimum)) : kNoReadingText;
        row.Maximum = extremes != nullptr ? GetFahrString(static_cast<int32_t>(extremes->Maximum)) : kNoReadingText;
        const int slot = kSlotHd0 + disk;
        row.Slots.push_back(slot);
        row.ShownIn = block.Slots[static_cast<size_t>(slot)].Enabled == 1 ? slot : -1;
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace calventa::core
