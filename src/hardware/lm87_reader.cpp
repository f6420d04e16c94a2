// National LM87 on the SMBus.
#include "hardware/chip_conversions.h"
#include "hardware/chip_readers.h"

namespace calventa::hardware {

namespace {
inline constexpr uint8_t kVoltage2_5 = 0x20; // 13 mV steps
inline constexpr uint8_t kVoltage5 = 0x23;   // 26 mV steps
inline constexpr uint8_t kVoltage12 = 0x24;  // 62.5 mV steps
inline constexpr uint8_t kTempRemote = 0x26;
inline constexpr uint8_t kTempLocal = 0x27;
inline constexpr uint8_t kFan1Count = 0x28;  // fan 2 follows
inline constexpr uint8_t kFanDivisor = 0x47; // bits 5..4 fan 1, bits 7..6 fan 2
} // namespace

void ReadLm87(ChipRegisters& regs, core::ChipRecord& record)
{
    record.SetVolt(1, static_cast<float>(VoltageInput(regs.ReadChipRegister(kVoltage2_5)) * 0.013L));
    record.SetVolt(2, static_cast<float>(VoltageInput(regs.ReadChipRegister(kVoltage5)) * 0.026L));
    record.SetVolt(3, static_cast<float>(VoltageInput(regs.ReadChipRegister(kVoltage12)) * 0.0625L));
    record.SetTemp(1, RegisterToTemp(regs.ReadChipRegister(kTempRemote)));
    record.SetTemp(2, RegisterToTemp(regs.ReadChipRegister(kTempLocal)));
    const uint32_t d1 = TwoBitDivisor(regs.ReadChipRegister(kFanDivisor), 4);
    const uint32_t d2 = TwoBitDivisor(regs.ReadChipRegister(kFanDivisor), 6);
    record.SetFan(1, FanCountToRpm(regs.ReadChipRegister(kFan1Count), d1));
    record.SetFan(2, FanCountToRpm(regs.ReadChipRegister(kFan1Count + 1), d2));
}

} // namespace calventa::hardware
