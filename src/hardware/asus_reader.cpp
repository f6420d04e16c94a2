// Asus AS99127F (rev1, and rev2 as found on the SMBus) and ASB100.
#include "core/chip_table.h"
#include "hardware/chip_conversions.h"
#include "hardware/chip_readers.h"

namespace calventa::hardware {

namespace {
inline constexpr uint8_t kVoltage1 = 0x20; // voltages 1..7 at 0x20..0x26
inline constexpr uint8_t kTemp = 0x27;
inline constexpr uint8_t kFan1Count = 0x28;    // fans 2, 3 follow
inline constexpr uint8_t kFanDivisor12 = 0x47; // bits 5..4 fan 1, bits 7..6 fan 2
inline constexpr uint8_t kFanDivisor3 = 0x4B;  // bits 7..6 fan 3
} // namespace

void ReadAsus(ChipRegisters& regs, uint16_t code, core::ChipRecord& record)
{
    auto input = [&](int n) { return VoltageInput(regs.ReadChipRegister(static_cast<uint8_t>(kVoltage1 + n - 1))); };
    auto store = [&](int channel, long double volts) { record.SetVolt(channel, static_cast<float>(volts)); };

    store(1, input(1) * 0.016L);
    store(2, input(2) * 0.016L);
    store(3, input(3) * 0.016L);
    store(4, input(4) * 0.016L * 1.68L);
    store(5, input(5) * 0.016L * 3.8L);
    const long double x6 = input(6);
    const long double x7 = input(7);
    if (code == core::chip_code::kAs99127FRev2) {
        store(6, (x6 * 0.016L - 3.6L) * 5.14L + 3.6L);
        store(7, (x7 * 0.016L - 3.6L) * 3.14L + 3.6L);
    } else {
        store(6, -(x6 * 0.016L * 3.97L));
        store(7, -(x7 * 0.016L * (code == core::chip_code::kAsb100 ? 1.66L : 1.503L)));
    }
    record.SetTemp(1, RegisterToTemp(regs.ReadChipRegister(kTemp)));

    const uint32_t d1 = TwoBitDivisor(regs.ReadChipRegister(kFanDivisor12), 4);
    const uint32_t d2 = TwoBitDivisor(regs.ReadChipRegister(kFanDivisor12), 6);
    const uint32_t d3 = TwoBitDivisor(regs.ReadChipRegister(kFanDivisor3), 6);
    record.SetFan(1, FanCountToRpm(regs.ReadChipRegister(kFan1Count), d1));
    record.SetFan(2, FanCountToRpm(regs.ReadChipRegister(kFan1Count + 1), d2));
    record.SetFan(3, FanCountToRpm(regs.ReadChipRegister(kFan1Count + 2), d3));
}

} // namespace calventa::hardware
