#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "app/machine_host.h"
#include "platform/sim/sim_machine.h"

namespace calventa::app {
namespace {

std::unique_ptr<MachineHost> DemoHost()
{
    std::string error;
    auto host = MachineHost::ForBoard(std::string(CALVENTA_SOURCE_DIR) + "/boards/demo.json", error);
    EXPECT_NE(host, nullptr) << error;
    return host;
}

TEST(BoardHostClock, StandsStillBetweenVirtualWaitsUnlessAskedToFollowRealTime)
{
    auto host = DemoHost();
    ASSERT_NE(host, nullptr);
    sim::SimMachine& board = *host->Sim();
    host->Get().clock.Now();
    const uint64_t before = board.ElapsedMs();
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    host->Get().clock.Now();
    EXPECT_EQ(board.ElapsedMs(), before);

    host->FollowRealTime();
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    host->Get().clock.Now();
    EXPECT_GE(board.ElapsedMs(), before + 60);
}

TEST(BoardHostClock, KeepsVirtualWaitsThatRunAheadOfRealTime)
{
    auto host = DemoHost();
    ASSERT_NE(host, nullptr);
    host->FollowRealTime();
    const uint64_t before = host->Sim()->ElapsedMs();
    host->Get().clock.SleepMs(3'600'000);
    host->Get().clock.Now();
    EXPECT_GE(host->Sim()->ElapsedMs(), before + 3'600'000);
    EXPECT_LT(host->Sim()->ElapsedMs(), before + 3'600'000 + 60'000);
}

} // namespace
} // namespace calventa::app
