// Winbond hardware monitors: W83781D, W83782D, W83783S, W83627HF, W83627THF, W83627EHF,
// W83637HF, W83697HF, the AS99127F rev2 when found through the Winbond path on ISA, and
// a Winbond chip of unknown model.
#include <algorithm>
#include <initializer_list>

#include "hardware/chip_conversions.h"
#include "hardware/chip_readers.h"

namespace calventa::hardware {

namespace {

namespace wb {
inline constexpr uint8_t kBankSelect = 0x4E;      // bits 0..2 bank the registers 0x50..0x5F
inline constexpr uint8_t kConfig = 0x5D;          // bit 0 enables the voltage inputs; bits 5..7 divisor bit 2
inline constexpr uint8_t kTemp1 = 0x27;           // read with bank 5 selected
inline constexpr uint8_t kBankedTemp = 0x50;      // banks 1 and 2: temperatures 2 and 3
inline constexpr uint8_t kFan1Count = 0x28;       // fans 2, 3 follow
inline constexpr uint8_t kFan4Count = 0x3F;       // W83627EHF; 0x3E is that fan's low limit
inline constexpr uint8_t kFan5Count = 0x53;       // W83627EHF, bank 5
inline constexpr uint8_t kFanDivisor12 = 0x47;    // bits 5..4 fan 1, bits 7..6 fan 2
inline constexpr uint8_t kFanDivisor3 = 0x4B;     // bits 7..6 fan 3
inline constexpr uint8_t kFanDivisor4Bit2 = 0x4C; // W83627EHF: bit 7
inline constexpr uint8_t kFanDivisor45 = 0x59;    // W83627EHF: bits 1..0 fan 4, 3..2 fan 5, bit 7 fan 5 bit 2
} // namespace wb

using Formula = long double (*)(long double);

// Input scalings: LSB 16 mV (8 mV on the W83627EHF) through the board's resistor dividers.
long double V1(long double x)
{
    return x * 0.016L;
}
long double V2(long double x)
{
    return x * 0.008L;
}
long double V3(long double x)
{
    return x * 0.008L / 0.5L;
}
long double V4(long double x)
{
    return x * 0.016L / 0.2631L;
}
long double V5(long double x)
{
    return x * 0.016L / 0.6L;
}
long double V6(long double x)
{
    return x * 0.016L / 0.5952L;
}
long double V7(long double x)
{
    return x * 0.008L / 0.1515L;
}
long double V8(long double x)
{
    return -(x * 0.016L / 0.2876L);
}
long double V9(long double x)
{
    return (x * 0.016L - 2.8998L) / 0.1945L;
}
long double V10(long double x)
{
    return -(x * 0.016L / 0.6644L);
}
long double V11(long double x)
{
    return (x * 0.016L - 2.45448L) / 0.3182L;
}
long double V12(long double x)
{
    return x * 0.016L / 0.66L;
}

bool Among(uint16_t id, std::initializer_list<uint16_t> ids)
{
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

uint32_t Pow2(uint32_t exponent)
{
    return 1u << (exponent & 7u);
}

void SelectBank(ChipRegisters& regs, uint8_t bank)
{
    regs.WriteChipRegister(wb::kBankSelect, bank);
}

void ReadVoltages(ChipRegisters& regs, uint16_t id, core::ChipRecord& record)
{
    int channel = 1;
    auto volt = [&](uint8_t reg, Formula formula) {
        const int32_t raw = regs.ReadChipRegister(reg);
        record.SetVolt(channel++, static_cast<float>(formula(VoltageInput(raw))));
    };
    const bool ehf = id == core::chip_code::kW83627EHF;

    volt(0x20, ehf ? V2 : V1);
    if (Among(id, {0x10, 0x21, 0x30})) {
        volt(0x21, V1);
    }
    volt(ehf ? 0x23 : 0x22, ehf ? V3 : V1);
    if (id == 0x10) {
        volt(0x23, V6); // the +5V divider the other models use on this input
    }
    if (id == 0x80) {
        volt(0x23, V5);
    }
    if (Among(id, {0x21, 0x30, 0x40, 0x60})) {
        volt(0x23, V6);
    }
    if (ehf) {
        volt(0x21, V7);
    }
    if (id == 0x80) {
        volt(0x21, V4);
    }
    if (Among(id, {0x10, 0x21, 0x30, 0x40, 0x60})) {
        volt(0x24, V4);
    }
    if (id == 0x10) {
        volt(0x25, V8);
    }
    if (id == 0x80) {
        volt(0x24, V9);
    }
    if (Among(id, {0x21, 0x30, 0x40, 0x60})) {
        volt(0x25, V9);
    }
    if (id == 0x10) {
        volt(0x26, V10);
    }
    if (Among(id, {0x21, 0x30, 0x40, 0x60})) {
        volt(0x26, V11);
    }
    SelectBank(regs, 5);
    if (id == 0x30) {
        volt(0x50, V6);
    }
    if (Among(id, {0x80, 0x90})) {
        volt(0x50, V5);
    }
    if (ehf) {
        volt(0x50, V3);
    }
    if (Among(id, {0x21, 0x60})) {
        volt(0x50, V12);
    }
    if (ehf) {
        volt(0x51, V3);
    }
    if (Among(id, {0x21, 0x30, 0x60, 0x80, 0x90})) {
        volt(0x51, V1);
    }
    record.SetVolt(channel, 0.0f);
}

void ReadTemperatures(ChipRegisters& regs, uint16_t id, core::ChipRecord& record)
{
    record.SetTemp(1, RegisterToTemp(regs.ReadChipRegister(wb::kTemp1))); // bank 5 still selected
    SelectBank(regs, 1);
    record.SetTemp(2, RegisterToTemp(regs.ReadChipRegister(wb::kBankedTemp)));
    int next = 3;
    if (Among(id, {0x10, 0x21, 0x30, 0x80, 0x90, 0xA1})) {
        SelectBank(regs, 2);
        record.SetTemp(3, RegisterToTemp(regs.ReadChipRegister(wb::kBankedTemp)));
        next = 4;
    }
    record.SetTemp(next, 0);
    SelectBank(regs, 0);
}

// Divisor exponent: a two-bit field plus, on the later models, a third bit elsewhere.
uint32_t Exponent(ChipRegisters& regs, uint8_t lowReg, unsigned lowBit, uint8_t highReg, unsigned highBit)
{
    const uint32_t low = BitField(regs.ReadChipRegister(lowReg), lowBit, 2);
    const uint32_t high = BitField(regs.ReadChipRegister(highReg), highBit, 1);
    return low | high << 2;
}

void ReadFans(ChipRegisters& regs, uint16_t id, core::ChipRecord& record)
{
    uint32_t e[6] = {0, 2, 2, 2, 2, 2}; // e[1..5]
    if (id == 0x10) {
        e[1] = BitField(regs.ReadChipRegister(wb::kFanDivisor12), 4, 2);
        e[2] = BitField(regs.ReadChipRegister(wb::kFanDivisor12), 6, 2);
        e[3] = BitField(regs.ReadChipRegister(wb::kFanDivisor3), 6, 2);
    } else if (Among(id, {0x60, 0x21, 0x30, 0x40, 0x80, 0x90, 0xA1})) {
        e[1] = Exponent(regs, wb::kFanDivisor12, 4, wb::kConfig, 5);
        e[2] = Exponent(regs, wb::kFanDivisor12, 6, wb::kConfig, 6);
        if (id != 0x60) {
            e[3] = Exponent(regs, wb::kFanDivisor3, 6, wb::kConfig, 7);
        }
        if (id == 0xA1) {
            e[4] = Exponent(regs, wb::kFanDivisor45, 0, wb::kFanDivisor4Bit2, 7);
            e[5] = Exponent(regs, wb::kFanDivisor45, 2, wb::kFanDivisor45, 7);
        }
    }
    for (int fan = 1; fan <= 3; ++fan) {
        const int32_t count = regs.ReadChipRegister(static_cast<uint8_t>(wb::kFan1Count + fan - 1));
        record.SetFan(fan, FanCountToRpm(count, Pow2(e[fan])));
    }
    if (id == 0xA1) {
        record.SetFan(4, FanCountToRpm(regs.ReadChipRegister(wb::kFan4Count), Pow2(e[4])));
        SelectBank(regs, 5); // left selected: every read starts by selecting bank 0
        record.SetFan(5, FanCountToRpm(regs.ReadChipRegister(wb::kFan5Count), Pow2(e[5])));
    }
}

} // namespace

void ReadWinbond(ChipRegisters& regs, uint16_t id, core::ChipRecord& record)
{
    SelectBank(regs, 0);
    const int32_t config = regs.ReadChipRegister(wb::kConfig);
    regs.WriteChipRegister(wb::kConfig, static_cast<uint8_t>(config | 0x01));
    ReadVoltages(regs, id, record);
    ReadTemperatures(regs, id, record);
    ReadFans(regs, id, record);
}

void ReadWinbondUnknown(ChipRegisters& regs, core::ChipRecord& record)
{
    record.SetTemp(1, RegisterToTemp(regs.ReadChipRegister(wb::kTemp1)));
    SelectBank(regs, 1);
    record.SetTemp(2, RegisterToTemp(regs.ReadChipRegister(wb::kBankedTemp)));
    SelectBank(regs, 0);
    const uint32_t e1 = Exponent(regs, wb::kFanDivisor12, 4, wb::kConfig, 5);
    const uint32_t e2 = Exponent(regs, wb::kFanDivisor12, 6, wb::kConfig, 6);
    record.SetFan(1, FanCountToRpm(regs.ReadChipRegister(wb::kFan1Count), Pow2(e1)));
    record.SetFan(2, FanCountToRpm(regs.ReadChipRegister(wb::kFan1Count + 1), Pow2(e2)));
}

} // namespace calventa::hardware
