#include <map>

#include <gtest/gtest.h>

#include "case_name.h"

#include "sim_bench.h"

namespace calventa::hardware {
namespace {

using namespace core;
using testing::IntelBoard;
using testing::SimBench;
using Lines = std::vector<std::string>;
using Assignments = std::map<int, int>; // slot → channel of record 0

struct ModelCase
{
    const char* board; // isa chip, or an SMBus chip at 0x2D
    const char* name;
    uint16_t code;
    int temps, volts, fans, pwms;
    Assignments slots;
};

void PrintTo(const ModelCase& c, std::ostream* os)
{
    *os << c.name << " (" << c.board << ")";
}

const Assignments kWinbond9Volts = {{kSlotCpu, 2},      {kSlotSys, 1},     {kSlotAux, 3},   {kSlotVCoreA, 1},
                                    {kSlotVCoreB, 2},   {kSlot3_3V, 3},    {kSlot5V, 4},    {kSlot12V, 5},
                                    {kSlotMinus12V, 6}, {kSlotMinus5V, 7}, {kSlot5VSB, 8},  {kSlotVBat, 9},
                                    {kSlotCpuFan, 1},   {kSlotSysFan, 2},  {kSlotAuxFan, 3}};
const Assignments kAsusFamily = {{kSlotSys, 1},    {kSlotVCoreA, 1}, {kSlotVCoreB, 2},   {kSlot3_3V, 3},
                                 {kSlot5V, 4},     {kSlot12V, 5},    {kSlotMinus12V, 6}, {kSlotMinus5V, 7},
                                 {kSlotCpuFan, 1}, {kSlotSysFan, 2}, {kSlotAuxFan, 3}};

const ModelCase kModelCases[] = {
    {R"({"isa": {"model": "W83627HF"}})", "W83627HF", 0x21, 3, 9, 3, 2, kWinbond9Volts},
    {R"({"isa": {"model": "W83782D"}})", "W83782D", 0x30, 3, 9, 3, 3, kWinbond9Volts},
    {R"({"isa": {"model": "W83781D"}})",
     "W83781D",
     0x10,
     3,
     7,
     3,
     0,
     {{kSlotCpu, 2},
      {kSlotSys, 1},
      {kSlotAux, 3},
      {kSlotVCoreA, 1},
      {kSlotVCoreB, 2},
      {kSlot3_3V, 3},
      {kSlot5V, 4},
      {kSlot12V, 5},
      {kSlotMinus12V, 6},
      {kSlotMinus5V, 7},
      {kSlotCpuFan, 1},
      {kSlotSysFan, 2},
      {kSlotAuxFan, 3}}},
    {R"({"isa": {"model": "W83783S"}})",
     "W83783S",
     0x40,
     2,
     6,
     3,
     2,
     {{kSlotCpu, 2},
      {kSlotSys, 1},
      {kSlotVCoreA, 1},
      {kSlot3_3V, 2},
      {kSlot5V, 3},
      {kSlot12V, 4},
      {kSlotMinus12V, 5},
      {kSlotMinus5V, 6},
      {kSlotCpuFan, 1},
      {kSlotSysFan, 2},
      {kSlotAuxFan, 3}}},
    {R"({"isa": {"model": "W83697HF"}})",
     "W83697HF",
     0x60,
     2,
     8,
     2,
     2,
     {{kSlotCpu, 2},
      {kSlotSys, 1},
      {kSlotVCoreA, 1},
      {kSlot3_3V, 2},
      {kSlot5V, 3},
      {kSlot12V, 4},
      {kSlotMinus12V, 5},
      {kSlotMinus5V, 6},
      {kSlot5VSB, 7},
      {kSlotVBat, 8},
      {kSlotCpuFan, 1},
      {kSlotSysFan, 2}}},
    {R"({"isa": {"model": "W83627THF"}})",
     "W83627THF",
     0x90,
     3,
     6,
     3,
     3,
     {{kSlotCpu, 2},
      {kSlotSys, 1},
      {kSlotAux, 3},
      {kSlotVCoreA, 1},
      {kSlot3_3V, 2},
      {kSlot5VSB, 3},
      {kSlotVBat, 4},
      {kSlotCpuFan, 1},
      {kSlotSysFan, 2},
      {kSlotAuxFan, 3}}},
    {R"({"isa": {"model": "W83627EHF"}})",
     "W83627EHF",
     0xA1,
     3,
     5,
     5,
     4,
     {{kSlotCpu, 2},
      {kSlotSys, 1},
      {kSlotAux, 3},
      {kSlotVCoreA, 1},
      {kSlot3_3V, 2},
      {kSlot12V, 3},
      {kSlot5VSB, 4},
      {kSlotVBat, 5},
      {kSlotCpuFan, 1},
      {kSlotSysFan, 2},
      {kSlotAuxFan, 3},
      {kSlotCpuFan2, 4},
      {kSlotSysFan2, 5}}},
    {R"({"isa": {"model": "W83637HF"}})",
     "W83637HF",
     0x80,
     3,
     7,
     3,
     3,
     {{kSlotCpu, 2},
      {kSlotSys, 1},
      {kSlotAux, 3},
      {kSlotVCoreA, 1},
      {kSlot3_3V, 2},
      {kSlot5V, 3},
      {kSlot12V, 4},
      {kSlotMinus12V, 5},
      {kSlot5VSB, 6},
      {kSlotVBat, 7},
      {kSlotCpuFan, 1},
      {kSlotSysFan, 2},
      {kSlotAuxFan, 3}}},
    {R"({"isa": {"model": "AS99127F-rev2"}})",
     "AS99127F rev2",
     0x31,
     1,
     7,
     3,
     0,
     {{kSlotSys, 1}, {kSlotVCoreA, 1}, {kSlot3_3V, 2}, {kSlotCpuFan, 1}, {kSlotSysFan, 2}, {kSlotAuxFan, 3}}},
    {R"({"isa": {"model": "AS99127F-rev1"}})", "AS99127F rev1", 0x4000, 1, 7, 3, 0, kAsusFamily},
    {R"({"isa": {"model": "ASB100"}})", "ASB100", 0x4001, 1, 7, 3, 0, kAsusFamily},
    {R"({"isa": {"model": "IT8712F"}})",
     "ITE8712F",
     0x4080,
     3,
     1,
     3,
     0,
     {{kSlotCpu, 2},
      {kSlotSys, 1},
      {kSlotAux, 3},
      {kSlotVBat, 1},
      {kSlotCpuFan, 1},
      {kSlotSysFan, 2},
      {kSlotAuxFan, 3}}},
    {R"({"isa": {"model": "IT8705F"}})",
     "ITE8705",
     0x4090,
     3,
     1,
     3,
     0,
     {{kSlotCpu, 2},
      {kSlotSys, 1},
      {kSlotAux, 3},
      {kSlotVBat, 1},
      {kSlotCpuFan, 1},
      {kSlotSysFan, 2},
      {kSlotAuxFan, 3}}},
    {R"("smbus": [{"address": "0x2D", "model": "W83627HF"}])", "W83627HF", 0x21, 3, 9, 3, 2, kWinbond9Volts},
    {R"("smbus": [{"address": "0x2D", "model": "AS99127F-rev2"}])", "AS99127F rev2", 0x4003, 1, 7, 3, 0, kAsusFamily},
    {R"("smbus": [{"address": "0x2D", "model": "AS99127F-rev1"}])", "AS99127F rev1", 0x4000, 1, 7, 3, 0, kAsusFamily},
    {R"("smbus": [{"address": "0x2D", "model": "ASB100"}])", "ASB100", 0x4001, 1, 7, 3, 0, kAsusFamily},
    {R"("smbus": [{"address": "0x2A", "model": "LM87"}])",
     "LM87",
     0x4002,
     2,
     3,
     2,
     0,
     {{kSlotCpu, 1}, {kSlotSys, 2}, {kSlot2_5V, 1}, {kSlot5V, 2}, {kSlot12V, 3}, {kSlotCpuFan, 1}, {kSlotSysFan, 2}}},
    {R"("smbus": [{"address": "0x4C", "model": "LM90", "registers": {"0x00": 1, "0x01": 1, "0x02": 1, "0x03": 1, "0x10": 7}}])",
     "LM90",
     0x8002,
     2,
     0,
     0,
     0,
     {{kSlotCpu, 2}, {kSlotSys, 1}}},
    {R"("smbus": [{"address": "0x49", "model": "LM75", "registers": {"0x01": 0, "0x02": 75, "0x03": 80}}])",
     "LM75",
     0x8003,
     1,
     0,
     0,
     0,
     {{kSlotAux, 1}}},
};

class ModelIdentification : public ::testing::TestWithParam<ModelCase>
{
};

TEST_P(ModelIdentification, RecordsTheChipWithItsDefaultAssignments)
{
    const ModelCase& c = GetParam();
    const std::string board = std::string(c.board).starts_with("{") ? c.board : IntelBoard(c.board);
    SimBench bench(board);
    ASSERT_TRUE(bench.StartAndSearch());
    ASSERT_EQ(bench.State->Chips.ChipCount, 1);
    const ChipRecord& chip = bench.Chip(0);
    EXPECT_EQ(chip.Name, c.name);
    EXPECT_EQ(chip.ChipCode, c.code);
    const bool isa = std::string(c.board).starts_with("{");
    EXPECT_EQ(chip.Bus, isa ? kBusIsa : kBusSmbus);
    EXPECT_EQ(chip.Address, isa ? 0 : bench.Sim->SmbusAddresses().front());
    EXPECT_EQ(chip.TempCount, c.temps);
    EXPECT_EQ(chip.VoltCount, c.volts);
    EXPECT_EQ(chip.FanCount, c.fans);
    EXPECT_EQ(chip.PwmCount, c.pwms);

    for (int slot = 0; slot < kSlotCount; ++slot) {
        const SensorSlot& s = bench.Slot(slot);
        if (KindOfSlot(slot) == SlotKind::Disk) {
            EXPECT_EQ(s.Chip, slot - kSlotHd0);
        } else if (auto it = c.slots.find(slot); it != c.slots.end()) {
            EXPECT_EQ(s.Chip, 0) << SlotName(slot);
            EXPECT_EQ(s.Channel, it->second) << SlotName(slot);
        } else {
            EXPECT_EQ(s.Chip, kNoChip) << SlotName(slot);
        }
    }
    for (int record = 0; record < kFanControlCount; ++record) {
        EXPECT_EQ(bench.State->Settings.FanControl[static_cast<size_t>(record)].PwmRegister,
                  record < c.pwms ? record : kNoChip);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryModel, ModelIdentification, ::testing::ValuesIn(kModelCases),
                         [](const ::testing::TestParamInfo<ModelCase>& info) {
                             const auto& c = info.param;
                             (void)c;
                             const bool smbus = std::string_view(c.board).find("smbus") != std::string_view::npos;
                             return calventa::testnames::CaseName(c.name) + (smbus ? "_OnSmbus" : "_OnIsa");
                         });

TEST(ChipSearch, LogOfAWinbondOnIsaAndAnLm75OnSmbus)
{
    SimBench bench(IntelBoard(R"("isa": {"model": "W83627HF"}, "smbus": [{"address": "0x48", "model": "LM75"}])"));
    ASSERT_TRUE(bench.StartAndSearch());
    EXPECT_EQ(bench.LogMessages(),
              (Lines{"Log opened", "Sensors I/O init", "Sensors I/O init successful (giveio)", "Search start...",
                     "ISA search windbond...", "ISA reg $4F(l) =5C", "ISA reg $4F(h) =A3", "ISA winbond found id=21",
                     "Detect Winbond model...", "found W83627HF", "ISA search asus...", "ISA search asb...",
                     "Get SMB base address..", "Intel chipset detected", "SMB address=0400"}));
    ASSERT_EQ(bench.State->Chips.ChipCount, 2);
    EXPECT_EQ(bench.Chip(1).Name, "LM75");
    EXPECT_EQ(bench.Chip(1).Address, 0x48);
    EXPECT_EQ(bench.Slot(kSlotAux).Chip, 0); // Aux already has the Winbond chip: the LM75 takes Cpu
    EXPECT_EQ(bench.Slot(kSlotCpu).Chip, 1);
}

TEST(ChipSearch, LogOfAnEmptyIsaBus)
{
    SimBench bench("{}");
    EXPECT_FALSE(bench.StartAndSearch());
    EXPECT_EQ(bench.LogMessages(), (Lines{"Log opened", "Sensors I/O init", "Sensors I/O init successful (giveio)",
                                          "Search start...", "ISA search windbond...", "ISA reg $4F(l) =FF",
                                          "ISA search asus...", "ISA search asb...", "Get SMB base address.."}));
    EXPECT_EQ(bench.State->Chips.ChipCount, 0);
    EXPECT_EQ(bench.Slot(kSlotCpu).Chip, kNoChip);
}

TEST(ChipSearch, AsusOnIsaLogsItsIdentification)
{
    SimBench bench(R"({"isa": {"model": "AS99127F-rev1"}})");
    ASSERT_TRUE(bench.StartAndSearch());
    const Lines log = bench.LogMessages();
    EXPECT_NE(std::find(log.begin(), log.end(), "ISA asus found id=31"), log.end());
    EXPECT_EQ(std::find(log.begin(), log.end(), "Detect Winbond model..."), log.end());
}

TEST(ChipSearch, UnknownWinbondOnIsaBecomesWinbondUnknownAndSkipsTheSmbusWinbondProbe)
{
    SimBench bench(IntelBoard(
        R"("isa": {"model": "raw", "vendor": "0x5CA3", "chip_id": "0x50"}, "smbus": [{"address": "0x2D", "model": "W83627HF"}])"));
    ASSERT_TRUE(bench.StartAndSearch());
    ASSERT_EQ(bench.State->Chips.ChipCount, 1);
    EXPECT_EQ(bench.Chip(0).Name, "Winbond Unknown");
    EXPECT_EQ(bench.Chip(0).ChipCode, 0x00FF);
    EXPECT_EQ(bench.Chip(0).TempCount, 3);
    EXPECT_EQ(bench.Chip(0).FanCount, 2);
    EXPECT_EQ(bench.Slot(kSlotCpu).Channel, 2);
    EXPECT_EQ(bench.Slot(kSlotAux).Channel, 3);
    EXPECT_EQ(bench.Slot(kSlotSysFan).Channel, 2);
    EXPECT_EQ(bench.Slot(kSlotAuxFan).Chip, kNoChip);
    EXPECT_TRUE(bench.Engine->WinbondVendorSeen());
    const Lines log = bench.LogMessages();
    EXPECT_EQ(std::count(log.begin(), log.end(), "Detect Winbond model..."), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "ISA winbond found id=50"), 1);
}

TEST(ChipSearch, UnknownWinbondAtSmbus2DRecordsNothingAndRunsTheLm87Scan)
{
    SimBench bench(IntelBoard(
        R"("smbus": [{"address": "0x2D", "model": "raw", "vendor": "0x5CA3", "chip_id": "0x50"},
                     {"address": "0x2E", "model": "LM87"}, {"address": "0x21", "model": "LM87"}])"));
    ASSERT_TRUE(bench.StartAndSearch());
    ASSERT_EQ(bench.State->Chips.ChipCount, 2);
    EXPECT_EQ(bench.Chip(0).Name, "LM87");
    EXPECT_EQ(bench.Chip(0).Address, 0x21); // ascending scan
    EXPECT_EQ(bench.Chip(1).Address, 0x2E);
    EXPECT_EQ(bench.Slot(kSlotCpu).Chip, 1); // the later chip overwrites the assignments
    EXPECT_EQ(bench.LogMessages().back(), "Detect Winbond model...");
}

// A W83627HF's bank select at its power-on 0x80 (vendor's high byte) still answers 0x5C:
// without the write's result the probe would take it for a Winbond and skip the LM87 scan.
TEST(ChipSearch, AFailedBankSelectWriteAtSmbus2DRecordsNothingThereAndRunsTheLm87Scan)
{
    SimBench bench(IntelBoard(R"("smbus": [{"address": "0x2D", "model": "W83627HF", "registers": {"0x4E": 128}},
                                           {"address": "0x2E", "model": "LM87"}])"));
    bench.Sim->FailNextSmbusTransactions(1, sim::kSmbusStatusDeviceError); // the first write of 0x4E
    ASSERT_TRUE(bench.StartAndSearch());
    ASSERT_EQ(bench.State->Chips.ChipCount, 1);
    EXPECT_EQ(bench.Chip(0).Name, "LM87");
    EXPECT_EQ(bench.Chip(0).Address, 0x2E);
}

TEST(ChipSearch, TwoLm75TakeAuxThenCpu)
{
    SimBench bench(
        IntelBoard(R"("smbus": [{"address": "0x4F", "model": "LM75"}, {"address": "0x48", "model": "LM75"}])"));
    ASSERT_TRUE(bench.StartAndSearch());
    ASSERT_EQ(bench.State->Chips.ChipCount, 2);
    EXPECT_EQ(bench.Chip(0).Address, 0x48);
    EXPECT_EQ(bench.Slot(kSlotAux).Chip, 0);
    EXPECT_EQ(bench.Slot(kSlotCpu).Chip, 1);
    EXPECT_EQ(bench.Slot(kSlotCpu).Channel, 1);
}

TEST(ChipSearch, Lm75NeedsRealValuesAndZeroUnusedRegisters)
{
    SimBench bench(IntelBoard(R"("smbus": [{"address": "0x48", "model": "LM75", "registers": {"0x02": 255}},
                                          {"address": "0x49", "model": "LM75", "registers": {"0x11": 1}}])"));
    EXPECT_FALSE(bench.StartAndSearch());
    EXPECT_EQ(bench.State->Chips.ChipCount, 0);
}

TEST(ChipSearch, Lm90PlusWinbondOnIsaAddsRecordsAfterTheIsaChip)
{
    SimBench bench(IntelBoard(R"("isa": {"model": "W83697HF"},
        "smbus": [{"address": "0x4C", "model": "LM90", "registers": {"0x10": 3}}])"));
    ASSERT_TRUE(bench.StartAndSearch());
    ASSERT_EQ(bench.State->Chips.ChipCount, 2);
    EXPECT_EQ(bench.Chip(1).Name, "LM90");
    EXPECT_EQ(bench.Slot(kSlotCpu).Chip, 1);
    EXPECT_EQ(bench.Slot(kSlotCpu).Channel, 2);
    EXPECT_EQ(bench.Slot(kSlotSys).Chip, 1);
    EXPECT_EQ(bench.Slot(kSlotVCoreA).Chip, 0);
}

TEST(ChipSearch, FullTableDropsTheLaterChipsAndWritesNothingPastIt)
{
    std::string chips;
    for (int address = 0x20; address <= 0x2F; ++address) {
        chips += (chips.empty() ? "" : ",") + std::string(R"({"address": )") + std::to_string(address) +
                 R"(, "model": "LM87"})";
    }
    for (int address = 0x48; address <= 0x4F; ++address) {
        chips += std::string(R"(,{"address": )") + std::to_string(address) + R"(, "model": "LM75"})";
    }
    SimBench bench(IntelBoard(R"("smbus": [)" + chips + "]"));
    ASSERT_TRUE(bench.StartAndSearch());
    EXPECT_EQ(bench.State->Chips.ChipCount, kPortChipCapacity);
    EXPECT_EQ(bench.Chip(7).Name, "LM87");
    EXPECT_EQ(bench.Chip(7).Address, 0x27);
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const uint8_t chip = bench.Slot(slot).Chip;
        EXPECT_TRUE(chip == kNoChip || chip < kPortChipCapacity) << SlotName(slot);
    }
}

TEST(ChipSearch, IsaSearchRestoresTheBankSelectRegister)
{
    SimBench bench(R"({"isa": {"model": "W83627HF", "registers": {"0x4E": 2}}})");
    bench.Engine->StartHardwareAccess();
    bench.Engine->SearchChips({});
    EXPECT_EQ(bench.Sim->IsaChip()->Peek(0x4E), 2);
}

TEST(ChipSearch, SearchResetsEarlierAssignmentsButNotTheDiskSlots)
{
    SimBench bench("{}");
    for (int slot = 0; slot < kSlotCount; ++slot) {
        bench.Slot(slot).Chip = 5;
    }
    bench.State->Settings.FanControl[3].PwmRegister = 1;
    bench.StartAndSearch();
    EXPECT_EQ(bench.Slot(kSlotVCoreA).Chip, kNoChip);
    EXPECT_EQ(bench.Slot(kSlotHd0 + 2).Chip, 5);
    EXPECT_EQ(bench.State->Settings.FanControl[3].PwmRegister, kNoChip);
}

TEST(ChipSearch, EverySequenceIsBracketedByItsBusMutex)
{
    SimBench bench(IntelBoard(R"("isa": {"model": "W83627HF"}, "smbus": [{"address": "0x48", "model": "LM75"}])"));
    bench.StartAndSearch();
    for (const char* name : {platform::kIsaMutexName, platform::kSmbusMutexName}) {
        const sim::MutexStats stats = bench.Sim->MutexStatsFor(name);
        EXPECT_EQ(stats.depth, 0) << name;
        EXPECT_EQ(stats.unownedReleases, 0u) << name;
        EXPECT_EQ(stats.waits, 2u) << name; // the search and the first read
    }
}

TEST(ChipSearch, IsaBusHeldByAnotherProgramIsNotTouched)
{
    SimBench bench(R"({"isa": {"model": "W83627HF"}})");
    bench.Sim->SetMutexHeldElsewhere(platform::kIsaMutexName, true);
    EXPECT_FALSE(bench.StartAndSearch());
    EXPECT_TRUE(bench.Sim->IsaChip()->WriteLog().empty());
    EXPECT_EQ(bench.State->Chips.ChipCount, 0);
    const Lines log = bench.LogMessages();
    EXPECT_EQ(std::count(log.begin(), log.end(),
                         "Bus lock Access_ISABUS.HTP.Method not obtained within 5000 ms: bus not used"),
              1);
}

// A lock file the platform refused (a FIFO or a link in its place): the start-up goes on at
// once, says so, and leaves the bus alone.
TEST(ChipSearch, ABusWhoseLockCannotBeHadIsLoggedAndNotTouched)
{
    SimBench bench(R"({"isa": {"model": "W83627HF"}})");
    bench.Sim->SetMutexCreationFails(true);
    bench.Engine->CreateBusMutexes();
    EXPECT_FALSE(bench.StartAndSearch());
    EXPECT_TRUE(bench.Sim->IsaChip()->WriteLog().empty());
    EXPECT_EQ(bench.State->Chips.ChipCount, 0);
    EXPECT_EQ(bench.Sim->ElapsedMs(), 0u); // no lock waited for
    const auto log = bench.LogMessages();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[1], "Bus lock Access_ISABUS.HTP.Method unavailable: bus not used");
    EXPECT_EQ(log[2], "Bus lock Access_SMBUS.HTP.Method unavailable: bus not used");
}

} // namespace
} // namespace calventa::hardware
