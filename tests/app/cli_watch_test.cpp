// The watch loop on a fake clock, its real-time clock's signal wake-up, the textfile write
// and a simulated board following its file.
#include "cli/cli_watch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "../disks/disk_fakes.h"
#include "../platform/linux_test_support.h"
#include "cli/board_follower.h"
#include "case_name.h"
#include "monitor_on_board.h"

namespace calventa::app {
namespace {

namespace fs = std::filesystem;

struct WatchArgument
{
    const char* text;
    std::optional<int> seconds;
};

class WatchSeconds : public ::testing::TestWithParam<WatchArgument>
{
};

TEST_P(WatchSeconds, WholeSecondsFromOneToADay)
{
    EXPECT_EQ(ParseWatchSeconds(GetParam().text), GetParam().seconds);
}

INSTANTIATE_TEST_SUITE_P(Arguments, WatchSeconds,
                         ::testing::Values(WatchArgument{"1", 1}, WatchArgument{"30", 30},
                                           WatchArgument{"86400", 86400}, WatchArgument{"0", std::nullopt},
                                           WatchArgument{"-1", std::nullopt}, WatchArgument{"86401", std::nullopt},
                                           WatchArgument{"9999999999", std::nullopt}, WatchArgument{"", std::nullopt},
                                           WatchArgument{"1.5", std::nullopt}, WatchArgument{" 5", std::nullopt},
                                           WatchArgument{"+5", std::nullopt}),
                         [](const ::testing::TestParamInfo<WatchArgument>& info) {
                             return "Text_" + testnames::CaseName(info.param.text);
                         });

// Time that passes only by waiting, or by hand.
class FakeWatchClock final : public WatchClock
{
public:
    int64_t NowMs() override { return now; }
    void WaitUntil(int64_t deadlineMs) override
    {
        ++waits;
        now = std::max(now, deadlineMs);
    }
    int64_t now = 5000;
    int waits = 0;
};

constexpr const char* kBoardWithDisk = R"({"isa": {"model": "W83627HF", "registers": {"0x28": 135},
    "banks": {"1": {"0x50": 40}}}, "disks": [{"drive": 0, "temperature": 41, "attribute_entry": 0}]})";

class WatchOnBoard : public ::testing::Test
{
protected:
    WatchOnBoard()
        : drives(disks::testing::Board(kBoardWithDisk)), diskPlatform{drives, services}, board(kBoardWithDisk),
          monitor(*board.monitor)
    {
        monitor.AttachDisks(diskPlatform, notices, messages);
        monitor.StartUp(std::string("/sim"));
        hooks.output = [this] {
            outputTimes.push_back(clock.now);
            return true;
        };
    }

    sim::SimDisks drives;
    disks::testing::FakeServiceManager services;
    disks::testing::RecordingNotices notices;
    disks::testing::RecordingMessages messages;
    platform::DiskPlatform diskPlatform;
    testing::MonitorOnBoard board;
    Monitor& monitor;
    FakeWatchClock clock;
    WatchHooks hooks;
    std::vector<int64_t> outputTimes;
};

TEST_F(WatchOnBoard, AnOutputAtOnceThenAPassAndAnOutputEachInterval)
{
    const uint64_t readsBefore = board.sim->Counters().byteReads;
    const WatchResult result = RunWatch(monitor, clock, 30, hooks, 4);
    EXPECT_EQ(result.intervals, 4);
    EXPECT_FALSE(result.outputFailed);
    EXPECT_EQ(outputTimes, (std::vector<int64_t>{5000, 35000, 65000, 95000, 125000}));
    EXPECT_GT(board.sim->Counters().byteReads, readsBefore); // the passes read the chip
}

TEST_F(WatchOnBoard, TheDiskPassKeepsItsOwnInterval)
{
    ASSERT_EQ(monitor.State().Settings.DiskInterval, 120);
    drives.ClearCommands();
    // 10 ticks of 30 s: disk passes due at 120 s and 240 s; the one at 360 s is past the run.
    const WatchResult result = RunWatch(monitor, clock, 30, hooks, 10);
    EXPECT_EQ(result.diskPasses, 2);
    const uint64_t sentInTwoPasses = drives.Counts().sent;
    EXPECT_GT(sentInTwoPasses, 0u);

    drives.ClearCommands();
    FakeWatchClock fast;
    RunWatch(monitor, fast, 1, hooks, 119); // 119 s: no disk pass due yet
    EXPECT_EQ(drives.Counts().sent, 0u);
}

TEST_F(WatchOnBoard, NoDiskRowNoDiskPass)
{
    monitor.State().Settings.Slots[core::kSlotHd0].Enabled = 0;
    drives.ClearCommands();
    const WatchResult result = RunWatch(monitor, clock, 60, hooks, 10);
    EXPECT_EQ(result.diskPasses, 0);
    EXPECT_EQ(drives.Counts().sent, 0u);
}

TEST_F(WatchOnBoard, ALongPassDropsTheTicksItCoveredInsteadOfCatchingUp)
{
    int passes = 0;
    hooks.beforePass = [&] {
        if (++passes == 2) {
            clock.now += 3500; // the second pass takes 3.5 intervals of 1 s
        }
    };
    RunWatch(monitor, clock, 1, hooks, 4);
    EXPECT_EQ(outputTimes, (std::vector<int64_t>{5000, 6000, 10500, 11000, 12000}));
}

TEST_F(WatchOnBoard, AStopRequestEndsItBeforeTheNextPass)
{
    hooks.stopRequested = [this] { return outputTimes.size() == 3; };
    const WatchResult result = RunWatch(monitor, clock, 5, hooks);
    EXPECT_EQ(result.intervals, 2);
    EXPECT_EQ(outputTimes.size(), 3u);
}

// --- the real clock -----------------------------------------------------------------------

volatile std::sig_atomic_t g_seen = 0;
extern "C" void NoteSignal(int)
{
    g_seen = 1;
}

// The race a plain sleep has: the signal comes while a pass runs (blocked now), and the
// wait that follows must end at once instead of sleeping its whole interval.
TEST(SignalWatchClock, ASignalDuringAPassEndsTheNextWaitAtOnce)
{
    struct sigaction action = {};
    struct sigaction previous = {};
    action.sa_handler = NoteSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGUSR1, &action, &previous);
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGUSR1);
    g_seen = 0;
    {
        SignalWatchClock clock(signals);
        raise(SIGUSR1); // blocked: pending until the wait
        EXPECT_EQ(g_seen, 0);
        const auto start = std::chrono::steady_clock::now();
        clock.WaitUntil(clock.NowMs() + 20000);
        EXPECT_EQ(g_seen, 1);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    }
    sigset_t now;
    sigprocmask(SIG_BLOCK, nullptr, &now);
    EXPECT_EQ(sigismember(&now, SIGUSR1), 0); // the mask is back as it was
    sigaction(SIGUSR1, &previous, nullptr);
}

// --- the textfile -------------------------------------------------------------------------

class Textfile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/calventa-textfile-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }
    static std::string Read(const fs::path& path)
    {
        std::ifstream in(path);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path dir;
};

TEST_F(Textfile, ReplacedWholeWithMode0644WhateverTheUmask)
{
    const fs::path path = dir / "calventa.prom";
    std::ofstream(path) << "old\n";
    chmod(path.c_str(), 0600);
    const mode_t umaskBefore = umask(077);
    std::string error;
    const bool written = WriteTextfile(path, "calventa_alarm{slot=\"Cpu\"} 0\n", error);
    umask(umaskBefore);
    ASSERT_TRUE(written) << error;
    EXPECT_EQ(Read(path), "calventa_alarm{slot=\"Cpu\"} 0\n");
    struct stat st = {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1); // no temporary left
}

TEST_F(Textfile, AMissingFolderIsAClearError)
{
    std::string error;
    EXPECT_FALSE(WriteTextfile(dir / "missing" / "calventa.prom", "x 1\n", error));
    EXPECT_NE(error.find((dir / "missing" / "calventa.prom").string()), std::string::npos) << error;
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
}

TEST_F(Textfile, AFolderThisUserMayNotWriteLeavesTheOldFile)
{
    const fs::path path = dir / "calventa.prom";
    std::ofstream(path) << "old 1\n";
    chmod(dir.c_str(), 0755); // root's; the child is nobody
    const bool refused = platform::linux_backend::testing::AsAttacker([&] {
        std::string error;
        return !WriteTextfile(path, "new 2\n", error) && error.find("Permission denied") != std::string::npos;
    });
    EXPECT_TRUE(refused);
    EXPECT_EQ(Read(path), "old 1\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

// --- a board following its file -----------------------------------------------------------

TEST(BoardFollower, AnEditedRegisterMovesAndTheProgramsOwnWritesStay)
{
    char pattern[] = "/tmp/calventa-follow-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path file = fs::path(pattern) / "board.json";
    const auto write = [&](int temp, int fanCount) {
        std::ofstream(file) << R"({"isa": {"model": "W83627HF", "registers": {"0x28": )" << fanCount
                            << R"(, "0x5A": 255}, "banks": {"1": {"0x50": )" << temp << "}}}}";
    };
    write(40, 135);
    std::string error;
    auto machine = sim::LoadSimMachine(file, error);
    ASSERT_TRUE(machine) << error;
    BoardFollower follower(file, *machine);
    machine->IsaChip()->Poke(0x5A, 0x80); // the program drove the pwm output

    EXPECT_TRUE(follower.Follow(error)); // unchanged file: nothing written
    EXPECT_EQ(machine->IsaChip()->Peek(0x50, 1), 40);

    write(55, 135);
    struct timespec times[2] = {{0, UTIME_NOW}, {time(nullptr) + 5, 0}}; // a new mtime whatever the clock's grain
    utimensat(AT_FDCWD, file.c_str(), times, 0);
    ASSERT_TRUE(follower.Follow(error)) << error;
    EXPECT_EQ(machine->IsaChip()->Peek(0x50, 1), 55);
    EXPECT_EQ(machine->IsaChip()->Peek(0x28), 135);
    EXPECT_EQ(machine->IsaChip()->Peek(0x5A), 0x80); // the file's 255 did not change: the write stays

    std::ofstream(file) << "{ not json";
    times[1].tv_sec += 5;
    utimensat(AT_FDCWD, file.c_str(), times, 0);
    EXPECT_FALSE(follower.Follow(error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(machine->IsaChip()->Peek(0x50, 1), 55);
    fs::remove_all(pattern);
}

} // namespace
} // namespace calventa::app
