#pragma once

#include <cstdint>
#include <optional>

namespace calventa::hardware {

// Duty in percent from the source temperature: 50 % at the nominal temperature, 10 % more
// or less per degree, 0 % at 5 degrees below and 100 % at 5 degrees above.
int32_t FanDutyFromTemp(int32_t temperature, int32_t nominal);
// The PWM byte of a duty: ceiling of duty × 255 / 100.
uint8_t PwmFromDuty(int32_t duty);
// The register of PWM output `output` (0-based) on a chip model; none when the model has
// no such output.
std::optional<uint8_t> PwmRegisterFor(uint16_t chipCode, uint8_t output);
// Whether the model has any PWM output at all.
bool HasPwmOutputs(uint16_t chipCode);

} // namespace calventa::hardware
