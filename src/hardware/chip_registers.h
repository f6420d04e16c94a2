#pragma once

#include <cstdint>

namespace calventa::hardware {

// Register access to the chip being read: the ISA index/data pair or SMBus read/write
// byte data, chosen by the chip's bus. Reads give 0..255 or -1 after a failed SMBus read.
class ChipRegisters
{
public:
    virtual ~ChipRegisters() = default;
    virtual int32_t ReadChipRegister(uint8_t reg) = 0;
    virtual void WriteChipRegister(uint8_t reg, uint8_t value) = 0;
};

} // namespace calventa::hardware
