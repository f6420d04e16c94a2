#include "hardware/chip_conversions.h"

#include <cmath>

namespace calventa::hardware {

int32_t RegisterToTemp(int32_t raw)
{
    return static_cast<int8_t>(static_cast<uint8_t>(raw & 0xFF));
}

int32_t FanCountToRpm(int32_t raw, uint32_t divisor)
{
    const uint32_t count = static_cast<uint16_t>(raw);
    if (count == 0 || count == 255 || divisor == 0) {
        return 0;
    }
    const float rpm = static_cast<float>(1350000.0 / (static_cast<double>(count) * divisor));
    return static_cast<int32_t>(std::ceil(rpm));
}

} // namespace calventa::hardware
