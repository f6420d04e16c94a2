// calventa-kernel-probe run as a program: its fan-control cycle on a fake /sys ended by a
// signal half way, and the sensors.conf it is given.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "fake_sysfs.h"
#include "linux_test_support.h"

namespace calventa::platform::linux_backend {
namespace {

using testing::ReadText;
using testing::TempDir;
using testing::WriteText;
using Clock = std::chrono::steady_clock;

struct ProgramRun
{
    std::string status; // "exit N", "signal N" or "hung"
    std::string err;    // standard error
};

pid_t StartProbe(const std::vector<std::string>& arguments, int errFd, const std::string& configHome)
{
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(errFd >= 0 ? errFd : null, STDERR_FILENO);
        setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
        setenv("CALVENTA_REGISTRY_ROOT", (configHome + "/registry").c_str(), 1);
        std::vector<char*> argv{const_cast<char*>(CALVENTA_KERNEL_PROBE_PATH)};
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return child;
}

std::string StatusText(int status)
{
    return WIFEXITED(status) ? "exit " + std::to_string(WEXITSTATUS(status))
                             : "signal " + std::to_string(WTERMSIG(status));
}

// The probe with the arguments, given limit to end; killed and "hung" after that.
ProgramRun RunProbe(const std::vector<std::string>& arguments, std::chrono::milliseconds limit)
{
    TempDir home;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return {};
    }
    const pid_t probe = StartProbe(arguments, fds[1], home.Path());
    close(fds[1]);
    ProgramRun run;
    const auto deadline = Clock::now() + limit;
    pollfd entry = {fds[0], POLLIN, 0};
    char buffer[512];
    while (Clock::now() < deadline && poll(&entry, 1, 20) >= 0) {
        const ssize_t count = (entry.revents & (POLLIN | POLLHUP)) != 0 ? read(fds[0], buffer, sizeof buffer) : 1;
        if (count == 0) {
            break;
        }
        run.err.append(buffer, static_cast<size_t>(count > 0 && (entry.revents & POLLIN) != 0 ? count : 0));
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(probe, &status, WNOHANG) == 0) {
        if (Clock::now() >= deadline) {
            kill(probe, SIGKILL);
            waitpid(probe, &status, 0);
            run.status = "hung";
            return run;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    run.status = StatusText(status);
    return run;
}

// The device's pwm1 is a FIFO, so the probe's write of the duty waits until the test takes
// it: the fan stands in manual mode then, and that is when SIGTERM comes. Reads of pwm1 before
// that are answered "128"; after the signal everything written to it is collected.
TEST(KernelProbeDrivingPwm, ASignalBetweenManualAndRestorePutsTheFoundModeBack)
{
    const testing::FakeSysfsRun run = testing::InFakeSysfs(
        [] {
            const std::string dir = testing::AddHwmonDevice(0, "platform/fanctl.0", "platform", "fanctl", false);
            mkfifo((dir + "/pwm1").c_str(), 0644);
            WriteText(dir + "/pwm1_enable", "2\n");
            WriteText(dir + "/pwm2", "77\n");
            WriteText(dir + "/pwm2_enable", "2\n");
        },
        [] {
            const std::string dir = "/sys/devices/platform/fanctl.0/hwmon/hwmon0";
            TempDir home;
            const pid_t probe = StartProbe({"--drive-pwm", "0"}, -1, home.Path());
            const auto deadline = Clock::now() + std::chrono::seconds(20);
            int status = 0;
            bool ended = false;
            while (ReadText(dir + "/pwm1_enable") != "1\n" && Clock::now() < deadline &&
                   !(ended = waitpid(probe, &status, WNOHANG) == probe)) {
                if (const int fd = open((dir + "/pwm1").c_str(), O_WRONLY | O_NONBLOCK); fd >= 0) {
                    [[maybe_unused]] const ssize_t n = write(fd, "128\n", 4);
                    close(fd);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            std::string text = "manual " + ReadText(dir + "/pwm1_enable");
            text += "state file while driven: " +
                    std::string(std::filesystem::exists(home / "calventa/pwm-restore.txt") ? "yes" : "no") + "\n";
            kill(probe, SIGTERM);
            const int reader = open((dir + "/pwm1").c_str(), O_RDONLY | O_NONBLOCK);
            std::string written;
            char buffer[64];
            while (!ended && Clock::now() < deadline) {
                ended = waitpid(probe, &status, WNOHANG) == probe;
                for (ssize_t n; (n = read(reader, buffer, sizeof buffer)) > 0;) {
                    written.append(buffer, static_cast<size_t>(n));
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            if (!ended) {
                kill(probe, SIGKILL);
                waitpid(probe, &status, 0);
            }
            text += StatusText(status) + "\n";
            text += "pwm1_enable " + ReadText(dir + "/pwm1_enable");
            text += "pwm1 last written " + written.substr(written.rfind('\n', written.size() - 2) + 1);
            text += "pwm2_enable " + ReadText(dir + "/pwm2_enable");
            text += "pwm2 " + ReadText(dir + "/pwm2");
            text += "state file after: " +
                    std::string(std::filesystem::exists(home / "calventa/pwm-restore.txt") ? "yes" : "no") + "\n";
            return text;
        });
    if (run.skipped) {
        GTEST_SKIP() << "no mount namespace for a fake /sys (needs root)";
    }
    ASSERT_EQ(run.exitCode, 0);
    // Found in automatic mode: full speed is written back before the mode, and the output
    // after it is never driven.
    EXPECT_EQ(run.text, "manual 1\n"
                        "state file while driven: yes\n"
                        "exit 143\n"
                        "pwm1_enable 2\n"
                        "pwm1 last written 255\n"
                        "pwm2_enable 2\n"
                        "pwm2 77\n"
                        "state file after: no\n");
}

// A machine whose kernel lists no hwmon device at all: the probe's notes say what that means
// and what to do, rather than an empty list alone.
TEST(KernelProbeNotes, NoHwmonDeviceNamesTheMissingDriverAndSensorsDetect)
{
    const testing::FakeSysfsRun run = testing::InFakeSysfs(
        [] { mkdir("/sys/class/hwmon", 0755); },
        [] {
            TempDir home;
            return testing::RunShell("XDG_CONFIG_HOME=" + home.Path() + " " + CALVENTA_KERNEL_PROBE_PATH + " 2>&1").out;
        });
    if (run.skipped) {
        GTEST_SKIP() << "no mount namespace for a fake /sys (needs root)";
    }
    ASSERT_EQ(run.exitCode, 0);
    const auto json = nlohmann::json::parse(run.text);
    EXPECT_TRUE(json["devices"].empty());
    EXPECT_EQ(json["notes"], nlohmann::json::array({"No devices in /sys/class/hwmon: no sensor driver is loaded for "
                                                    "this board. Run sudo sensors-detect and load the kernel module "
                                                    "it names."}))
        << run.text;
}

struct ConfigCase
{
    const char* name;
    const char* reason;
};

class KernelProbeConfiguration : public ::testing::TestWithParam<ConfigCase>
{
};

// What --config names is read once, bounded, and only as a regular file: one line and
// status 1 otherwise, at once.
TEST_P(KernelProbeConfiguration, OnlyARegularFileOfBoundedSizeIsTaken)
{
    TempDir dir;
    std::string path = dir / "sensors.conf";
    const std::string name = GetParam().name;
    if (name == "Fifo") {
        mkfifo(path.c_str(), 0644);
    } else if (name == "Directory") {
        mkdir(path.c_str(), 0755);
    } else if (name == "EndlessDevice") {
        path = "/dev/zero";
    } else if (name == "Missing") {
        path = dir / "absent.conf";
    } else if (name == "Oversized") {
        WriteText(path, std::string(2 * 1024 * 1024, '#'));
    }
    const ProgramRun run = RunProbe({"--config", path}, std::chrono::seconds(10));
    EXPECT_EQ(run.status, "exit 1");
    EXPECT_EQ(run.err, "calventa-kernel-probe: --config " + path + ": " + GetParam().reason + "\n");
}

INSTANTIATE_TEST_SUITE_P(Files, KernelProbeConfiguration,
                         ::testing::Values(ConfigCase{"Fifo", "not a regular file"},
                                           ConfigCase{"EndlessDevice", "not a regular file"},
                                           ConfigCase{"Directory", "a directory, not a file"},
                                           ConfigCase{"Missing", "No such file or directory"},
                                           ConfigCase{"Oversized", "larger than 1024 KiB"}),
                         [](const ::testing::TestParamInfo<ConfigCase>& param) {
                             return std::string(param.param.name);
                         });

TEST(KernelProbeConfigurationFile, ARegularOneIsUsed)
{
    TempDir dir;
    WriteText(dir / "sensors.conf", "chip \"lm75-*\"\n    label temp1 \"Board\"\n");
    const ProgramRun run = RunProbe({"--config", dir / "sensors.conf"}, std::chrono::seconds(10));
    EXPECT_EQ(run.status, "exit 0");
    EXPECT_EQ(run.err, "");
}

} // namespace
} // namespace calventa::platform::linux_backend
