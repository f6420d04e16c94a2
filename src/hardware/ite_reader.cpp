// ITE IT8712F and IT8705F environment controller.
#include "hardware/chip_conversions.h"
#include "hardware/chip_readers.h"

namespace calventa::hardware {

namespace {
inline constexpr uint8_t kFanDivisor = 0x0B; // bits 2..0 fan 1, 5..3 fan 2, bit 6 fan 3 (8 or 2)
inline constexpr uint8_t kFan1Count = 0x0D;  // fans 2, 3 follow
inline constexpr uint8_t kVoltage1 = 0x28;
inline constexpr uint8_t kTemp1 = 0x29; // temperatures 2, 3 follow
} // namespace

void ReadIte(ChipRegisters& regs, core::ChipRecord& record)
{
    record.SetVolt(1, static_cast<float>(VoltageInput(regs.ReadChipRegister(kVoltage1)) * 0.016L));
    for (int t = 1; t <= 3; ++t) {
        record.SetTemp(t, RegisterToTemp(regs.ReadChipRegister(static_cast<uint8_t>(kTemp1 + t - 1))));
    }
    const uint32_t d1 = 1u << BitField(regs.ReadChipRegister(kFanDivisor), 0, 3);
    const uint32_t d2 = 1u << BitField(regs.ReadChipRegister(kFanDivisor), 3, 3);
    const uint32_t d3 = BitField(regs.ReadChipRegister(kFanDivisor), 6, 1) ? 8u : 2u;
    record.SetFan(1, FanCountToRpm(regs.ReadChipRegister(kFan1Count), d1));
    record.SetFan(2, FanCountToRpm(regs.ReadChipRegister(kFan1Count + 1), d2));
    record.SetFan(3, FanCountToRpm(regs.ReadChipRegister(kFan1Count + 2), d3));
}

} // namespace calventa::hardware
