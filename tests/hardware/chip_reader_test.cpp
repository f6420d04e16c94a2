#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "case_name.h"

#include "hardware/chip_conversions.h"
#include "hardware/chip_readers.h"
#include "sim_bench.h"

namespace calventa::hardware {
namespace {

using namespace core;
using testing::IntelBoard;
using testing::SimBench;

// --- conversions ---------------------------------------------------------------------

struct TempCase
{
    int32_t raw, celsius;
};
class RegisterToTempTest : public ::testing::TestWithParam<TempCase>
{
};
TEST_P(RegisterToTempTest, SignedByte)
{
    EXPECT_EQ(RegisterToTemp(GetParam().raw), GetParam().celsius);
}
INSTANTIATE_TEST_SUITE_P(Edges, RegisterToTempTest,
                         ::testing::Values(TempCase{0x00, 0}, TempCase{0x7F, 127}, TempCase{0x80, -128},
                                           TempCase{0xFF, -1}, TempCase{-1, -1}, TempCase{45, 45}),
                         [](const ::testing::TestParamInfo<TempCase>& info) {
                             const auto& c = info.param;
                             (void)c;
                             return "Raw" + calventa::testnames::NumberName(c.raw) + "_is_" +
                                    calventa::testnames::NumberName(c.celsius) + "C";
                         });

struct FanCase
{
    int32_t count;
    uint32_t divisor;
    int32_t rpm;
};
class FanCountToRpmTest : public ::testing::TestWithParam<FanCase>
{
};
TEST_P(FanCountToRpmTest, CeilingOfTheSinglePrecisionQuotient)
{
    EXPECT_EQ(FanCountToRpm(GetParam().count, GetParam().divisor), GetParam().rpm);
}
INSTANTIATE_TEST_SUITE_P(Edges, FanCountToRpmTest,
                         ::testing::Values(FanCase{0, 1, 0}, FanCase{255, 1, 0}, FanCase{255, 8, 0},
                                           FanCase{1, 1, 1350000}, FanCase{135, 2, 5000}, FanCase{153, 2, 4412},
                                           FanCase{254, 128, 42}, FanCase{-1, 1, 21}, FanCase{-1, 2, 11},
                                           FanCase{-1, 4, 6}, FanCase{-1, 8, 3}, FanCase{-1, 128, 1}),
                         [](const ::testing::TestParamInfo<FanCase>& info) {
                             const auto& c = info.param;
                             (void)c;
                             return "Count" + calventa::testnames::NumberName(c.count) + "_Divisor" +
                                    std::to_string(c.divisor) + "_is_" + calventa::testnames::NumberName(c.rpm) + "Rpm";
                         });

// --- readers on a register file that only fails ----------------------------------------

// Every read is a failed SMBus transaction.
class FailingRegisters : public ChipRegisters
{
public:
    int32_t ReadChipRegister(uint8_t) override { return -1; }
    void WriteChipRegister(uint8_t reg, uint8_t value) override { writes.emplace_back(reg, value); }
    std::vector<std::pair<uint8_t, uint8_t>> writes;
};

TEST(FailedSmbusReads, GiveTheDocumentedValues)
{
    FailingRegisters regs;
    ChipRecord asus;
    ReadAsus(regs, chip_code::kAs99127FRev1, asus);
    EXPECT_EQ(asus.Temp(1), -1);
    EXPECT_FLOAT_EQ(asus.Volt(1), 1048.56f);
    EXPECT_EQ(asus.Fan(1), 3); // every two-bit field reads 3: divisor 8

    ChipRecord ite;
    ReadIte(regs, ite);
    EXPECT_EQ(ite.Fan(1), 1); // d1 = d2 = 128
    EXPECT_EQ(ite.Fan(2), 1);
    EXPECT_EQ(ite.Fan(3), 3); // d3 = 8

    ChipRecord winbond;
    ReadWinbond(regs, chip_code::kW83627EHF, winbond);
    EXPECT_EQ(winbond.Fan(1), 1); // exponent 7 with the third bit: divisor 128
    EXPECT_EQ(winbond.Fan(5), 1);
    EXPECT_EQ(winbond.Temp(3), -1);
    ASSERT_GE(regs.writes.size(), 2u);
    EXPECT_EQ(regs.writes[1], std::make_pair(uint8_t{0x5D}, uint8_t{0xFF}));

    ChipRecord w83781d;
    ReadWinbond(regs, chip_code::kW83781D, w83781d);
    EXPECT_EQ(w83781d.Fan(1), 3); // no third bit: exponent 3

    ChipRecord lm75;
    ReadLm90Lm75(regs, chip_code::kLm75, lm75);
    EXPECT_EQ(lm75.Temp(1), 25);
}

// --- readers on simulated boards ------------------------------------------------------

// Reads the single chip of a board after the search recorded it.
class BoardReading
{
public:
    explicit BoardReading(const std::string& board) : bench(board, false)
    {
        EXPECT_TRUE(bench.StartAndSearch());
        EXPECT_GE(bench.State->Chips.ChipCount, 1);
    }
    ChipRecord& chip() { return bench.Chip(0); }
    SimBench bench;
};

TEST(ReadWinbond, W83627HfWithEveryRegisterZero)
{
    BoardReading r(R"({"isa": {"model": "W83627HF"}})");
    const float expected[] = {0, 0, 0, 0, 0, -14.909f, -7.7136f, 0, 0, 0};
    for (int channel = 1; channel <= 10; ++channel) {
        EXPECT_NEAR(r.chip().Volt(channel), expected[channel - 1], 5e-4) << channel;
    }
    for (int channel = 1; channel <= 4; ++channel) {
        EXPECT_EQ(r.chip().Temp(channel), 0);
    }
    for (int channel = 1; channel <= 3; ++channel) {
        EXPECT_EQ(r.chip().Fan(channel), 0);
    }
}

TEST(ReadWinbond, W83627HfChannelsAndDivisors)
{
    BoardReading r(R"({"isa": {"model": "W83627HF",
        "registers": {"0x20": 94, "0x21": 100, "0x22": 208, "0x23": 186, "0x24": 198, "0x25": 36, "0x26": 100,
                      "0x27": 45, "0x28": 100, "0x29": 100, "0x2A": 135, "0x47": "0x50", "0x5D": "0x20",
                      "0x4B": "0x40"},
        "banks": {"1": {"0x50": 38}, "2": {"0x50": 250}, "5": {"0x50": 130, "0x51": 190}}}})");
    const ChipRecord& c = r.chip();
    EXPECT_FLOAT_EQ(c.Volt(1), 1.504f);
    EXPECT_FLOAT_EQ(c.Volt(2), 1.6f);
    EXPECT_FLOAT_EQ(c.Volt(3), 3.328f);
    EXPECT_NEAR(c.Volt(4), 186 * 0.016 / 0.5952, 1e-5);
    EXPECT_NEAR(c.Volt(5), 198 * 0.016 / 0.2631, 1e-5);
    EXPECT_NEAR(c.Volt(6), -11.948, 5e-4);
    EXPECT_NEAR(c.Volt(7), (1.6 - 2.45448) / 0.3182, 1e-5);
    EXPECT_NEAR(c.Volt(8), 130 * 0.016 / 0.66, 1e-5);
    EXPECT_FLOAT_EQ(c.Volt(9), 3.04f);
    EXPECT_EQ(c.Temp(1), 45); // 0x27 lies outside the banked window
    EXPECT_EQ(c.Temp(2), 38);
    EXPECT_EQ(c.Temp(3), -6);
    EXPECT_EQ(c.Fan(1), 422);                             // 0x47 bits 5..4 = 01 with 0x5D bit 5: divisor 32
    EXPECT_EQ(c.Fan(2), 6750);                            // bits 7..6 = 01: divisor 2
    EXPECT_EQ(c.Fan(3), 5000);                            // 0x4B bits 7..6 = 01: divisor 2
    EXPECT_EQ(r.bench.Sim->IsaChip()->Peek(0x5D) & 1, 1); // voltage inputs switched on
    EXPECT_EQ(r.bench.Sim->IsaChip()->Peek(0x4E), 0);
}

TEST(ReadWinbond, W83697HfHasTwoTemperaturesAndFanThreeAtDivisorFour)
{
    BoardReading r(R"({"isa": {"model": "W83697HF", "registers": {"0x2A": 135, "0x4B": "0xC0", "0x5D": "0x80"},
                                "banks": {"2": {"0x50": 77}}}})");
    r.chip().Temps[2] = 99;
    r.bench.UpdatePass();
    EXPECT_EQ(r.chip().Temp(3), 0);
    EXPECT_EQ(r.chip().Fan(3), 2500);
}

TEST(ReadWinbond, W83783sZeroesTheChannelAfterItsLast)
{
    BoardReading r(R"({"isa": {"model": "W83783S"}})");
    r.chip().Volts[6] = 5.0f;
    r.chip().Temps[2] = 5;
    r.chip().Volts[7] = 7.0f;
    r.bench.UpdatePass();
    EXPECT_EQ(r.chip().Volt(7), 0.0f);
    EXPECT_EQ(r.chip().Temp(3), 0);
    EXPECT_EQ(r.chip().Volt(8), 7.0f); // beyond: untouched
}

TEST(ReadWinbond, W83627EhfFiveFansAndBankFiveLeftSelected)
{
    BoardReading r(R"({"isa": {"model": "W83627EHF",
        "registers": {"0x20": 150, "0x21": 180, "0x23": 206, "0x28": 135, "0x29": 135, "0x2A": 135, "0x3E": 20,
                      "0x3F": 135, "0x59": "0x86", "0x4C": "0x80", "0x47": "0x50", "0x4B": "0x40"},
        "banks": {"5": {"0x50": 208, "0x51": 190, "0x53": 135}}}})");
    const ChipRecord& c = r.chip();
    EXPECT_FLOAT_EQ(c.Volt(1), 1.2f);
    EXPECT_NEAR(c.Volt(2), 206 * 0.008 / 0.5, 1e-5);
    EXPECT_NEAR(c.Volt(3), 180 * 0.008 / 0.1515, 1e-4);
    EXPECT_NEAR(c.Volt(4), 3.328, 1e-5);
    EXPECT_NEAR(c.Volt(5), 3.04, 1e-5);
    EXPECT_EQ(c.Volt(6), 0.0f);
    EXPECT_EQ(c.Fan(1), 5000);
    EXPECT_EQ(c.Fan(2), 5000);
    EXPECT_EQ(c.Fan(3), 5000);
    EXPECT_EQ(c.Fan(4), 157); // count 0x3F, 0x59 bits 1..0 = 10 plus 0x4C bit 7: divisor 64
    EXPECT_EQ(c.Fan(5), 313); // 0x59 bits 3..2 = 01 plus bit 7: divisor 32
    EXPECT_EQ(r.bench.Sim->IsaChip()->Peek(0x4E), 5);
}

TEST(ReadWinbond, W83781dUsesThePlusFiveVoltDividerOnRegister23)
{
    BoardReading r(R"({"isa": {"model": "W83781D", "registers": {"0x23": 186, "0x25": 200, "0x26": 100}}})");
    EXPECT_NEAR(r.chip().Volt(4), 186 * 0.016 / 0.5952, 1e-5);
    EXPECT_NEAR(r.chip().Volt(6), -(200 * 0.016 / 0.2876), 1e-4);
    EXPECT_NEAR(r.chip().Volt(7), -(100 * 0.016 / 0.6644), 1e-5);
}

TEST(ReadWinbond, UnknownWinbondFillsTwoTemperaturesAndTwoFans)
{
    BoardReading r(R"({"isa": {"model": "raw", "vendor": "0x5CA3", "chip_id": "0x50",
        "registers": {"0x27": 33, "0x28": 135, "0x29": 135, "0x5D": 0, "0x47": "0x50", "0x20": 100},
        "banks": {"1": {"0x50": 29}}}})");
    const ChipRecord& c = r.chip();
    EXPECT_EQ(c.Temp(1), 33);
    EXPECT_EQ(c.Temp(2), 29);
    EXPECT_EQ(c.Fan(1), 5000);
    EXPECT_EQ(c.Fan(2), 5000);
    for (int channel = 1; channel <= 10; ++channel) {
        EXPECT_EQ(c.Volt(channel), 0.0f);
    }
    EXPECT_EQ(r.bench.Sim->IsaChip()->LastWrites().count(0x5D), 0u);
}

TEST(ReadAsus, Rev2NegativeRailsAndRev1VersusAsb100)
{
    BoardReading rev2(IntelBoard(R"("smbus": [{"address": "0x2D", "model": "AS99127F-rev2",
                                               "registers": {"0x26": 225, "0x23": 186, "0x24": 200}}])"));
    EXPECT_NEAR(rev2.chip().Volt(6), -14.904, 1e-4);
    EXPECT_NEAR(rev2.chip().Volt(7), 3.6, 1e-5);
    EXPECT_NEAR(rev2.chip().Volt(4), 186 * 0.016 * 1.68, 1e-5);
    EXPECT_NEAR(rev2.chip().Volt(5), 200 * 0.016 * 3.8, 1e-4);

    const char* regs = R"("registers": {"0x25": 190, "0x26": 200, "0x27": 40, "0x28": 135, "0x47": "0x10"})";
    BoardReading rev1(std::string(R"({"isa": {"model": "AS99127F-rev1", )") + regs + "}}");
    BoardReading asb(std::string(R"({"isa": {"model": "ASB100", )") + regs + "}}");
    EXPECT_FLOAT_EQ(rev1.chip().Volt(6), asb.chip().Volt(6));
    EXPECT_NEAR(rev1.chip().Volt(7), -(200 * 0.016 * 1.503), 1e-5);
    EXPECT_NEAR(asb.chip().Volt(7), -(200 * 0.016 * 1.66), 1e-5);
    EXPECT_EQ(rev1.chip().Temp(1), 40);
    EXPECT_EQ(rev1.chip().Fan(1), 5000);
}

// Every input has its own raw value, so that two swapped registers cannot pass.
TEST(ReadIte, DivisorFieldsOfRegister0BAndEveryInputFromItsOwnRegister)
{
    BoardReading r(R"({"isa": {"model": "IT8712F", "registers": {"0x0B": "0x4A", "0x0D": 135, "0x0E": 150,
        "0x0F": 125, "0x28": 200, "0x29": 30, "0x2A": 31, "0x2B": 32}}})");
    EXPECT_EQ(r.chip().Fan(1), 2500); // count 135, divisor 4
    EXPECT_EQ(r.chip().Fan(2), 4500); // count 150, divisor 2
    EXPECT_EQ(r.chip().Fan(3), 1350); // count 125, divisor 8
    EXPECT_FLOAT_EQ(r.chip().Volt(1), 3.2f);
    EXPECT_EQ(r.chip().Temp(1), 30);
    EXPECT_EQ(r.chip().Temp(2), 31);
    EXPECT_EQ(r.chip().Temp(3), 32);
}

TEST(ReadLm87, VoltagesTemperaturesAndFansEachFromItsOwnRegister)
{
    BoardReading r(IntelBoard(R"("smbus": [{"address": "0x2E", "model": "LM87", "registers": {"0x20": 192,
        "0x23": 190, "0x24": 193, "0x26": 50, "0x27": "0xF6", "0x28": 135, "0x29": 150, "0x47": "0x90"}}])"));
    EXPECT_NEAR(r.chip().Volt(1), 192 * 0.013, 1e-5);  // +2.5V
    EXPECT_NEAR(r.chip().Volt(2), 190 * 0.026, 1e-5);  // +5V
    EXPECT_NEAR(r.chip().Volt(3), 193 * 0.0625, 1e-5); // +12V
    EXPECT_EQ(r.chip().Temp(1), 50);
    EXPECT_EQ(r.chip().Temp(2), -10);
    EXPECT_EQ(r.chip().Fan(1), 5000); // count 135, field 01: divisor 2
    EXPECT_EQ(r.chip().Fan(2), 2250); // count 150, field 10: divisor 4
}

struct Lm75Case
{
    int raw, celsius;
};
class Lm75Scale : public ::testing::TestWithParam<Lm75Case>
{
};
TEST_P(Lm75Scale, MapsTheByteOntoTheBoardScale)
{
    BoardReading r(IntelBoard(R"("smbus": [{"address": "0x48", "model": "LM75", "registers": {"0x01": 1}}])"));
    r.bench.Sim->SmbusChip(0x48)->Poke(0x00, static_cast<uint8_t>(GetParam().raw));
    r.bench.UpdatePass();
    EXPECT_EQ(r.chip().Temp(1), GetParam().celsius);
}
INSTANTIATE_TEST_SUITE_P(Worked, Lm75Scale,
                         ::testing::Values(Lm75Case{0, 25}, Lm75Case{25, 43}, Lm75Case{43, 55}, Lm75Case{0xFF, 25},
                                           Lm75Case{0x80, -64}),
                         [](const ::testing::TestParamInfo<Lm75Case>& info) {
                             const auto& c = info.param;
                             (void)c;
                             return "Raw" + calventa::testnames::NumberName(c.raw) + "_is_" +
                                    calventa::testnames::NumberName(c.celsius) + "C";
                         });

TEST(ReadLm90, LocalThenRemote)
{
    BoardReading r(IntelBoard(R"("smbus": [{"address": "0x4C", "model": "LM90",
                                            "registers": {"0x00": 36, "0x01": 52, "0x10": 1}}])"));
    EXPECT_EQ(r.chip().Temp(1), 36);
    EXPECT_EQ(r.chip().Temp(2), 52);
}

// --- dispatch, mutexes and corrections -------------------------------------------------

TEST(ReadChip, UnknownCodeTakesTheMutexButTouchesNoRegister)
{
    SimBench bench(R"({"isa": {"model": "W83627HF"}})", false);
    bench.State->Chips.ChipCount = 1;
    bench.Chip(0).ChipCode = 0x1234;
    bench.Chip(0).Bus = kBusIsa;
    bench.Chip(0).Temps[0] = 17;
    bench.Sim->ResetCounters();
    bench.Engine->ReadChip(0);
    EXPECT_EQ(bench.Sim->Counters().byteReads + bench.Sim->Counters().byteWrites, 0u);
    EXPECT_EQ(bench.Chip(0).Temp(1), 17);
    const sim::MutexStats stats = bench.Sim->MutexStatsFor(platform::kIsaMutexName);
    EXPECT_EQ(stats.waits, 1u);
    EXPECT_EQ(stats.releases, 1u);
}

TEST(ReadChip, ChipWhoseBusIsHeldElsewhereKeepsItsValues)
{
    BoardReading r(R"({"isa": {"model": "W83627HF", "registers": {"0x28": 135}}})");
    EXPECT_EQ(r.chip().Fan(1), 10000);
    r.bench.Sim->IsaChip()->Poke(0x28, 100);
    r.bench.Sim->SetMutexHeldElsewhere(platform::kIsaMutexName, true);
    r.bench.Sim->ResetCounters();
    r.bench.UpdatePass();
    EXPECT_EQ(r.chip().Fan(1), 10000);
    EXPECT_EQ(r.bench.Sim->Counters().byteReads + r.bench.Sim->Counters().byteWrites, 0u);
}

class Corrections : public ::testing::Test
{
protected:
    Corrections() : r(R"({"isa": {"model": "W83627HF", "registers": {"0x20": 100}, "banks": {"1": {"0x50": 40}}}})") {}
    SensorSlot& slot(int index) { return r.bench.Slot(index); }
    BoardReading r;
};

TEST_F(Corrections, AreAppliedOncePerFreshReading)
{
    slot(kSlotCpu).Correction = 2.0f; // Cpu shows channel 2: bank 1 register 0x50 = 40
    for (int pass = 0; pass < 2; ++pass) {
        r.bench.UpdatePass();
        EXPECT_EQ(r.chip().Temp(2), 42);
    }
}

TEST_F(Corrections, TemperatureCorrectionsRoundUp)
{
    slot(kSlotCpu).Correction = -1.5f;
    r.bench.UpdatePass();
    EXPECT_EQ(r.chip().Temp(2), 39);
    slot(kSlotCpu).Correction = 0.5f;
    r.bench.UpdatePass();
    EXPECT_EQ(r.chip().Temp(2), 41);
}

TEST_F(Corrections, TwoSlotsOnOneChannelBothAdd)
{
    slot(kSlotVCoreA).Correction = 0.25f;
    slot(kSlotVCoreB).Chip = 0;
    slot(kSlotVCoreB).Channel = 1;
    slot(kSlotVCoreB).Correction = 0.5f;
    r.bench.UpdatePass();
    EXPECT_FLOAT_EQ(r.chip().Volt(1), 2.35f);
    r.bench.UpdatePass();
    EXPECT_FLOAT_EQ(r.chip().Volt(1), 2.35f);
}

TEST(CorrectionsOnUnreadChannels, DoNotPileUp)
{
    // The W83627THF reader fills four voltages, zeroes the fifth and never writes the sixth.
    BoardReading r(R"({"isa": {"model": "W83627THF"}})");
    r.chip().Volts[5] = 1.0f;
    SensorSlot& sixth = r.bench.Slot(kSlot5V);
    sixth.Chip = 0;
    sixth.Channel = 6;
    sixth.Correction = 1.0f;
    SensorSlot& fifth = r.bench.Slot(kSlotMinus12V);
    fifth.Chip = 0;
    fifth.Channel = 5;
    fifth.Correction = 0.5f;
    for (int pass = 0; pass < 3; ++pass) {
        r.bench.UpdatePass();
    }
    EXPECT_FLOAT_EQ(r.chip().Volt(6), 1.0f);
    EXPECT_FLOAT_EQ(r.chip().Volt(5), 0.5f); // zeroed by every read, corrected once
}

TEST_F(Corrections, ForeignSlotValuesStayInsideTheTable)
{
    slot(kSlotCpu).Chip = 200;
    slot(kSlotSys).Channel = 0;
    slot(kSlotAux).Channel = 250;
    slot(kSlotVCoreA).Channel = 11;
    slot(kSlotVCoreB).Chip = 5; // a record the search never filled
    slot(kSlotVCoreB).Channel = 1;
    slot(kSlotVCoreB).Correction = 1.0f;
    slot(kSlot3_3V).Correction = std::numeric_limits<float>::quiet_NaN();
    slot(kSlot5V).Correction = std::numeric_limits<float>::infinity();
    slot(kSlotCpu).Correction = 3e38f;
    slot(kSlotSys).Chip = 0;
    slot(kSlotSys).Channel = 1;
    slot(kSlotSys).Correction = -std::numeric_limits<float>::infinity();
    r.bench.UpdatePass();
    r.bench.UpdatePass();
    EXPECT_EQ(r.bench.Chip(5).Volt(1), 0.0f);
    EXPECT_TRUE(std::isnan(r.chip().Volt(3)));
    EXPECT_EQ(r.chip().Temp(1), std::numeric_limits<int32_t>::min());
}

} // namespace
} // namespace calventa::hardware
