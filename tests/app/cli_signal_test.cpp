// calventa-cli ended by a signal while it drives a kernel fan output: the normal close
// still runs, so the output's mode is put back and the state file that would restore it
// after a crash is gone.
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/settings_block.h"
#include "hardware/kernel_chips.h"

namespace {

namespace fs = std::filesystem;
using namespace calventa::core;

constexpr const char* kBoard = R"({
  "port_access": false,
  "kernel": { "devices": [ { "name": "nct6798", "bus_path": "platform/nct6775.656",
    "inputs": [ { "kind": "temp", "number": 1, "label": "SYSTIN", "value": 45 },
                { "kind": "fan", "number": 1, "value": 900 } ],
    "pwm": [ { "number": 1, "enable": 5, "value": 100 } ] } ] } })";

class CliSignalTest : public ::testing::TestWithParam<int>
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/calventa-cli-signal-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        std::ofstream(dir / "board.json") << kBoard;
        // Fan control channel 1 drives pwm1 from the Sys input (chip 0, temperature 1).
        SettingsBlock block;
        SetDefaultSettings(block, {1024, 768}, kDefaultMainWindowWidth);
        block.Slots[kSlotCpu] = {0, 1, 0, 0.0f, -10, 70, 1, 0, 0.0f};
        block.Slots[kSlotCpuFan] = {0, 1, 0, 0.0f, 0, 10000, 1, 0, 0.0f};
        block.FanControl[0] = {kSourceCpu, 40, 1, 0};
        const SettingsImage image = EncodeSettings(block);
        std::ofstream(dir / "settings.dat", std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path dir;
};

TEST_P(CliSignalTest, EndsThroughTheNormalCloseAndLeavesNoRestoreFile)
{
    const fs::path stateFile = dir / calventa::hardware::kKernelPwmStateFileName;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("CALVENTA_BOARD", (dir / "board.json").c_str(), 1);
        setenv("CALVENTA_REGISTRY_ROOT", (dir / "registry").c_str(), 1);
        setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
        freopen("/dev/null", "w", stdout);
        execl(CALVENTA_CLI_PATH, CALVENTA_CLI_PATH, "--mode", "fancontrol", "--passes", "999999", "--dir", dir.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    // The state file appears with the first drive of pwm1; then the run is ended.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists(stateFile) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    const bool sawStateFile = fs::exists(stateFile);
    kill(child, GetParam());
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(sawStateFile) << "the run never drove pwm1";
    ASSERT_TRUE(WIFEXITED(status)) << "killed by the signal instead of closing";
    EXPECT_EQ(WEXITSTATUS(status), 128 + GetParam());
    EXPECT_FALSE(fs::exists(stateFile));
}

std::string SignalName(const ::testing::TestParamInfo<int>& signal)
{
    return signal.param == SIGTERM ? "Sigterm" : signal.param == SIGINT ? "Sigint" : "Sighup";
}

INSTANTIATE_TEST_SUITE_P(Signals, CliSignalTest, ::testing::Values(SIGTERM, SIGINT, SIGHUP), SignalName);

// --watch: a signal is the normal end of the run (status 0), through the same close; and a
// reader that goes away (a closed pipe) ends it the same way instead of killing it.
class CliWatchEndTest : public CliSignalTest
{
protected:
    // Starts the watch with standard output on outFd; the state file shows fan control running.
    pid_t StartWatch(int outFd)
    {
        const pid_t child = fork();
        if (child == 0) {
            setenv("CALVENTA_BOARD", (dir / "board.json").c_str(), 1);
            setenv("CALVENTA_REGISTRY_ROOT", (dir / "registry").c_str(), 1);
            setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
            dup2(outFd, STDOUT_FILENO);
            execl(CALVENTA_CLI_PATH, CALVENTA_CLI_PATH, "--mode", "fancontrol", "--watch", "1", "--json", "--dir",
                  dir.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        return child;
    }
    bool WaitFor(const fs::path& file)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!fs::exists(file) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return fs::exists(file);
    }
    const fs::path stateFile() const { return dir / calventa::hardware::kKernelPwmStateFileName; }
};

TEST_P(CliWatchEndTest, ASignalEndsTheWatchThroughTheNormalClose)
{
    const int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
    const pid_t child = StartWatch(devNull);
    close(devNull);
    ASSERT_GE(child, 0);
    const bool sawStateFile = WaitFor(stateFile());
    kill(child, GetParam());
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(sawStateFile) << "the watch never drove pwm1";
    ASSERT_TRUE(WIFEXITED(status)) << "killed by the signal instead of closing";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(fs::exists(stateFile()));
}

INSTANTIATE_TEST_SUITE_P(Signals, CliWatchEndTest, ::testing::Values(SIGTERM, SIGINT, SIGHUP), SignalName);

TEST_F(CliWatchEndTest, AClosedPipeEndsTheWatchThroughTheNormalClose)
{
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    const pid_t child = StartWatch(fds[1]);
    close(fds[1]);
    ASSERT_GE(child, 0);
    char first = 0;
    const bool gotOutput = read(fds[0], &first, 1) == 1; // the start-up's line has begun
    close(fds[0]);
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    bool ended = false;
    while (!(ended = waitpid(child, &status, WNOHANG) == child) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!ended) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        FAIL() << "the watch went on writing into a closed pipe";
    }
    EXPECT_TRUE(gotOutput);
    EXPECT_EQ(first, '{');
    ASSERT_TRUE(WIFEXITED(status)) << "killed by SIGPIPE instead of closing";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(fs::exists(stateFile()));
}

} // namespace
