#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
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

// The board file's clock stands in 2004 for repeatable output; the desktop program running on a
// board follows real time from the wall clock's date, time and UTC offset.
TEST(BoardHostClock, FollowingRealTimeStartsFromTodaysLocalTime)
{
    auto host = DemoHost();
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(host->Get().clock.Now().year, 2004);

    const time_t before = time(nullptr);
    host->FollowRealTime();
    const platform::LocalDateTime now = host->Get().clock.Now();
    const time_t after = time(nullptr);
    tm first = {};
    tm last = {};
    ASSERT_NE(localtime_r(&before, &first), nullptr);
    ASSERT_NE(localtime_r(&after, &last), nullptr);
    const auto seconds = [](int year, int month, int day, int hour, int minute, int second) {
        return ((((static_cast<int64_t>(year) * 12 + month) * 31 + day) * 24 + hour) * 60 + minute) * 60 + second;
    };
    const int64_t shown = seconds(now.year, now.month, now.day, now.hour, now.minute, now.second);
    EXPECT_GE(shown, seconds(first.tm_year + 1900, first.tm_mon + 1, first.tm_mday, first.tm_hour, first.tm_min,
                             first.tm_sec));
    EXPECT_LE(shown,
              seconds(last.tm_year + 1900, last.tm_mon + 1, last.tm_mday, last.tm_hour, last.tm_min, last.tm_sec));
    EXPECT_EQ(now.utcOffsetSeconds, last.tm_gmtoff);
}

} // namespace
} // namespace calventa::app
