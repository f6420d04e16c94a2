// Fan speed control: each enabled channel drives a PWM output of a Winbond chip from a
// temperature, and every output the program drove goes back to full speed on release.
#include "hardware/fan_control.h"

#include <algorithm>
#include <array>

#include "hardware/hardware_engine.h"

namespace calventa::hardware {

namespace {

inline constexpr uint8_t kBankSelect = 0x4E; // PWM registers sit in bank 0
inline constexpr uint8_t kNone = 0;

struct PwmModel
{
    uint16_t code;
    std::array<uint8_t, 4> outputs; // kNone: no such output
};

// The W83697HF has its outputs at 0x01/0x03 like the THF/637HF; 0x5A/0x5B are not fan
// outputs on it.
constexpr PwmModel kPwmModels[] = {
    {core::chip_code::kW83782D, {0x5A, 0x5B, 0x5E, kNone}},   {core::chip_code::kW83627THF, {0x01, 0x03, 0x11, kNone}},
    {core::chip_code::kW83637HF, {0x01, 0x03, 0x11, kNone}},  {core::chip_code::kW83627EHF, {0x01, 0x03, 0x11, 0x61}},
    {core::chip_code::kW83627HF, {0x5A, 0x5B, kNone, kNone}}, {core::chip_code::kW83783S, {0x5A, 0x5B, kNone, kNone}},
    {core::chip_code::kW83697HF, {0x01, 0x03, kNone, kNone}},
};

const PwmModel* FindPwmModel(uint16_t code)
{
    for (const PwmModel& model : kPwmModels) {
        if (model.code == code) {
            return &model;
        }
    }
    return nullptr;
}

} // namespace

int32_t FanDutyFromTemp(int32_t temperature, int32_t nominal)
{
    const int64_t difference = std::clamp<int64_t>(static_cast<int64_t>(temperature) - nominal, -5, 5);
    return static_cast<int32_t>(10 * (difference + 5));
}

uint8_t PwmFromDuty(int32_t duty)
{
    const int32_t clamped = std::clamp(duty, 0, 100);
    return static_cast<uint8_t>((clamped * 255 + 99) / 100);
}

std::optional<uint8_t> PwmRegisterFor(uint16_t chipCode, uint8_t output)
{
    const PwmModel* model = FindPwmModel(chipCode);
    if (model == nullptr || output >= model->outputs.size() || model->outputs[output] == kNone) {
        return std::nullopt;
    }
    return model->outputs[output];
}

bool HasPwmOutputs(uint16_t chipCode)
{
    return FindPwmModel(chipCode) != nullptr;
}

void HardwareEngine::UpdateFanControl()
{
    for (int channel = 1; channel <= core::kFanControlCount; ++channel) {
        FanControlStep(channel);
    }
}

void HardwareEngine::FanControlStep(int channel)
{
    if (!core::FanControlActive(m_state.Settings, channel)) {
        return; // the channel keeps its last duty and its output as last written
    }
    const core::FanControlRecord& record = m_state.Settings.FanControl[static_cast<size_t>(channel - 1)];
    const core::SensorSlot& source = m_state.Settings.Slots[static_cast<size_t>(core::SourceSlot(record.Source))];
    // A source without a current reading (a kernel input that failed) runs the fan at full speed.
    const int32_t duty = m_state.Chips.HasReading(core::ChannelKind::Temperature, source.Chip, source.Channel)
                             ? FanDutyFromTemp(m_state.Chips.Temp(source.Chip, source.Channel), record.Nominal)
                             : 100;
    m_state.FanDuty.Set(channel, duty);
    SetFanPwm(core::kSlotCpuFan + channel - 1, record.PwmRegister, duty);
}

void HardwareEngine::SetFanPwm(int fanSlot, uint8_t output, int32_t duty)
{
    if (fanSlot < core::kSlotCpuFan || fanSlot > core::kSlotAuxFan2) {
        return;
    }
    const uint8_t chip = m_state.Settings.Slots[static_cast<size_t>(fanSlot)].Chip;
    if (WritePwm(chip, output, duty)) {
        m_drivenOutputs.insert({chip, output});
    }
}

// A fan slot naming no chip, or a record the search never filled, is written nowhere.
bool HardwareEngine::WritePwm(uint8_t chip, uint8_t output, int32_t duty)
{
    if (chip >= m_state.Chips.ChipCount) {
        return false;
    }
    const core::ChipRecord& record = m_state.Chips.Records[chip];
    if (record.IsKernelDevice()) {
        return WriteKernelPwm(chip, output, duty);
    }
    if (!HasPwmOutputs(record.ChipCode)) {
        return false;
    }
    BusLock lock(*this, record.Bus);
    if (!lock.Owned()) {
        return false;
    }
    SelectChipBus(record.Bus, record.Address);
    WriteChipRegister(kBankSelect, 0);
    const std::optional<uint8_t> reg = PwmRegisterFor(record.ChipCode, output);
    if (!reg) {
        return false;
    }
    WriteChipRegister(*reg, PwmFromDuty(duty));
    return true;
}

// Every output ever driven goes back to full speed on the chip it was driven on.
void HardwareEngine::ReleaseFanControl()
{
    for (const auto& [chip, output] : m_drivenOutputs) {
        const core::ChipRecord* record = m_state.Chips.At(chip);
        if (record == nullptr || !record->IsKernelDevice()) {
            WritePwm(chip, output, 100);
        }
    }
    ReleaseKernelFanControl();
}

} // namespace calventa::hardware
