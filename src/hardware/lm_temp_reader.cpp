// LM90 and LM75 temperature sensors, and the dispatch of every family reader.
#include <cmath>

#include "hardware/chip_conversions.h"
#include "hardware/chip_readers.h"

namespace calventa::hardware {

namespace {
inline constexpr uint8_t kLocalTemp = 0x00;  // LM90 local, LM75 temperature
inline constexpr uint8_t kRemoteTemp = 0x01; // LM90 remote
} // namespace

void ReadLm90Lm75(ChipRegisters& regs, uint16_t code, core::ChipRecord& record)
{
    if (code == core::chip_code::kLm90) {
        record.SetTemp(1, RegisterToTemp(regs.ReadChipRegister(kLocalTemp)));
        record.SetTemp(2, RegisterToTemp(regs.ReadChipRegister(kRemoteTemp)));
        return;
    }
    // The LM75 byte is put on the board's scale: 30/43 of a degree per step above 25 °C.
    const int32_t t = RegisterToTemp(regs.ReadChipRegister(kLocalTemp));
    record.SetTemp(1, static_cast<int32_t>(std::ceil(30.0 * t / 43.0 + 25.0)));
}

bool ReadByChipCode(ChipRegisters& regs, uint16_t code, core::ChipRecord& record)
{
    namespace cc = core::chip_code;
    if (code < cc::kWinbondUnknown) {
        ReadWinbond(regs, code, record);
    } else if (code == cc::kWinbondUnknown) {
        ReadWinbondUnknown(regs, record);
    } else if (code == cc::kLm90 || code == cc::kLm75) {
        ReadLm90Lm75(regs, code, record);
    } else if (code == cc::kIte8712F || code == cc::kIte8705) {
        ReadIte(regs, record);
    } else if (code == cc::kAs99127FRev1 || code == cc::kAsb100 || code == cc::kAs99127FRev2) {
        ReadAsus(regs, code, record);
    } else if (code == cc::kLm87) {
        ReadLm87(regs, record);
    } else {
        return false;
    }
    return true;
}

} // namespace calventa::hardware
