#include "hardware/smbus_host.h"

#include <gtest/gtest.h>

#include "sim_bench.h"

namespace calventa::hardware {
namespace {

using testing::IntelBoard;
using testing::SimBench;

constexpr uint16_t kBase = 0x400;

class SmbusHostTest : public ::testing::Test
{
protected:
    SmbusHostTest()
        : bench(
              IntelBoard(R"("smbus": [{"address": "0x2D", "model": "raw", "registers": {"0x20": 200, "0x21": 255}}])")),
          sim(*bench.Sim), host(sim, sim)
    {
        host.SetBasePort(kBase);
    }

    uint8_t Status() { return sim.ReadByte(kBase); }

    SimBench bench;
    sim::SimMachine& sim;
    SmbusHost host;
};

TEST_F(SmbusHostTest, ReadsAndWritesDeviceRegisters)
{
    EXPECT_EQ(host.SmbusReadByte(0x2D, 0x20), 200);
    EXPECT_EQ(host.SmbusReadByte(0x2D, 0x21), 255); // 0xFF is a byte, not a failure
    EXPECT_EQ(host.SmbusWriteByte(0x2D, 0x5A, 0x42), 0);
    EXPECT_EQ(sim.SmbusChip(0x2D)->Peek(0x5A), 0x42);
    EXPECT_EQ(host.SmbusReadByte(0x2D, 0x5A), 0x42);
    EXPECT_EQ(Status(), 0); // every transaction clears its final status
    EXPECT_GE(sim.Counters().sleptMs, 4u * 3u);
}

TEST_F(SmbusHostTest, MissingDeviceFails)
{
    EXPECT_EQ(host.SmbusReadByte(0x2E, 0x20), -1);
    EXPECT_EQ(host.SmbusWriteByte(0x2E, 0x20, 1), -1);
    EXPECT_EQ(Status(), 0);
}

TEST_F(SmbusHostTest, AnyErrorBitFailsTheTransactionAndIsCleared)
{
    for (const uint8_t bits : {sim::kSmbusStatusDeviceError, sim::kSmbusStatusCollision, sim::kSmbusStatusFailed}) {
        sim.FailNextSmbusTransactions(1, bits);
        EXPECT_EQ(host.SmbusReadByte(0x2D, 0x20), -1) << int(bits);
        EXPECT_EQ(Status(), 0);
        EXPECT_EQ(host.SmbusReadByte(0x2D, 0x20), 200);
    }
}

TEST_F(SmbusHostTest, LeftoverStatusIsClearedBeforeTheStart)
{
    sim.FailNextSmbusTransactions(1, sim::kSmbusStatusDeviceError);
    uint8_t value = 0;
    // Drive a failing transaction by hand that leaves its status behind.
    sim.WriteByte(kBase + 4, 0x2D << 1 | 1);
    sim.WriteByte(kBase + 2, 0x48);
    ASSERT_NE(Status(), 0);
    EXPECT_TRUE(host.SmbusReadByteData(kBase, 0x2D, 0x20, value));
    EXPECT_EQ(value, 200);
}

TEST_F(SmbusHostTest, StickyStatusFailsWithoutStarting)
{
    sim.SetSmbusStickyStatus(sim::kSmbusStatusCollision);
    sim.ResetCounters();
    EXPECT_EQ(host.SmbusReadByte(0x2D, 0x20), -1);
    EXPECT_EQ(host.SmbusWriteByte(0x2D, 0x20, 1), -1);
    EXPECT_EQ(sim.Counters().smbusTransactions, 0u);
    EXPECT_EQ(sim.SmbusChip(0x2D)->WriteLog().size(), 0u);
}

TEST_F(SmbusHostTest, HostThatStaysBusyIsAbortedTwiceThenGivenUp)
{
    sim.SetSmbusStayBusy(true);
    sim.ResetCounters();
    EXPECT_EQ(host.SmbusReadByte(0x2D, 0x20), -1);
    EXPECT_EQ(sim.Counters().smbusAborts, 2u);
    EXPECT_EQ(sim.Counters().smbusTransactions, 0u);
    EXPECT_EQ(sim.Counters().sleptMs, 2u * kIdlePolls);
}

TEST_F(SmbusHostTest, HostBusyForAWhileIsWaitedFor)
{
    sim.SetSmbusBusyForReads(10);
    EXPECT_EQ(host.SmbusReadByte(0x2D, 0x20), 200);
}

TEST_F(SmbusHostTest, BitZeroOfHostControlIsCarriedThrough)
{
    for (const uint8_t bit : {0, 1}) {
        sim.WriteByte(kBase + 2, bit);
        EXPECT_EQ(host.SmbusReadByte(0x2D, 0x20), 200);
        EXPECT_EQ(sim.SmbusControl() & 1, bit);
        EXPECT_EQ(host.SmbusWriteByte(0x2D, 0x30, 7), 0);
        EXPECT_EQ(sim.SmbusControl() & 1, bit);
    }
}

} // namespace
} // namespace calventa::hardware
