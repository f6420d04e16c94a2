#pragma once

#include <cstdint>
#include <string>

namespace calventa::core {

// Ceiling of celsius × 9 / 5 + 32. Beyond about ±1.19e9 °C the result leaves int32 and is
// saturated; FahrenheitOfWide gives the exact value for every argument.
int32_t FahrenheitOf(int32_t celsius);
int64_t FahrenheitOfWide(int32_t celsius);
// The temperatures worth writing as numbers. Nothing is colder than absolute zero (-273.15 °C);
// the chips' registers end at 127 or 255 °C and the disks' byte at 255 °C, so a value beyond
// 1000 °C comes from a runaway correction or a saturated sum (2147483647), not from a sensor.
inline constexpr int32_t kLowestShownCelsius = -273;
inline constexpr int32_t kHighestShownCelsius = 1000;
inline constexpr const char* kTemperatureOutOfRange = "out of range";
bool IsShownTemperature(int32_t celsius);
// "45 °C / 113 °F"; kTemperatureOutOfRange outside kLowestShownCelsius..kHighestShownCelsius.
std::string GetFahrString(int32_t celsius);
// Three significant digits, written with two decimals: 12.16 → "12.20"; the separator is the locale's.
// Ties round away from zero; a result of zero never carries a minus sign; NaN and infinities,
// which no sensor formula yields, read as zero.
std::string GetVoltString(float volts, const std::string& decimalSeparator = ".");
// "4412 RPM"
std::string GetFanString(int32_t rpm);

// Shown instead of a value when a kernel input's last read failed.
inline constexpr const char* kNoReadingText = "n/a";

} // namespace calventa::core
