#include "core/chip_table.h"

#include <algorithm>

namespace calventa::core {

namespace {

template <typename Array> bool InRange(const Array& values, int channel)
{
    return channel >= 1 && channel <= static_cast<int>(values.size());
}

} // namespace

int32_t ChipRecord::Temp(int channel) const
{
    return InRange(Temps, channel) ? Temps[channel - 1] : 0;
}
float ChipRecord::Volt(int channel) const
{
    return InRange(Volts, channel) ? Volts[channel - 1] : 0.0f;
}
int32_t ChipRecord::Fan(int channel) const
{
    return InRange(Fans, channel) ? Fans[channel - 1] : 0;
}

bool ChipRecord::HasReading(ChannelKind kind, int channel) const
{
    const std::vector<bool>& missing =
        kind == ChannelKind::Temperature ? TempMissing : (kind == ChannelKind::Voltage ? VoltMissing : FanMissing);
    return !InRange(missing, channel) || !missing[static_cast<size_t>(channel - 1)];
}

std::string ChipRecord::Label(ChannelKind kind, int channel) const
{
    const std::vector<std::string>& labels =
        kind == ChannelKind::Temperature ? TempLabels : (kind == ChannelKind::Voltage ? VoltLabels : FanLabels);
    return InRange(labels, channel) ? labels[static_cast<size_t>(channel - 1)] : std::string();
}

void ChipRecord::UseKernelCapacity()
{
    Temps.assign(kKernelTempChannels, 0);
    Volts.assign(kKernelVoltChannels, 0.0f);
    Fans.assign(kKernelFanChannels, 0);
    TempFilled.assign(kKernelTempChannels, false);
    VoltFilled.assign(kKernelVoltChannels, false);
    FanFilled.assign(kKernelFanChannels, false);
    TempMissing.assign(kKernelTempChannels, false);
    VoltMissing.assign(kKernelVoltChannels, false);
    FanMissing.assign(kKernelFanChannels, false);
}

void ChipRecord::SetTemp(int channel, int32_t value)
{
    if (InRange(Temps, channel)) {
        Temps[channel - 1] = value;
        TempFilled[channel - 1] = true;
        TempMissing[channel - 1] = false;
    }
}

void ChipRecord::SetVolt(int channel, float value)
{
    if (InRange(Volts, channel)) {
        Volts[channel - 1] = value;
        VoltFilled[channel - 1] = true;
        VoltMissing[channel - 1] = false;
    }
}

void ChipRecord::SetFan(int channel, int32_t value)
{
    if (InRange(Fans, channel)) {
        Fans[channel - 1] = value;
        FanFilled[channel - 1] = true;
        FanMissing[channel - 1] = false;
    }
}

void ChipRecord::SetMissing(ChannelKind kind, int channel)
{
    std::vector<bool>& missing =
        kind == ChannelKind::Temperature ? TempMissing : (kind == ChannelKind::Voltage ? VoltMissing : FanMissing);
    if (InRange(missing, channel)) {
        missing[static_cast<size_t>(channel - 1)] = true;
    }
}

void ChipRecord::ClearFilled()
{
    std::fill(TempFilled.begin(), TempFilled.end(), false);
    std::fill(VoltFilled.begin(), VoltFilled.end(), false);
    std::fill(FanFilled.begin(), FanFilled.end(), false);
}

void ChipRecord::SetName(const std::string& name)
{
    Name = name.substr(0, kChipNameMax);
}

const ChipRecord* ChipTable::At(int index) const
{
    return index >= 0 && index < kChipCapacity ? &Records[static_cast<size_t>(index)] : nullptr;
}

ChipRecord* ChipTable::At(int index)
{
    return index >= 0 && index < kChipCapacity ? &Records[static_cast<size_t>(index)] : nullptr;
}

int32_t ChipTable::Temp(int chip, int channel) const
{
    const ChipRecord* record = At(chip);
    return record ? record->Temp(channel) : 0;
}

float ChipTable::Volt(int chip, int channel) const
{
    const ChipRecord* record = At(chip);
    return record ? record->Volt(channel) : 0.0f;
}

int32_t ChipTable::Fan(int chip, int channel) const
{
    const ChipRecord* record = At(chip);
    return record ? record->Fan(channel) : 0;
}

bool ChipTable::HasReading(ChannelKind kind, int chip, int channel) const
{
    const ChipRecord* record = At(chip);
    return record == nullptr || record->HasReading(kind, channel);
}

int32_t FanDutyTable::Get(int channel) const
{
    return channel >= 1 && channel <= 8 ? m_duty[static_cast<size_t>(channel - 1)] : 0;
}

void FanDutyTable::Set(int channel, int32_t duty)
{
    if (channel >= 1 && channel <= 8) {
        m_duty[static_cast<size_t>(channel - 1)] = duty;
    }
}

void FanDutyTable::SetAll(int32_t duty)
{
    m_duty.fill(duty);
}

} // namespace calventa::core
