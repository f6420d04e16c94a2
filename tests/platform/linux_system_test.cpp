#include <gtest/gtest.h>

#include "case_name.h"
#include <signal.h>
#include <sys/time.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>
#include <utility>

#include "linux_test_support.h"
#include "platform/linux/linux_clock.h"
#include "platform/linux/linux_platform.h"
#include "platform/linux/linux_system_facts.h"

namespace calventa::platform::linux_backend {
namespace {

using testing::ModeOf;
using testing::TempDir;

constexpr LocalDateTime kWhen = {2004, 12, 8, 14, 5, 33};

TEST(LinuxSystemFacts, FormatsInTheCLocale)
{
    const LinuxSystemFacts facts("/tmp", "C");
    EXPECT_EQ(facts.FormatShortDate(kWhen), "12/08/04");
    EXPECT_EQ(facts.FormatLongTime(kWhen), "14:05:33");
    EXPECT_EQ(facts.DecimalSeparator(), ".");
    EXPECT_EQ(facts.FormatShortDate({1999, 1, 2, 0, 0, 0}), "01/02/99");
}

TEST(LinuxSystemFacts, AnUnknownLocaleFallsBackToC)
{
    const LinuxSystemFacts facts("/tmp", "xx_NOWHERE.UTF-8");
    EXPECT_EQ(facts.FormatShortDate(kWhen), "12/08/04");
    EXPECT_EQ(facts.FormatLongTime(kWhen), "14:05:33");
    EXPECT_EQ(facts.DecimalSeparator(), ".");
}

struct JoinCase
{
    const char* directory;
    const char* name;
    const char* joined;
};

class LinuxJoinPath : public ::testing::TestWithParam<JoinCase>
{
};

TEST_P(LinuxJoinPath, PutsExactlyOneSeparatorBetween)
{
    const LinuxSystemFacts facts("/tmp", "C");
    EXPECT_EQ(facts.JoinPath(GetParam().directory, GetParam().name), GetParam().joined);
}

INSTANTIATE_TEST_SUITE_P(Paths, LinuxJoinPath,
                         ::testing::Values(JoinCase{"/opt/calventa", "settings.dat", "/opt/calventa/settings.dat"},
                                           JoinCase{"/opt/calventa/", "settings.dat", "/opt/calventa/settings.dat"},
                                           JoinCase{"/opt/calventa/", "/drv", "/opt/calventa/drv"},
                                           JoinCase{"/opt/calventa", "/drv", "/opt/calventa/drv"},
                                           JoinCase{"/", "settings.dat", "/settings.dat"},
                                           JoinCase{"", "settings.dat", "settings.dat"}),
                         [](const ::testing::TestParamInfo<JoinCase>& info) {
                             // The separators are what the cases differ in: spelled out.
                             const std::string text = std::string(info.param.directory) + " plus " + info.param.name;
                             std::string spelled;
                             for (const char ch : text) {
                                 spelled += ch == '/' ? std::string(" Slash ") : std::string(1, ch);
                             }
                             return calventa::testnames::CaseName(spelled);
                         });

struct DirectoryCase
{
    const char* xdgConfigHome;
    const char* home;
    const char* expected;
};

class LinuxProgramDirectory : public ::testing::TestWithParam<DirectoryCase>
{
};

TEST_P(LinuxProgramDirectory, FollowsTheBaseDirectoryRules)
{
    EXPECT_EQ(ProgramDirectoryFor(GetParam().xdgConfigHome, GetParam().home, "/work/here"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Environment, LinuxProgramDirectory,
                         ::testing::Values(DirectoryCase{"/home/ann/.cfg", "/home/ann", "/home/ann/.cfg/calventa"},
                                           DirectoryCase{nullptr, "/home/ann", "/home/ann/.config/calventa"},
                                           DirectoryCase{"", "/home/ann", "/home/ann/.config/calventa"},
                                           DirectoryCase{"relative/cfg", "/home/ann", "/home/ann/.config/calventa"},
                                           DirectoryCase{nullptr, nullptr, "/work/here"},
                                           DirectoryCase{nullptr, "", "/work/here"}),
                         [](const ::testing::TestParamInfo<DirectoryCase>& info) {
                             const auto& c = info.param;
                             (void)c;
                             return calventa::testnames::CaseName(
                                 std::string("config ") + (c.xdgConfigHome != nullptr ? c.xdgConfigHome : "unset") +
                                 " home " + (c.home != nullptr ? c.home : "unset"));
                         });

TEST(LinuxSystemFacts, TheDefaultProgramDirectoryIsCreatedPrivate)
{
    TempDir dir;
    const LinuxSystemFacts facts(dir / "home/.config/calventa", "C");
    EXPECT_EQ(facts.DefaultProgramDirectory(), dir / "home/.config/calventa");
    EXPECT_EQ(ModeOf(dir / "home/.config/calventa"), 0700u);
    EXPECT_EQ(ModeOf(dir / "home"), 0700u);
    EXPECT_EQ(facts.DefaultProgramDirectory(), dir / "home/.config/calventa");
}

TEST(LinuxSystemFacts, TheExecutableIsThisTestProgram)
{
    const LinuxSystemFacts facts("/tmp", "C");
    const std::string path = facts.ExecutablePath();
    EXPECT_EQ(path.front(), '/');
    EXPECT_EQ(std::filesystem::path(path).filename(), "linux_platform_tests");
    EXPECT_TRUE(std::filesystem::is_regular_file(path));
}

void IgnoreSignal(int) {}

// The local time comes with its offset from UTC, east positive, half hours included.
TEST(LinuxClock, NowCarriesTheZonesUtcOffset)
{
    const char* saved = getenv("TZ");
    const std::string previous = saved != nullptr ? saved : "";
    LinuxClock clock;
    for (const auto& [zone, offset] : {std::pair{"XST-1", 3600}, std::pair{"YST+9:30", -34200}, std::pair{"UTC0", 0}}) {
        setenv("TZ", zone, 1);
        tzset();
        const time_t before = time(nullptr);
        const LocalDateTime now = clock.Now();
        tm utc = {};
        gmtime_r(&before, &utc);
        EXPECT_EQ(now.utcOffsetSeconds, offset) << zone;
        // The local hour is UTC's moved by the offset (a second may pass between the readings).
        const int localMinutes = now.hour * 60 + now.minute;
        const int utcMinutes = utc.tm_hour * 60 + utc.tm_min;
        const int moved = ((localMinutes - utcMinutes) % 1440 + 1440) % 1440;
        EXPECT_TRUE(moved == (offset / 60 + 1440) % 1440 || moved == (offset / 60 + 1441) % 1440) << zone;
    }
    if (saved != nullptr) {
        setenv("TZ", previous.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}

TEST(LinuxClock, SleepsTheWholeTimeThroughSignals)
{
    struct sigaction quiet = {};
    quiet.sa_handler = IgnoreSignal; // without SA_RESTART: nanosleep returns EINTR
    struct sigaction previous = {};
    ASSERT_EQ(sigaction(SIGALRM, &quiet, &previous), 0);
    const itimerval every5ms = {{0, 5000}, {0, 5000}};
    setitimer(ITIMER_REAL, &every5ms, nullptr);

    LinuxClock clock;
    const auto start = std::chrono::steady_clock::now();
    clock.SleepMs(60);
    const auto slept = std::chrono::steady_clock::now() - start;

    const itimerval off = {};
    setitimer(ITIMER_REAL, &off, nullptr);
    sigaction(SIGALRM, &previous, nullptr);
    EXPECT_GE(slept, std::chrono::milliseconds(60));
    EXPECT_LT(slept, std::chrono::seconds(2));
}

TEST(LinuxPlatform, HandsOutBackEndsOnTheGivenPaths)
{
    TempDir dir;
    LinuxPaths paths;
    paths.registryRoot = dir / "registry";
    paths.autostartDirectory = dir / "autostart";
    paths.lockDirectory = dir.Path();
    paths.programDirectory = dir / "config";
    paths.ioportsPath = dir / "no-ioports";
    LinuxPlatform machine(paths);
    Platform& platform = machine.Get();

    EXPECT_TRUE(platform.store.OpenKey(StoreKeyId::Program, kKeyReadWrite, true));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "registry"));
    EXPECT_TRUE(platform.mutexes.CreateNamedMutex(kSmbusMutexName));
    EXPECT_TRUE(std::filesystem::exists(dir / kSmbusMutexName));
    EXPECT_EQ(platform.facts.DefaultProgramDirectory(), dir / "config");
    EXPECT_EQ(platform.facts.Family(), PlatformFamily::NtFamily);
    EXPECT_FALSE(platform.ports.RequestAccess());
}

TEST(LinuxPaths, TheEnvironmentPicksTheDefaults)
{
    setenv("CALVENTA_REGISTRY_ROOT", "/srv/registry", 1);
    setenv("CALVENTA_AUTOSTART_DIR", "", 1);
    const LinuxPaths paths = LinuxPaths::FromEnvironment();
    unsetenv("CALVENTA_REGISTRY_ROOT");
    unsetenv("CALVENTA_AUTOSTART_DIR");
    EXPECT_EQ(paths.registryRoot, "/srv/registry");
    EXPECT_EQ(paths.autostartDirectory, kDefaultAutostartDirectory);
    EXPECT_EQ(paths.lockDirectory, "/run/lock");
    EXPECT_EQ(LinuxPaths::FromEnvironment().registryRoot, kDefaultRegistryRoot);
}

} // namespace
} // namespace calventa::platform::linux_backend
