#pragma once

#include <cstdint>

namespace calventa::hardware {

// Register results are 0..255, or -1 after a failed SMBus read; the conversions take
// both and never fail.

// Low byte as a two's-complement degree: 0xFF → -1, 0x80 → -128.
int32_t RegisterToTemp(int32_t raw);
// Ceiling of 1350000 / (count × divisor) in single precision; counts 0 and 255 (no
// tachometer pulse, or a stopped fan) read 0. The count is the raw result as 16 bits.
int32_t FanCountToRpm(int32_t raw, uint32_t divisor);
// The raw result as an unsigned 16-bit number, the x of every voltage formula.
inline long double VoltageInput(int32_t raw)
{
    return static_cast<long double>(static_cast<uint16_t>(raw));
}
// Bits [low, low + width) of the raw result; -1 reads as all ones.
inline uint32_t BitField(int32_t raw, unsigned low, unsigned width)
{
    return (static_cast<uint32_t>(raw) >> low) & ((1u << width) - 1u);
}
// Two-bit divisor field of the Asus chips and the LM87: 0..3 → 1, 2, 4, 8.
inline uint32_t TwoBitDivisor(int32_t raw, unsigned low)
{
    return 1u << BitField(raw, low, 2);
}

} // namespace calventa::hardware
