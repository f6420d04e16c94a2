#include "core/value_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>
#include <system_error>

namespace calventa::core {

namespace {

constexpr std::string_view kDegree = "\xC2\xB0"; // U+00B0 in UTF-8

template <typename Integer> std::string DecimalText(Integer value)
{
    std::array<char, 24> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

std::string ZeroVolts(const std::string& separator)
{
    return "0" + separator + "00";
}

} // namespace

int64_t FahrenheitOfWide(int32_t celsius)
{
    // 9c/5 + 32 = (9c + 160) / 5, kept in 64 bits; division truncates towards zero, which is
    // already the ceiling for negative quotients.
    const int64_t numerator = int64_t{celsius} * 9 + 160;
    int64_t quotient = numerator / 5;
    if (numerator % 5 > 0) {
        ++quotient;
    }
    return quotient;
}

int32_t FahrenheitOf(int32_t celsius)
{
    return static_cast<int32_t>(std::clamp<int64_t>(FahrenheitOfWide(celsius), std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

bool IsShownTemperature(int32_t celsius)
{
    return celsius >= kLowestShownCelsius && celsius <= kHighestShownCelsius;
}

std::string GetFahrString(int32_t celsius)
{
    if (!IsShownTemperature(celsius)) {
        return kTemperatureOutOfRange;
    }
    std::string text = DecimalText(celsius);
    text += ' ';
    text += kDegree;
    text += "C / ";
    text += DecimalText(FahrenheitOfWide(celsius));
    text += ' ';
    text += kDegree;
    text += 'F';
    return text;
}

std::string GetVoltString(float volts, const std::string& decimalSeparator)
{
    const double value = volts;
    if (!std::isfinite(value)) {
        return ZeroVolts(decimalSeparator);
    }

    // The exact decimal expansion of the float (at most 105 significant digits), so that the
    // rounding to three digits sees every digit and never rounds twice.
    std::array<char, 160> buffer{};
    const auto expansion = std::to_chars(buffer.data(), buffer.data() + buffer.size(), std::fabs(value),
                                         std::chars_format::scientific, 120);
    if (expansion.ec != std::errc{}) {
        return ZeroVolts(decimalSeparator);
    }
    const std::string_view digits(buffer.data(), static_cast<size_t>(expansion.ptr - buffer.data()));
    // "d.ddd…e±XX"
    const size_t exponentAt = digits.find('e');
    if (exponentAt == std::string_view::npos || exponentAt < 5 || digits[0] == '0') {
        return ZeroVolts(decimalSeparator);
    }
    int exponent = 0;
    std::from_chars(digits.data() + exponentAt + (digits[exponentAt + 1] == '+' ? 2 : 1), digits.data() + digits.size(),
                    exponent);

    int mantissa = (digits[0] - '0') * 100 + (digits[2] - '0') * 10 + (digits[3] - '0'); // value = m·10^(e−2)
    if (digits[4] >= '5') {
        ++mantissa;
        if (mantissa == 1000) {
            mantissa = 100;
            ++exponent;
        }
    }

    std::string whole;
    std::string fraction;
    if (exponent >= 0) {
        // Hundredths = m·10^e: the digits of m followed by e zeros.
        const std::string hundredths = DecimalText(mantissa) + std::string(static_cast<size_t>(exponent), '0');
        whole = hundredths.substr(0, hundredths.size() - 2);
        fraction = hundredths.substr(hundredths.size() - 2);
    } else {
        // Below 1: the three digits reach past the second decimal; round them to it.
        int hundredths = 0;
        if (exponent >= -3) {
            int divisor = 1;
            for (int i = 0; i < -exponent; ++i) {
                divisor *= 10;
            }
            hundredths = (mantissa + divisor / 2) / divisor;
        }
        whole = DecimalText(hundredths / 100);
        fraction = DecimalText(hundredths % 100);
        if (fraction.size() < 2) {
            fraction.insert(0, 1, '0');
        }
    }

    const bool isZero = whole == "0" && fraction == "00";
    std::string text = (value < 0.0 && !isZero) ? "-" : "";
    text += whole;
    text += decimalSeparator;
    text += fraction;
    return text;
}

std::string GetFanString(int32_t rpm)
{
    return DecimalText(rpm) + " RPM";
}

} // namespace calventa::core
