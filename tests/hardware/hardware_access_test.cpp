#include <gtest/gtest.h>

#include "sim_bench.h"

namespace calventa::hardware {
namespace {

using testing::IntelBoard;
using testing::SimBench;
using Lines = std::vector<std::string>;

TEST(StartHardwareAccess, NtFamilyWithPortAccess)
{
    SimBench bench("{}");
    bench.State->Chips.ChipCount = 3;
    EXPECT_TRUE(bench.Engine->StartHardwareAccess());
    EXPECT_EQ(bench.State->Chips.ChipCount, 0);
    EXPECT_EQ(bench.LogMessages(), (Lines{"Log opened", "Sensors I/O init", "Sensors I/O init successful (giveio)"}));
}

TEST(StartHardwareAccess, NtFamilyWithoutPortAccessSkipsTheSearch)
{
    SimBench bench(R"({"port_access": false, "isa": {"model": "W83627HF"}})");
    EXPECT_FALSE(bench.StartAndSearch());
    EXPECT_EQ(bench.State->Chips.ChipCount, 0);
    EXPECT_EQ(bench.LogMessages(), (Lines{"Log opened", "Sensors I/O init", "Sensors I/O init failed!"}));
}

TEST(StartHardwareAccess, Windows9xNeedsNoDriver)
{
    SimBench bench(R"({"family": "9x", "port_access": false})");
    EXPECT_TRUE(bench.Engine->StartHardwareAccess());
    EXPECT_EQ(bench.LogMessages().back(), "Sensors I/O init successful (98)");
}

TEST(FindSmbusBase, IntelHostFound)
{
    SimBench bench(IntelBoard(""));
    EXPECT_TRUE(bench.Engine->FindSmbusBase());
    EXPECT_EQ(bench.Engine->Smbus().BasePort(), 0x400);
    EXPECT_EQ(bench.LogMessages(),
              (Lines{"Log opened", "Get SMB base address..", "Intel chipset detected", "SMB address=0400"}));
}

TEST(FindSmbusBase, RefusesOtherChipsets)
{
    SimBench noPci("{}");
    EXPECT_FALSE(noPci.Engine->FindSmbusBase());
    EXPECT_EQ(noPci.LogMessages(), (Lines{"Log opened", "Get SMB base address.."}));

    SimBench unlisted(R"({"pci": {"lpc_device": "0x2640"}})");
    EXPECT_FALSE(unlisted.Engine->FindSmbusBase());
    EXPECT_EQ(unlisted.LogMessages(), (Lines{"Log opened", "Get SMB base address..", "Intel chipset detected"}));
}

TEST(FindSmbusBase, AcceptsEveryListedLpcFamily)
{
    for (const char* device : {"0x24C0", "0x2500", "0x1A10", "0x1BFF"}) {
        SimBench bench(std::string(R"({"pci": {"lpc_device": ")") + device + "\"}}");
        EXPECT_TRUE(bench.Engine->FindSmbusBase()) << device;
    }
}

TEST(FindSmbusBase, EnablesTheHostOnlyWhenNeeded)
{
    SimBench enabled(IntelBoard(""));
    enabled.Sim->ResetCounters();
    EXPECT_TRUE(enabled.Engine->FindSmbusBase());
    EXPECT_EQ(enabled.Sim->Counters().pciConfigWrites, 0u); // bits already set are not rewritten

    SimBench disabled(R"({"pci": {"smbus_command": "0x0000", "smbus_hostcfg": "0x00"}})");
    EXPECT_TRUE(disabled.Engine->FindSmbusBase());
    EXPECT_EQ(disabled.Sim->PciConfig(31, 3, 0x04) & 1, 1u);
    EXPECT_EQ(disabled.Sim->PciConfig(31, 3, 0x40) & 1, 1u);

    SimBench stuck(R"({"pci": {"smbus_hostcfg": "0x00", "enable_bits_stick": false}})");
    EXPECT_FALSE(stuck.Engine->FindSmbusBase());
}

TEST(FindSmbusBase, UnassignedBarIsRefusedAndZeroAccepted)
{
    SimBench unassigned(R"({"pci": {"smbus_bar": "0xFFFFFFFF"}})");
    EXPECT_FALSE(unassigned.Engine->FindSmbusBase());

    SimBench zero(R"({"pci": {"smbus_bar": "0x0001"}})");
    EXPECT_TRUE(zero.Engine->FindSmbusBase());
    EXPECT_EQ(zero.LogMessages().back(), "SMB address=0000");
}

} // namespace
} // namespace calventa::hardware

namespace calventa::hardware {
namespace {

// The simulated machine with a port range owned by a kernel driver (by default the SMBus
// host's), as the Linux back end reports it: reads float high, writes are dropped, and a
// note appears once touched.
class DriverOwnedSmbus : public platform::PortIo
{
public:
    explicit DriverOwnedSmbus(sim::SimMachine& sim, uint16_t first = 0x400, uint16_t last = 0x41F,
                              std::string note = "Port 0400-041f claimed by i801_smbus, not used")
        : m_sim(sim), m_first(first), m_last(last), m_note(std::move(note))
    {
    }
    bool RequestAccess() override { return m_sim.RequestAccess(); }
    std::string AccessMethod() const override { return "iopl"; }
    std::vector<std::string> AccessNotes() const override { return m_notes; }
    bool OwnedByKernelDriver(uint16_t port) override { return Owned(port); }
    uint8_t ReadByte(uint16_t port) override { return Owned(port) ? 0xFF : m_sim.ReadByte(port); }
    void WriteByte(uint16_t port, uint8_t value) override
    {
        if (!Owned(port)) {
            m_sim.WriteByte(port, value);
        }
    }
    uint32_t ReadDword(uint16_t port) override { return m_sim.ReadDword(port); }
    void WriteDword(uint16_t port, uint32_t value) override { m_sim.WriteDword(port, value); }

private:
    bool Owned(uint16_t port)
    {
        const bool owned = port >= m_first && port <= m_last;
        if (owned && m_notes.empty()) {
            m_notes.push_back(m_note);
        }
        return owned;
    }
    sim::SimMachine& m_sim;
    uint16_t m_first;
    uint16_t m_last;
    std::string m_note;
    std::vector<std::string> m_notes;
};

TEST(StartHardwareAccess, DriverOwnedSmbusHostIsLoggedAndTreatedAsEmpty)
{
    testing::SimBench bench(testing::IntelBoard(R"("smbus": [{"address": "0x48", "model": "LM75"}])"));
    DriverOwnedSmbus ports(*bench.Sim);
    platform::Platform platform{ports, *bench.Sim, *bench.Sim, bench.Store, bench.Files, *bench.Sim, *bench.Sim};
    core::MonitorState state(platform);
    state.ProgramPath = "/sim";
    state.SetDefaultSettings();
    state.Log().OpenLog("/sim/owned.txt", true);
    HardwareEngine engine(state);
    engine.CreateBusMutexes();
    ASSERT_TRUE(engine.StartHardwareAccess());
    const uint64_t before = bench.Sim->ElapsedMs();
    EXPECT_FALSE(engine.SearchChips({}));
    EXPECT_EQ(bench.Sim->ElapsedMs() - before, 0u) << "polled a host the kernel owns";
    const std::string log = bench.Files.Text("/sim/owned.txt");
    EXPECT_NE(log.find("Sensors I/O init successful (iopl)"), std::string::npos);
    EXPECT_NE(log.find("SMB address=0400\r\n"), std::string::npos);
    EXPECT_TRUE(log.ends_with("Port 0400-041f claimed by i801_smbus, not used\r\n")) << log;
    EXPECT_EQ(state.Chips.ChipCount, 0);
}

// The w83627hf driver holds 0295-0296: the all-ones it "reads" must not be logged as the
// vendor byte, and the search goes on to the SMBus.
TEST(StartHardwareAccess, DriverOwnedIsaPortsAreNotSearchedNorLoggedAsRead)
{
    testing::SimBench bench(testing::IntelBoard(R"("isa": {"model": "W83627HF"},
                                                   "smbus": [{"address": "0x48", "model": "LM75"}])"));
    DriverOwnedSmbus ports(*bench.Sim, 0x295, 0x296, "Port 0295-0296 claimed by w83627hf, not used");
    platform::Platform platform{ports, *bench.Sim, *bench.Sim, bench.Store, bench.Files, *bench.Sim, *bench.Sim};
    core::MonitorState state(platform);
    state.ProgramPath = "/sim";
    state.SetDefaultSettings();
    state.Log().OpenLog("/sim/owned.txt", true);
    HardwareEngine engine(state);
    engine.CreateBusMutexes();
    ASSERT_TRUE(engine.StartHardwareAccess());
    EXPECT_TRUE(engine.SearchChips({}));
    const std::string log = bench.Files.Text("/sim/owned.txt");
    EXPECT_EQ(log.find("ISA reg"), std::string::npos) << log;
    EXPECT_NE(log.find("Port 0295-0296 claimed by w83627hf, not used\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("ISA search skipped: its ports belong to a kernel driver\r\n"), std::string::npos) << log;
    EXPECT_TRUE(bench.Sim->IsaChip()->WriteLog().empty());
    ASSERT_EQ(state.Chips.ChipCount, 1);
    EXPECT_EQ(state.Chips.Records[0].Name, "LM75");
}

// Lock files that cannot be opened: the log line carries the platform's reason.
class UnopenableLocks : public platform::MutexFactory
{
public:
    std::unique_ptr<platform::NamedMutex> CreateNamedMutex(const std::string&) override { return nullptr; }
    std::string CreationError() const override { return "cannot open /run/lock/x: No such file or directory"; }
};

TEST(StartHardwareAccess, AMissingLockDirectoryIsLoggedWithItsCause)
{
    testing::SimBench bench(R"({"isa": {"model": "W83627HF"}})");
    UnopenableLocks locks;
    platform::Platform platform{*bench.Sim, *bench.Sim, locks, bench.Store, bench.Files, *bench.Sim, *bench.Sim};
    core::MonitorState state(platform);
    state.ProgramPath = "/sim";
    state.Log().OpenLog("/sim/locks.txt", true);
    HardwareEngine engine(state);
    engine.CreateBusMutexes();
    const std::string log = bench.Files.Text("/sim/locks.txt");
    EXPECT_NE(log.find("Bus lock Access_ISABUS.HTP.Method unavailable (cannot open /run/lock/x: No such file or "
                       "directory): bus not used\r\n"),
              std::string::npos)
        << log;
}

} // namespace
} // namespace calventa::hardware
