#include "core/value_text.h"

#include <gtest/gtest.h>

#include "case_name.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

namespace calventa::core {
namespace {

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

// ---- Fahrenheit ------------------------------------------------------------------------------

struct FahrenheitCase
{
    int32_t Celsius;
    int64_t Fahrenheit;
};

class FahrenheitTest : public ::testing::TestWithParam<FahrenheitCase>
{
};

TEST_P(FahrenheitTest, RoundsUpNeverToNearest)
{
    EXPECT_EQ(FahrenheitOfWide(GetParam().Celsius), GetParam().Fahrenheit);
    if (GetParam().Fahrenheit >= kMin && GetParam().Fahrenheit <= kMax) {
        EXPECT_EQ(FahrenheitOf(GetParam().Celsius), GetParam().Fahrenheit);
    }
}

INSTANTIATE_TEST_SUITE_P(Values, FahrenheitTest,
                         ::testing::Values(FahrenheitCase{-41, -41}, FahrenheitCase{-40, -40}, FahrenheitCase{-6, 22},
                                           FahrenheitCase{-5, 23}, FahrenheitCase{0, 32}, FahrenheitCase{21, 70},
                                           FahrenheitCase{23, 74}, FahrenheitCase{25, 77}, FahrenheitCase{37, 99},
                                           FahrenheitCase{100, 212}, FahrenheitCase{-18, 0}, FahrenheitCase{-19, -2},
                                           FahrenheitCase{kMax, 3865470597LL}, FahrenheitCase{kMin, -3865470534LL}),
                         [](const ::testing::TestParamInfo<FahrenheitCase>& info) {
                             const auto& c = info.param;
                             (void)c;
                             return calventa::testnames::NumberName(c.Celsius) + "C_is_" +
                                    calventa::testnames::NumberName(c.Fahrenheit) + "F";
                         });

TEST(Fahrenheit, SaturatesWhereInt32EndsAndAgreesWithDoubleEverywhere)
{
    EXPECT_EQ(FahrenheitOf(kMax), kMax);
    EXPECT_EQ(FahrenheitOf(kMin), kMin);
    // Largest argument whose result still fits: ceil(9c/5 + 32) <= INT32_MAX.
    EXPECT_EQ(FahrenheitOf(1193046452), 2147483646);

    std::mt19937 random(11);
    for (int i = 0; i < 20000; ++i) {
        const int32_t celsius = i < 10000 ? i - 5000 : static_cast<int32_t>(random());
        const double exact = std::ceil(celsius * 9.0 / 5.0 + 32.0);
        ASSERT_EQ(static_cast<double>(FahrenheitOfWide(celsius)), exact) << celsius;
    }
}

struct FahrStringCase
{
    int32_t Celsius;
    const char* Text;
};

class FahrStringTest : public ::testing::TestWithParam<FahrStringCase>
{
};

TEST_P(FahrStringTest, CelsiusAndFahrenheitTogether)
{
    EXPECT_EQ(GetFahrString(GetParam().Celsius), GetParam().Text);
}

std::string FahrStringName(const ::testing::TestParamInfo<FahrStringCase>& info)
{
    const int32_t c = info.param.Celsius;
    return c == kMax   ? "Int32Max"
           : c == kMin ? "Int32Min"
                       : (c < 0 ? "Minus" : "") + std::to_string(c < 0 ? -int64_t{c} : c);
}

INSTANTIATE_TEST_SUITE_P(Values, FahrStringTest,
                         ::testing::Values(FahrStringCase{45, "45 °C / 113 °F"}, FahrStringCase{23, "23 °C / 74 °F"},
                                           FahrStringCase{0, "0 °C / 32 °F"}, FahrStringCase{-6, "-6 °C / 22 °F"},
                                           FahrStringCase{-40, "-40 °C / -40 °F"},
                                           FahrStringCase{255, "255 °C / 491 °F"},
                                           FahrStringCase{-128, "-128 °C / -198 °F"},
                                           // The ends of what is written as a number: absolute zero and 1000 °C.
                                           FahrStringCase{-273, "-273 °C / -459 °F"},
                                           FahrStringCase{1000, "1000 °C / 1832 °F"},
                                           // Beyond them a value comes from a runaway correction or a saturated sum.
                                           FahrStringCase{-274, "out of range"}, FahrStringCase{1001, "out of range"},
                                           FahrStringCase{kMax, "out of range"}, FahrStringCase{kMin, "out of range"}),
                         FahrStringName);

TEST(FahrString, DegreeSignIsUtf8)
{
    EXPECT_EQ(GetFahrString(1), "1 \xC2\xB0"
                                "C / 34 \xC2\xB0"
                                "F");
}

// ---- Volts -----------------------------------------------------------------------------------

struct VoltCase
{
    float Volts;
    const char* Separator;
    const char* Text;
};

class VoltStringTest : public ::testing::TestWithParam<VoltCase>
{
};

TEST_P(VoltStringTest, ThreeSignificantDigitsTwoDecimals)
{
    EXPECT_EQ(GetVoltString(GetParam().Volts, GetParam().Separator), GetParam().Text) << GetParam().Volts;
}

INSTANTIATE_TEST_SUITE_P(
    Values, VoltStringTest,
    ::testing::Values(VoltCase{1.504f, ".", "1.50"}, VoltCase{3.344f, ".", "3.34"}, VoltCase{5.026f, ".", "5.03"},
                      VoltCase{12.16f, ".", "12.20"}, VoltCase{-5.13f, ".", "-5.13"}, VoltCase{-11.87f, ".", "-11.90"},
                      VoltCase{-12.04f, ".", "-12.00"}, VoltCase{0.0f, ".", "0.00"}, VoltCase{12.16f, ",", "12,20"},
                      VoltCase{-3.344f, ",", "-3,34"},
                      // Below one volt the third digit falls past the second decimal and is rounded away.
                      VoltCase{0.1234f, ".", "0.12"}, VoltCase{0.996f, ".", "1.00"}, VoltCase{0.005f, ".", "0.01"},
                      VoltCase{0.0049f, ".", "0.00"},
                      // Carries through every digit.
                      VoltCase{9.996f, ".", "10.00"}, VoltCase{99.96f, ".", "100.00"}, VoltCase{-9.999f, ".", "-10.00"},
                      // Digits beyond the third are written as zeros.
                      VoltCase{1048.56f, ".", "1050.00"}, VoltCase{123456.0f, ".", "123000.00"},
                      // A float just below a tie stays below; an exact tie goes away from zero.
                      VoltCase{1.1249999f, ".", "1.12"}, VoltCase{1.125f, ".", "1.13"}, VoltCase{-1.125f, ".", "-1.13"},
                      // No negative zero.
                      VoltCase{-0.0f, ".", "0.00"}, VoltCase{-0.001f, ".", "0.00"}, VoltCase{-1e-30f, ".", "0.00"},
                      VoltCase{std::numeric_limits<float>::denorm_min(), ".", "0.00"},
                      VoltCase{std::numeric_limits<float>::quiet_NaN(), ".", "0.00"},
                      VoltCase{-std::numeric_limits<float>::infinity(), ",", "0,00"}),
    [](const ::testing::TestParamInfo<VoltCase>& info) {
        const auto& c = info.param;
        (void)c;
        return calventa::testnames::FloatName(c.Volts) + "V_is_" + calventa::testnames::CaseName(c.Text) +
               (std::string_view(c.Separator) == "," ? "_WithComma" : "");
    });

TEST(VoltString, LargestFloatIsWrittenInFull)
{
    const std::string text = GetVoltString(std::numeric_limits<float>::max());
    EXPECT_EQ(text, "340" + std::string(36, '0') + ".00");
    EXPECT_EQ(GetVoltString(std::numeric_limits<float>::lowest()), "-" + text);
}

// ---- Fans ------------------------------------------------------------------------------------

TEST(FanString, DecimalAndUnit)
{
    EXPECT_EQ(GetFanString(4412), "4412 RPM");
    EXPECT_EQ(GetFanString(0), "0 RPM");
    EXPECT_EQ(GetFanString(-1), "-1 RPM");
    EXPECT_EQ(GetFanString(kMin), "-2147483648 RPM");
}

} // namespace
} // namespace calventa::core
