#include "hardware/port_access.h"

#include <gtest/gtest.h>

#include "sim_bench.h"

namespace calventa::hardware {
namespace {

using testing::IntelBoard;
using testing::SimBench;

TEST(IsaRegisterAccess, LeavesTheIndexPortAsFoundAndUsesFourPortOperations)
{
    SimBench bench(R"({"isa": {"model": "W83627HF", "registers": {"0x27": 45}}})");
    sim::SimMachine& sim = *bench.Sim;
    sim.WriteByte(kIsaBase, 0x3A); // another program's pending index
    sim.ResetCounters();

    EXPECT_EQ(IsaReadRegister(sim, kIsaBase, 0x27), 45);
    EXPECT_EQ(sim.Counters().byteReads + sim.Counters().byteWrites, 4u);
    EXPECT_EQ(sim.ReadByte(kIsaBase), 0x3A);

    sim.ResetCounters();
    IsaWriteRegister(sim, kIsaBase, 0x5A, 0x80);
    EXPECT_EQ(sim.Counters().byteWrites, 3u); // index, data, restored index
    EXPECT_EQ(sim.Counters().byteReads, 1u);
    EXPECT_EQ(sim.ReadByte(kIsaBase), 0x3A);
    ASSERT_EQ(sim.IsaChip()->WriteLog().size(), 1u);
    EXPECT_EQ(sim.IsaChip()->WriteLog()[0], (sim::RegisterWrite{0x5A, 0, 0x80}));
}

TEST(IsaRegisterAccess, EmptyBusFloatsHigh)
{
    SimBench bench("{}");
    EXPECT_EQ(IsaReadRegister(*bench.Sim, kIsaBase, 0x4F), 0xFF);
}

TEST(PciConfigAccess, ReadsAndWritesThroughMechanismOneAndRestoresTheAddressPort)
{
    SimBench bench(IntelBoard(""));
    sim::SimMachine& sim = *bench.Sim;
    sim.WriteDword(kPciAddressPort, 0x80001234);

    EXPECT_EQ(PciConfigRead(sim, PciAddress(0, 0, 0, 0)) & 0xFFFF, 0x8086u);
    EXPECT_EQ(PciConfigRead(sim, PciAddress(0, 31, 0, 0)), 0x24D08086u);
    EXPECT_EQ(sim.ReadDword(kPciAddressPort), 0x80001234u);

    PciConfigWrite(sim, PciAddress(0, 31, 3, 0x20), 0x0501);
    EXPECT_EQ(sim.PciConfig(31, 3, 0x20), 0x0501u);
    EXPECT_EQ(sim.ReadDword(kPciAddressPort), 0x80001234u);
}

TEST(PciConfigAccess, AddressLayout)
{
    EXPECT_EQ(PciAddress(0, 0, 0, 0), 0x80000000u);
    EXPECT_EQ(PciAddress(0, 31, 0, 0), 0x8000F800u);
    EXPECT_EQ(PciAddress(0, 31, 3, 0x04), 0x8000FB04u);
    EXPECT_EQ(PciAddress(0, 31, 3, 0x40), 0x8000FB40u);
    EXPECT_EQ(PciAddress(0, 31, 3, 0x20), 0x8000FB20u);
}

} // namespace
} // namespace calventa::hardware
