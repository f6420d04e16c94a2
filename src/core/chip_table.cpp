#include "core/chip_table.h"

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

void ChipRecord::SetTemp(int channel, int32_t value)
{
    if (InRange(Temps, channel)) {
        Temps[channel - 1] = value;
        TempFilled[channel - 1] = true;
    }
}

void ChipRecord::SetVolt(int channel, float value)
{
    if (InRange(Volts, channel)) {
        Volts[channel - 1] = value;
        VoltFilled[channel - 1] = true;
    }
}

void ChipRecord::SetFan(int channel, int32_t value)
{
    if (InRange(Fans, channel)) {
        Fans[channel - 1] = value;
        FanFilled[channel - 1] = true;
    }
}

void ChipRecord::ClearFilled()
{
    TempFilled.fill(false);
    VoltFilled.fill(false);
    FanFilled.fill(false);
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
