#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace calventa::core {

// Ceiling of a value from a file or a reading, as a 32-bit integer: NaN gives 0 and values
// beyond the range saturate, so no conversion is ever undefined.
inline int32_t CeilToInt32(double value)
{
    if (std::isnan(value)) {
        return 0;
    }
    const double up = std::ceil(value);
    if (up >= static_cast<double>(std::numeric_limits<int32_t>::max())) {
        return std::numeric_limits<int32_t>::max();
    }
    if (up <= static_cast<double>(std::numeric_limits<int32_t>::min())) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(up);
}

inline int32_t SaturatingAdd(int32_t a, int32_t b)
{
    const int64_t sum = static_cast<int64_t>(a) + b;
    if (sum > std::numeric_limits<int32_t>::max()) {
        return std::numeric_limits<int32_t>::max();
    }
    if (sum < std::numeric_limits<int32_t>::min()) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(sum);
}

} // namespace calventa::core
