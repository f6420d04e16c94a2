#include "hardware/fan_control.h"

#include <gtest/gtest.h>

#include "case_name.h"

#include "sim_bench.h"

namespace calventa::hardware {
namespace {

using namespace core;
using testing::IntelBoard;
using testing::SimBench;

struct DutyCase
{
    int32_t temperature, duty;
    uint8_t pwm;
};
class FanDutyTest : public ::testing::TestWithParam<DutyCase>
{
};
TEST_P(FanDutyTest, TenPercentPerDegreeAroundHalfSpeed)
{
    EXPECT_EQ(FanDutyFromTemp(GetParam().temperature, 45), GetParam().duty);
    EXPECT_EQ(PwmFromDuty(GetParam().duty), GetParam().pwm);
}
INSTANTIATE_TEST_SUITE_P(NominalFortyFive, FanDutyTest,
                         ::testing::Values(DutyCase{30, 0, 0}, DutyCase{40, 0, 0}, DutyCase{41, 10, 26},
                                           DutyCase{42, 20, 51}, DutyCase{43, 30, 77}, DutyCase{44, 40, 102},
                                           DutyCase{45, 50, 128}, DutyCase{46, 60, 153}, DutyCase{47, 70, 179},
                                           DutyCase{48, 80, 204}, DutyCase{49, 90, 230}, DutyCase{50, 100, 255},
                                           DutyCase{60, 100, 255}),
                         [](const ::testing::TestParamInfo<DutyCase>& info) {
                             const auto& c = info.param;
                             (void)c;
                             return calventa::testnames::NumberName(c.temperature) + "C_Duty" +
                                    calventa::testnames::NumberName(c.duty) + "_Pwm" + std::to_string(c.pwm);
                         });

TEST(FanDuty, ExtremeValuesFromAFileDoNotOverflow)
{
    EXPECT_EQ(FanDutyFromTemp(INT32_MAX, INT32_MIN), 100);
    EXPECT_EQ(FanDutyFromTemp(INT32_MIN, INT32_MAX), 0);
}

TEST(PwmRegisters, PerModel)
{
    EXPECT_EQ(PwmRegisterFor(chip_code::kW83627HF, 1), 0x5B);
    EXPECT_EQ(PwmRegisterFor(chip_code::kW83627HF, 2), std::nullopt);
    EXPECT_EQ(PwmRegisterFor(chip_code::kW83782D, 2), 0x5E);
    EXPECT_EQ(PwmRegisterFor(chip_code::kW83627EHF, 3), 0x61);
    EXPECT_EQ(PwmRegisterFor(chip_code::kW83697HF, 0), 0x01); // not 0x5A: no fan output there
    EXPECT_EQ(PwmRegisterFor(chip_code::kW83697HF, 1), 0x03);
    EXPECT_FALSE(HasPwmOutputs(chip_code::kW83781D));
    EXPECT_FALSE(HasPwmOutputs(chip_code::kLm75));
    EXPECT_EQ(PwmRegisterFor(chip_code::kW83627HF, 255), std::nullopt);
}

// A board with one Winbond chip found by the search, its Cpu temperature at `cpu` °C.
class FanControlBench
{
public:
    FanControlBench(const char* model, int cpu)
        : bench(std::string(R"({"isa": {"model": ")") + model + R"(", "banks": {"1": {"0x50": )" + std::to_string(cpu) +
                "}}}}")
    {
        EXPECT_TRUE(bench.StartAndSearch());
        bench.Sim->IsaChip()->ClearWriteLog();
    }
    FanControlRecord& Record(int k) { return bench.State->Settings.FanControl[static_cast<size_t>(k)]; }
    std::vector<sim::RegisterWrite> Writes() { return bench.Sim->IsaChip()->WriteLog(); }
    void Pass()
    {
        bench.UpdatePass();
        bench.Engine->UpdateFanControl();
    }
    SimBench bench;
};

TEST(FanControl, DrivesTheOutputFromTheSourceTemperature)
{
    FanControlBench f("W83627HF", 47);
    f.Record(0) = {kSourceCpu, 45, 1, 0};
    f.bench.Sim->IsaChip()->ClearWriteLog();
    f.bench.Engine->UpdateFanControl();
    EXPECT_EQ(f.Writes(), (std::vector<sim::RegisterWrite>{{0x4E, 0, 0}, {0x5A, 0, 179}}));
    EXPECT_EQ(f.bench.State->FanDuty.Get(1), 70);
    const sim::MutexStats isa = f.bench.Sim->MutexStatsFor(platform::kIsaMutexName);
    EXPECT_EQ(isa.depth, 0);
}

TEST(FanControl, ChannelWithADisabledSourceWritesNothingAndKeepsItsDuty)
{
    FanControlBench f("W83627HF", 47);
    f.Record(0) = {kSourceCpu, 45, 1, 0};
    f.bench.Slot(kSlotCpu).Enabled = 0;
    f.bench.Engine->UpdateFanControl();
    EXPECT_TRUE(f.Writes().empty());
    EXPECT_EQ(f.bench.State->FanDuty.Get(1), 100);
}

TEST(FanControl, TwoChannelsOnOneOutputTheHigherWins)
{
    FanControlBench f("W83627HF", 47);
    f.Record(0) = {kSourceCpu, 45, 1, 0};
    f.Record(1) = {kSourceCpu, 50, 1, 0};
    f.bench.Slot(kSlotSysFan).Chip = 0;
    f.bench.Engine->UpdateFanControl();
    EXPECT_EQ(f.bench.Sim->IsaChip()->Peek(0x5A), 51); // channel 2: 47 against 50 → 20 %
}

TEST(FanControl, MissingOutputsAndChipsAreNotWritten)
{
    FanControlBench f("W83627HF", 47);
    f.Record(2) = {kSourceCpu, 45, 1, 2}; // the W83627HF has no output 2
    f.bench.Engine->UpdateFanControl();
    EXPECT_EQ(f.Writes(), (std::vector<sim::RegisterWrite>{{0x4E, 0, 0}}));
    EXPECT_TRUE(f.bench.Engine->DrivenOutputs().empty());

    f.bench.Sim->IsaChip()->ClearWriteLog();
    f.bench.Slot(kSlotAuxFan).Chip = kNoChip;
    f.bench.Engine->UpdateFanControl();
    f.bench.Slot(kSlotAuxFan).Chip = 5; // a record the search never filled
    f.bench.Engine->UpdateFanControl();
    EXPECT_TRUE(f.Writes().empty());
    EXPECT_EQ(f.bench.State->FanDuty.Get(3), 70); // computed all the same
}

TEST(FanControl, W83781dReceivesNoWrite)
{
    FanControlBench f("W83781D", 47);
    f.Record(0) = {kSourceCpu, 45, 1, 0};
    f.bench.Slot(kSlotCpuFan).Chip = 0;
    f.bench.Engine->UpdateFanControl();
    f.bench.Engine->ReleaseFanControl();
    EXPECT_TRUE(f.Writes().empty());
}

TEST(FanControl, ReleaseWritesFullSpeedToEveryDrivenOutput)
{
    FanControlBench f("W83627EHF", 40);
    f.Record(3) = {kSourceCpu, 45, 1, 3};
    f.bench.Engine->UpdateFanControl();
    EXPECT_EQ(f.bench.Sim->IsaChip()->Peek(0x61), 0);
    f.Record(3).Enabled = 0;
    f.bench.Engine->ReleaseFanControl();
    EXPECT_EQ(f.bench.Sim->IsaChip()->Peek(0x61), 255);
    f.bench.Sim->IsaChip()->Poke(0x61, 7);
    f.bench.Engine->ReleaseFanControl(); // every later release writes it again
    EXPECT_EQ(f.bench.Sim->IsaChip()->Peek(0x61), 255);
}

TEST(FanControl, ReleaseGoesToTheChipTheOutputWasDrivenOn)
{
    // A W83627HF on ISA and, added by hand, a W83782D on the SMBus at 0x2D.
    SimBench bench(IntelBoard(R"("isa": {"model": "W83627HF", "banks": {"1": {"0x50": 50}}},
                                 "smbus": [{"address": "0x2D", "model": "W83782D"}])"));
    ASSERT_TRUE(bench.StartAndSearch());
    ChipRecord& second = bench.Chip(1);
    second.SetName("W83782D");
    second.ChipCode = chip_code::kW83782D;
    second.Bus = kBusSmbus;
    second.Address = 0x2D;
    bench.State->Chips.ChipCount = 2;
    bench.Slot(kSlotSysFan).Chip = 1;
    bench.State->Settings.FanControl[1] = {kSourceCpu, 45, 1, 0};
    bench.Engine->UpdateFanControl();
    EXPECT_EQ(bench.Sim->SmbusChip(0x2D)->Peek(0x5A), 255);
    bench.Sim->SmbusChip(0x2D)->Poke(0x5A, 9);
    bench.Sim->IsaChip()->ClearWriteLog();
    bench.Engine->ReleaseFanControl();
    EXPECT_EQ(bench.Sim->SmbusChip(0x2D)->Peek(0x5A), 255);
    EXPECT_TRUE(bench.Sim->IsaChip()->WriteLog().empty()); // the CpuFan slot's chip is not touched
}

} // namespace
} // namespace calventa::hardware
