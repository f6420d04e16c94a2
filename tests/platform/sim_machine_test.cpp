#include "platform/sim/sim_machine.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "case_name.h"

namespace calventa::sim {
namespace {

std::unique_ptr<SimMachine> Machine(const std::string& json)
{
    std::string error;
    auto board = ParseBoard(json, error);
    EXPECT_TRUE(board.has_value()) << error;
    return std::make_unique<SimMachine>(board.value_or(BoardDescription{}));
}

uint32_t PciAddress(uint8_t device, uint8_t function, uint8_t offset)
{
    return 0x80000000u | static_cast<uint32_t>(device) << 11 | static_cast<uint32_t>(function) << 8 | offset;
}

uint32_t PciRead(SimMachine& sim, uint32_t address)
{
    sim.WriteDword(kPciAddressPort, address);
    return sim.ReadDword(kPciDataPort);
}

void PciWrite(SimMachine& sim, uint32_t address, uint32_t value)
{
    sim.WriteDword(kPciAddressPort, address);
    sim.WriteDword(kPciDataPort, value);
}

uint8_t IsaRead(SimMachine& sim, uint8_t reg)
{
    sim.WriteByte(kIsaIndexPort, reg);
    return sim.ReadByte(kIsaDataPort);
}

void IsaWrite(SimMachine& sim, uint8_t reg, uint8_t value)
{
    sim.WriteByte(kIsaIndexPort, reg);
    sim.WriteByte(kIsaDataPort, value);
}

// ---- PCI ----

TEST(SimPci, NonIntelBoardHasOnlyTheHostBridge)
{
    auto sim = Machine("{}");
    EXPECT_EQ(PciRead(*sim, 0x80000000) & 0xFFFF, 0x1106u);
    EXPECT_EQ(PciRead(*sim, PciAddress(31, 0, 0)), 0xFFFFFFFFu);
    EXPECT_EQ(PciRead(*sim, PciAddress(31, 3, 0x20)), 0xFFFFFFFFu);
    EXPECT_FALSE(sim->SmbusHostPresent());
}

TEST(SimPci, IntelBoardAnswersTheSmbusFunction)
{
    auto sim = Machine(R"({"pci": {"lpc_device": "0x2440", "smbus_command": 5, "smbus_hostcfg": 1,
                                   "smbus_bar": "0xEF01"}})");
    EXPECT_EQ(PciRead(*sim, 0x80000000) & 0xFFFF, 0x8086u);
    EXPECT_EQ(PciRead(*sim, 0x8000F800), 0x24408086u);
    EXPECT_EQ(PciRead(*sim, 0x8000FB04), 5u);
    EXPECT_EQ(PciRead(*sim, 0x8000FB40), 1u);
    EXPECT_EQ(PciRead(*sim, 0x8000FB20), 0xEF01u);
    EXPECT_EQ(sim->SmbusBase(), 0xEF00);
    // Another bus, an absent device, and a latch without the enable bit answer nothing.
    EXPECT_EQ(PciRead(*sim, 0x80010000), 0xFFFFFFFFu);
    EXPECT_EQ(PciRead(*sim, PciAddress(2, 0, 0)), 0xFFFFFFFFu);
    EXPECT_EQ(PciRead(*sim, 0x0000F800), 0xFFFFFFFFu);
}

TEST(SimPci, AddressLatchReadsBackAndAccessesAreCounted)
{
    auto sim = Machine(R"({"pci": {}})");
    sim->WriteDword(kPciAddressPort, 0x12345678);
    EXPECT_EQ(sim->ReadDword(kPciAddressPort), 0x12345678u);
    sim->ResetCounters();
    PciRead(*sim, 0x8000FB20);
    PciWrite(*sim, 0x8000FB20, 0x0501);
    PciRead(*sim, 0x0000FB20); // not a configuration cycle
    EXPECT_EQ(sim->Counters().pciConfigReads, 1u);
    EXPECT_EQ(sim->Counters().pciConfigWrites, 1u);
    EXPECT_EQ(sim->Counters().dwordWrites, 4u);
    EXPECT_EQ(sim->Counters().dwordReads, 2u);
    EXPECT_EQ(sim->PciConfig(31, 3, 0x20), 0x0501u);
    EXPECT_EQ(sim->SmbusBase(), 0x500);
}

TEST(SimPci, EnableBitsStickOnlyWhenTheBoardSaysSo)
{
    for (bool stick : {true, false}) {
        auto sim = Machine(std::string(R"({"pci": {"smbus_command": 0, "smbus_hostcfg": 0, "enable_bits_stick": )") +
                           (stick ? "true" : "false") + "}}");
        PciWrite(*sim, 0x8000FB04, 0x0107);
        PciWrite(*sim, 0x8000FB40, 0x05);
        uint32_t setBit = stick ? 1 : 0;
        EXPECT_EQ(PciRead(*sim, 0x8000FB04), 0x0106u | setBit) << stick;
        EXPECT_EQ(PciRead(*sim, 0x8000FB40), 0x04u | setBit) << stick;
        // Other registers keep what was written either way.
        PciWrite(*sim, 0x8000FB20, 0x0601);
        EXPECT_EQ(PciRead(*sim, 0x8000FB20), 0x0601u);
    }
    // A set bit cannot be cleared either.
    auto sim = Machine(R"({"pci": {"enable_bits_stick": false}})");
    PciWrite(*sim, 0x8000FB04, 0);
    EXPECT_EQ(PciRead(*sim, 0x8000FB04), 1u);
}

// ---- SMBus host, driven register by register ----

constexpr uint16_t kBase = 0x400;

class SimSmbusHost : public ::testing::Test
{
protected:
    SimSmbusHost() : sim(Machine(R"({"pci": {}, "smbus": [{"address": "0x2D", "registers": {"0x20": 200}}]})")) {}

    uint8_t Status() { return sim->ReadByte(kBase); }
    void ClearStatus() { sim->WriteByte(kBase, Status()); }

    void Start(uint8_t address, uint8_t reg, bool read, uint8_t data = 0)
    {
        sim->WriteByte(kBase + 5, data);
        sim->WriteByte(kBase + 3, reg);
        sim->WriteByte(kBase + 4, static_cast<uint8_t>(address << 1 | (read ? 1 : 0)));
        sim->WriteByte(kBase + 2, 0x48); // byte data, start
    }

    std::unique_ptr<SimMachine> sim;
};

TEST_F(SimSmbusHost, ByteDataReadAndWrite)
{
    Start(0x2D, 0x20, true);
    EXPECT_EQ(Status(), kSmbusStatusDone);
    EXPECT_EQ(sim->ReadByte(kBase + 5), 200);
    ClearStatus();
    EXPECT_EQ(Status(), 0);

    Start(0x2D, 0x5A, false, 0x42);
    EXPECT_EQ(Status(), kSmbusStatusDone);
    EXPECT_EQ(sim->SmbusChip(0x2D)->Peek(0x5A), 0x42);
    EXPECT_EQ(sim->SmbusChip(0x2D)->WriteLog(), (std::vector<RegisterWrite>{{0x5A, 0, 0x42}}));
    EXPECT_EQ(sim->Counters().smbusTransactions, 2u);
}

TEST_F(SimSmbusHost, MissingDeviceSetsDeviceError)
{
    Start(0x2E, 0x20, true);
    EXPECT_EQ(Status(), kSmbusStatusDeviceError);
}

TEST_F(SimSmbusHost, StatusIsWriteOneToClear)
{
    Start(0x2E, 0x20, true);
    Start(0x2D, 0x20, true);
    EXPECT_EQ(Status(), kSmbusStatusDeviceError | kSmbusStatusDone);
    sim->WriteByte(kBase, kSmbusStatusDone);
    EXPECT_EQ(Status(), kSmbusStatusDeviceError);
}

TEST_F(SimSmbusHost, ControlKeepsBitZeroAndStartReadsBackZero)
{
    sim->WriteByte(kBase + 2, 0x49);
    EXPECT_EQ(sim->ReadByte(kBase + 2), 0x09);
    EXPECT_EQ(sim->SmbusControl(), 0x09);
}

TEST_F(SimSmbusHost, StartWhileKillIsHeldFails)
{
    sim->WriteByte(kBase + 4, 0x2D << 1 | 1);
    sim->WriteByte(kBase + 2, 0x4A);
    EXPECT_EQ(Status(), kSmbusStatusFailed);
}

TEST_F(SimSmbusHost, BusyHostIsStoppedByKill)
{
    sim->SetSmbusBusyForReads(100);
    EXPECT_EQ(Status() & kSmbusStatusBusy, kSmbusStatusBusy);
    sim->WriteByte(kBase + 2, 0x02);
    EXPECT_EQ(Status(), kSmbusStatusFailed);
    EXPECT_EQ(sim->Counters().smbusAborts, 1u);
}

TEST_F(SimSmbusHost, HostThatStaysBusyIgnoresKillAndStart)
{
    sim->SetSmbusStayBusy(true);
    sim->WriteByte(kBase + 2, 0x02);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Status(), kSmbusStatusBusy);
    }
    sim->WriteByte(kBase + 2, 0x00);
    Start(0x2D, 0x77, false, 1);
    EXPECT_EQ(Status(), kSmbusStatusBusy);
    EXPECT_TRUE(sim->SmbusChip(0x2D)->WriteLog().empty());
    sim->SetSmbusStayBusy(false);
    EXPECT_EQ(Status(), 0);
}

TEST_F(SimSmbusHost, InjectedErrorsEndTheNextTransactionsWithoutReachingTheDevice)
{
    sim->FailNextSmbusTransactions(2, kSmbusStatusCollision);
    for (int i = 0; i < 2; ++i) {
        Start(0x2D, 0x30, false, 9);
        EXPECT_EQ(Status(), kSmbusStatusCollision);
        ClearStatus();
    }
    EXPECT_TRUE(sim->SmbusChip(0x2D)->WriteLog().empty());
    Start(0x2D, 0x30, false, 9);
    EXPECT_EQ(Status(), kSmbusStatusDone);
    EXPECT_EQ(sim->SmbusChip(0x2D)->Peek(0x30), 9);
}

TEST_F(SimSmbusHost, StickyStatusSurvivesWriteBack)
{
    sim->SetSmbusStickyStatus(kSmbusStatusCollision);
    ClearStatus();
    EXPECT_EQ(Status(), kSmbusStatusCollision);
    Start(0x2D, 0x20, true);
    ClearStatus();
    EXPECT_EQ(Status(), kSmbusStatusCollision);
}

TEST_F(SimSmbusHost, HostIsSilentWhileDisabledAndFollowsItsBar)
{
    PciWrite(*sim, 0x8000FB40, 0);
    EXPECT_EQ(sim->ReadByte(kBase + 2), 0xFF);
    sim->WriteByte(kBase + 2, 0x48);
    EXPECT_EQ(sim->Counters().smbusTransactions, 0u);

    PciWrite(*sim, 0x8000FB40, 1);
    PciWrite(*sim, 0x8000FB20, 0x0581);
    EXPECT_EQ(sim->ReadByte(kBase), 0xFF);
    EXPECT_EQ(sim->ReadByte(0x580), 0);
}

TEST_F(SimSmbusHost, ChipsComeAndGo)
{
    sim->AddSmbusChip(0x4C, ChipDescription{ChipModel::Lm90, {}, {}, {}, {}});
    EXPECT_EQ(sim->SmbusAddresses(), (std::vector<uint8_t>{0x2D, 0x4C}));
    Start(0x4C, 0xFF, true);
    EXPECT_EQ(sim->ReadByte(kBase + 5), 0x21);
    sim->RemoveSmbusChip(0x4C);
    ClearStatus();
    Start(0x4C, 0xFF, true);
    EXPECT_EQ(Status(), kSmbusStatusDeviceError);
}

// ---- ISA chip and its register file ----

TEST(SimIsa, NoChipReadsAllOnes)
{
    auto sim = Machine("{}");
    sim->WriteByte(kIsaIndexPort, 0x20);
    EXPECT_EQ(sim->ReadByte(kIsaIndexPort), 0xFF);
    EXPECT_EQ(sim->ReadByte(kIsaDataPort), 0xFF);
    EXPECT_EQ(sim->ReadByte(0x80), 0xFF);
    EXPECT_EQ(sim->ReadDword(0x80), 0xFFFFFFFFu);
    EXPECT_EQ(sim->IsaChip(), nullptr);
}

TEST(SimIsa, IndexPortIsReadableAndDataReachesTheChip)
{
    auto sim = Machine(R"({"isa": {"model": "raw", "registers": {"0x20": 112}}})");
    sim->WriteByte(kIsaIndexPort, 0x20);
    EXPECT_EQ(sim->ReadByte(kIsaIndexPort), 0x20);
    EXPECT_EQ(sim->ReadByte(kIsaDataPort), 112);
    EXPECT_EQ(IsaRead(*sim, 0x21), 0); // not given
    IsaWrite(*sim, 0x21, 7);
    EXPECT_EQ(IsaRead(*sim, 0x21), 7);
}

TEST(SimIsa, WinbondBanksAndVendorHalves)
{
    auto sim = Machine(R"({"isa": {"model": "W83627HF", "registers": {"0x27": 45},
                                   "banks": {"1": {"0x50": 38}, "5": {"0x50": 190}}}})");
    EXPECT_EQ(IsaRead(*sim, 0x4F), 0xA3); // 0x4E = 0: low half
    IsaWrite(*sim, 0x4E, 0x80);
    EXPECT_EQ(IsaRead(*sim, 0x4F), 0x5C);
    EXPECT_EQ(IsaRead(*sim, 0x58), 0x21); // bank 0
    IsaWrite(*sim, 0x4E, 0x81);
    EXPECT_EQ(IsaRead(*sim, 0x50), 38);
    EXPECT_EQ(IsaRead(*sim, 0x27), 45); // unbanked
    EXPECT_EQ(IsaRead(*sim, 0x4F), 0x5C);
    IsaWrite(*sim, 0x4E, 0x05);
    EXPECT_EQ(IsaRead(*sim, 0x50), 190);
    EXPECT_EQ(IsaRead(*sim, 0x58), 0); // bank 5 has no identifier
    EXPECT_EQ(IsaRead(*sim, 0x4F), 0xA3);
    IsaWrite(*sim, 0x50, 11);
    EXPECT_EQ(sim->IsaChip()->Peek(0x50, 5), 11);
    EXPECT_EQ(sim->IsaChip()->Peek(0x50, 1), 38);
}

TEST(SimIsa, IdentityKeysOverrideThePreset)
{
    auto sim = Machine(R"({"isa": {"model": "W83627HF", "vendor": "0x12C3", "chip_id": "0x50",
                                   "registers": {"0x58": 1}}})");
    IsaWrite(*sim, 0x4E, 0x80);
    EXPECT_EQ(IsaRead(*sim, 0x4F), 0x12);
    IsaWrite(*sim, 0x4E, 0x00);
    EXPECT_EQ(IsaRead(*sim, 0x4F), 0xC3);
    EXPECT_EQ(IsaRead(*sim, 0x58), 0x50);

    // A vendor alone makes a raw chip answer the Winbond way.
    auto raw = Machine(R"({"isa": {"vendor": "0x5CA3"}})");
    EXPECT_TRUE(raw->IsaChip()->WinbondStyle());
    EXPECT_EQ(IsaRead(*raw, 0x4F), 0xA3);
}

TEST(SimIsa, OtherChipsHaveOneFlatRegisterFile)
{
    auto sim = Machine(R"({"isa": {"model": "IT8712F", "registers": {"0x50": 3}, "banks": {"1": {"0x50": 9}}}})");
    IsaWrite(*sim, 0x4E, 0x01);
    EXPECT_EQ(IsaRead(*sim, 0x50), 3);
    EXPECT_EQ(IsaRead(*sim, 0x4F), 0);
}

struct Preset
{
    const char* model;
    std::vector<std::pair<uint8_t, uint8_t>> registers; // bank 0 register, value
    uint16_t vendor;
};

class SimChipPreset : public ::testing::TestWithParam<Preset>
{
};

TEST_P(SimChipPreset, AnswersItsIdentification)
{
    ChipDescription described;
    described.model = *ChipModelFromName(GetParam().model);
    SimChip chip(described);
    for (const auto& [reg, value] : GetParam().registers) {
        EXPECT_EQ(chip.Read(reg), value) << GetParam().model << " register " << int(reg);
    }
    EXPECT_EQ(chip.Vendor(), GetParam().vendor);
    if (chip.WinbondStyle()) {
        chip.Write(SimChip::kBankSelect, 0x80);
        EXPECT_EQ(chip.Read(SimChip::kVendorId), GetParam().vendor >> 8);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Models, SimChipPreset,
    ::testing::Values(Preset{"W83781D", {{0x58, 0x10}, {0x4F, 0xA3}}, 0x5CA3},
                      Preset{"W83782D", {{0x58, 0x30}}, 0x5CA3}, Preset{"W83783S", {{0x58, 0x40}}, 0x5CA3},
                      Preset{"W83627HF", {{0x58, 0x21}}, 0x5CA3}, Preset{"W83627THF", {{0x58, 0x90}}, 0x5CA3},
                      Preset{"W83627EHF", {{0x58, 0xA1}}, 0x5CA3}, Preset{"W83637HF", {{0x58, 0x80}}, 0x5CA3},
                      Preset{"W83697HF", {{0x58, 0x60}}, 0x5CA3},
                      Preset{"AS99127F-rev1", {{0x58, 0x31}, {0x4F, 0xC3}}, 0x12C3},
                      Preset{"AS99127F-rev2", {{0x58, 0x31}, {0x4F, 0xA3}}, 0x5CA3},
                      Preset{"ASB100", {{0x58, 0x31}, {0x4F, 0x94}}, 0x0694},
                      Preset{"IT8712F", {{0x5B, 0x12}, {0x58, 0x80}, {0x4F, 0}}, 0},
                      Preset{"IT8705F", {{0x5B, 0x12}, {0x58, 0x90}}, 0}, Preset{"LM87", {{0x3E, 2}, {0x3F, 6}}, 0},
                      Preset{"LM90", {{0xFE, 1}, {0xFF, 0x21}}, 0},
                      Preset{"LM75", {{0x00, 0}, {0x58, 0}, {0xFF, 0}}, 0}, Preset{"raw", {{0x58, 0}, {0x4F, 0}}, 0}),
    [](const ::testing::TestParamInfo<Preset>& info) {
        const auto& c = info.param;
        (void)c;
        return calventa::testnames::CaseName(c.model);
    });

TEST(SimChipRecording, LogsEveryWriteWithItsBank)
{
    ChipDescription described;
    described.model = ChipModel::W83627HF;
    SimChip chip(described);
    chip.Write(0x4E, 0x05);
    chip.Write(0x50, 0x11);
    chip.Write(0x5A, 0x80);
    chip.Write(0x4E, 0x00);
    chip.Write(0x5A, 0x40);
    EXPECT_EQ(chip.WriteLog(),
              (std::vector<RegisterWrite>{
                  {0x4E, 0, 0x05}, {0x50, 5, 0x11}, {0x5A, 5, 0x80}, {0x4E, 0, 0x00}, {0x5A, 0, 0x40}}));
    EXPECT_EQ(chip.LastWrites(), (std::map<uint8_t, uint8_t>{{0x4E, 0x00}, {0x50, 0x11}, {0x5A, 0x40}}));
    EXPECT_EQ(chip.Peek(0x5A, 5), 0x80);
    EXPECT_EQ(chip.Peek(0x5A, 0), 0x40);
    chip.Poke(0x20, 1); // test access is not a bus write
    chip.ClearWriteLog();
    EXPECT_TRUE(chip.WriteLog().empty());
    EXPECT_TRUE(chip.LastWrites().empty());
    EXPECT_EQ(chip.Peek(0x20, 9), 0);
}

// A board left running for days (the desktop program, a watch) keeps a bounded record.
TEST(SimChipRecording, KeepsTheRecentWritesWithoutGrowingWithUptime)
{
    ChipDescription described;
    described.model = ChipModel::W83627HF;
    SimChip chip(described);
    for (size_t i = 0; i < 5 * SimChip::kKeptWrites; ++i) {
        chip.Write(0x5A, static_cast<uint8_t>(i));
    }
    chip.Write(0x50, 0x77);
    EXPECT_GE(chip.WriteLog().size(), SimChip::kKeptWrites);
    EXPECT_LE(chip.WriteLog().size(), 2 * SimChip::kKeptWrites);
    EXPECT_EQ(chip.WriteLog().back(), (RegisterWrite{0x50, 0, 0x77}));
    const RegisterWrite before = chip.WriteLog()[chip.WriteLog().size() - 2];
    EXPECT_EQ(before.value, static_cast<uint8_t>(5 * SimChip::kKeptWrites - 1));
}

TEST(SimChipRecording, VendorWritesLandInTheSelectedHalf)
{
    ChipDescription described;
    described.model = ChipModel::W83627HF;
    SimChip chip(described);
    chip.Write(0x4F, 0x11);
    chip.Write(0x4E, 0x80);
    chip.Write(0x4F, 0x22);
    EXPECT_EQ(chip.Vendor(), 0x2211);
    EXPECT_EQ(chip.Read(0x4F), 0x22);
}

// ---- port access refused ----

TEST(SimPorts, RefusedAccessShowsNothing)
{
    auto sim = Machine(R"({"port_access": false, "pci": {}, "isa": {"model": "W83627HF"}})");
    EXPECT_FALSE(sim->RequestAccess());
    EXPECT_EQ(IsaRead(*sim, 0x58), 0xFF);
    EXPECT_EQ(PciRead(*sim, 0x80000000), 0xFFFFFFFFu);
    EXPECT_EQ(sim->Counters().byteReads, 1u);
    EXPECT_EQ(sim->Counters().byteWrites, 1u);

    auto granted = Machine("{}");
    EXPECT_TRUE(granted->RequestAccess());
    EXPECT_EQ(granted->AccessMethod(), "giveio");
}

// ---- clock ----

TEST(SimClock, StartsAtTheFixedTimeAndAdvancesVirtually)
{
    auto sim = Machine("{}");
    platform::LocalDateTime now = sim->Now();
    EXPECT_EQ(sim->FormatShortDate(now), "08.12.2004");
    EXPECT_EQ(sim->FormatLongTime(now), "14:05:33");

    sim->SleepMs(1);
    sim->SleepMs(3);
    sim->SleepMs(996);
    EXPECT_EQ(sim->Counters().sleepCalls, 3u);
    EXPECT_EQ(sim->Counters().sleptMs, 1000u);
    EXPECT_EQ(sim->FormatLongTime(sim->Now()), "14:05:34");

    sim->SetNow({2004, 12, 31, 23, 59, 59});
    sim->AdvanceMs(1500);
    now = sim->Now();
    EXPECT_EQ(sim->FormatShortDate(now), "01.01.2005");
    EXPECT_EQ(sim->FormatLongTime(now), "00:00:00");
    sim->SetNow({2004, 2, 28, 23, 0, 0});
    sim->AdvanceMs(3600 * 1000);
    EXPECT_EQ(sim->FormatShortDate(sim->Now()), "29.02.2004");

    EXPECT_EQ(sim->ElapsedMs(), 1000u + 1500u + 3600000u);
    sim->ResetCounters();
    EXPECT_EQ(sim->Counters().sleptMs, 0u);
    EXPECT_EQ(sim->ElapsedMs(), 1000u + 1500u + 3600000u);
}

// ---- mutexes ----

TEST(SimMutex, WaitsAndReleasesAreCountedInOrder)
{
    auto sim = Machine("{}");
    auto isa = sim->CreateNamedMutex(platform::kIsaMutexName);
    auto smbus = sim->CreateNamedMutex(platform::kSmbusMutexName);
    ASSERT_TRUE(isa && smbus);
    EXPECT_TRUE(isa->Wait(platform::kBusMutexTimeoutMs));
    EXPECT_EQ(sim->MutexStatsFor(platform::kIsaMutexName).depth, 1);
    isa->Release();
    EXPECT_TRUE(smbus->Wait(platform::kBusMutexTimeoutMs));
    smbus->Release();
    smbus->Release(); // one too many

    MutexStats stats = sim->MutexStatsFor(platform::kSmbusMutexName);
    EXPECT_EQ(stats.creations, 1u);
    EXPECT_EQ(stats.waits, 1u);
    EXPECT_EQ(stats.releases, 2u);
    EXPECT_EQ(stats.unownedReleases, 1u);
    EXPECT_EQ(stats.depth, 0);
    using Kind = MutexEvent::Kind;
    EXPECT_EQ(sim->MutexEvents(), (std::vector<MutexEvent>{{platform::kIsaMutexName, Kind::Wait, true},
                                                           {platform::kIsaMutexName, Kind::Release, true},
                                                           {platform::kSmbusMutexName, Kind::Wait, true},
                                                           {platform::kSmbusMutexName, Kind::Release, true},
                                                           {platform::kSmbusMutexName, Kind::Release, false}}));
    EXPECT_EQ(sim->ElapsedMs(), 0u);
}

TEST(SimMutex, HeldElsewhereFailsAfterTheTimeout)
{
    auto sim = Machine("{}");
    auto isa = sim->CreateNamedMutex(platform::kIsaMutexName);
    sim->SetMutexHeldElsewhere(platform::kIsaMutexName, true);
    EXPECT_FALSE(isa->Wait(platform::kBusMutexTimeoutMs));
    EXPECT_EQ(sim->ElapsedMs(), 5000u);
    EXPECT_EQ(sim->MutexStatsFor(platform::kIsaMutexName).failedWaits, 1u);
    EXPECT_EQ(sim->MutexStatsFor(platform::kIsaMutexName).depth, 0);
    // The other bus is not affected.
    EXPECT_TRUE(sim->CreateNamedMutex(platform::kSmbusMutexName)->Wait(platform::kBusMutexTimeoutMs));
    sim->SetMutexHeldElsewhere(platform::kIsaMutexName, false);
    EXPECT_TRUE(isa->Wait(platform::kBusMutexTimeoutMs));
}

TEST(SimMutex, CreationCanFailAndHandlesMayOutliveTheMachine)
{
    auto sim = Machine("{}");
    sim->SetMutexCreationFails(true);
    EXPECT_EQ(sim->CreateNamedMutex(platform::kIsaMutexName), nullptr);
    sim->SetMutexCreationFails(false);
    auto mutex = sim->CreateNamedMutex(platform::kIsaMutexName);
    sim.reset();
    EXPECT_TRUE(mutex->Wait(10));
    mutex->Release();
}

// ---- system facts ----

TEST(SimFacts, FollowTheBoardAndTheKnobs)
{
    auto sim = Machine(R"({"family": "9x"})");
    EXPECT_EQ(sim->Family(), platform::PlatformFamily::Windows9x);
    EXPECT_EQ(Machine("{}")->Family(), platform::PlatformFamily::NtFamily);
    EXPECT_EQ(sim->PrimaryScreen().width, 1024);
    EXPECT_EQ(sim->PrimaryScreen().height, 768);
    sim->SetPrimaryScreen({800, 600});
    EXPECT_EQ(sim->PrimaryScreen().width, 800);
    EXPECT_EQ(sim->DecimalSeparator(), ".");
    sim->SetDecimalSeparator(",");
    EXPECT_EQ(sim->DecimalSeparator(), ",");
    EXPECT_EQ(sim->ExecutablePath(), "/usr/bin/calventa");
    EXPECT_EQ(sim->DefaultProgramDirectory(), "");
    sim->SetDefaultProgramDirectory("/tmp/x");
    EXPECT_EQ(sim->DefaultProgramDirectory(), "/tmp/x");
    EXPECT_EQ(sim->JoinPath("/tmp/x", "settings.dat"), "/tmp/x/settings.dat");
    EXPECT_EQ(sim->JoinPath("/tmp/x/", "settings.dat"), "/tmp/x/settings.dat");
    EXPECT_EQ(sim->JoinPath("", "settings.dat"), "settings.dat");
}

} // namespace
} // namespace calventa::sim
