#pragma once

#include <cstdint>
#include <string>

namespace calventa::core {

// Ceiling of celsius × 9 / 5 + 32.
int32_t FahrenheitOf(int32_t celsius);
// "45 °C / 113 °F"
std::string GetFahrString(int32_t celsius);
// Three significant digits, written with two decimals: 12.16 → "12.20"; the separator is the locale's.
std::string GetVoltString(float volts, const std::string& decimalSeparator = ".");
// "4412 RPM"
std::string GetFanString(int32_t rpm);

} // namespace calventa::core
