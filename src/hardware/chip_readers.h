#pragma once

#include <cstdint>

#include "core/chip_table.h"
#include "hardware/chip_registers.h"

namespace calventa::hardware {

// Family readers: each reads one chip through `regs` and stores its channels into `record`.
void ReadWinbond(ChipRegisters& regs, uint16_t id, core::ChipRecord& record);
void ReadWinbondUnknown(ChipRegisters& regs, core::ChipRecord& record);
void ReadAsus(ChipRegisters& regs, uint16_t code, core::ChipRecord& record);
void ReadIte(ChipRegisters& regs, core::ChipRecord& record);
void ReadLm87(ChipRegisters& regs, core::ChipRecord& record);
void ReadLm90Lm75(ChipRegisters& regs, uint16_t code, core::ChipRecord& record);

// The reader for a chip code, as ReadChip dispatches it; false when the code has none.
bool ReadByChipCode(ChipRegisters& regs, uint16_t code, core::ChipRecord& record);

} // namespace calventa::hardware
