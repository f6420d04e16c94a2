#pragma once

// A machine's /sys as libsensors reads it, built by the test: a forked child gets a mount
// namespace of its own, tmpfs over /sys/class, /sys/devices and /sys/bus (/sys itself stays
// sysfs, which libsensors checks), builds the tree there and runs the code under test, whose
// text comes back to the parent. Needs root (the mount namespace); otherwise the case skips.

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "platform/linux_test_support.h"

namespace calventa::platform::linux_backend::testing {

inline constexpr int kNoFakeSysfs = 77;

struct FakeSysfsRun
{
    bool skipped = false; // no mount namespace here
    int exitCode = -1;
    std::string text; // what `run` returned
};

inline FakeSysfsRun InFakeSysfs(const std::function<void()>& build, const std::function<std::string()>& run)
{
    FakeSysfsRun result;
    int fds[2];
    if (pipe(fds) != 0) {
        return result;
    }
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            _exit(kNoFakeSysfs);
        }
        for (const char* top : {"/sys/class", "/sys/devices", "/sys/bus"}) {
            if (mount("tmpfs", top, "tmpfs", 0, "mode=0755") != 0) {
                _exit(kNoFakeSysfs);
            }
        }
        build();
        const std::string text = run();
        const bool written = write(fds[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
        _exit(written ? 0 : 1);
    }
    close(fds[1]);
    char buffer[4096];
    ssize_t count;
    while ((count = read(fds[0], buffer, sizeof buffer)) > 0) {
        result.text.append(buffer, static_cast<size_t>(count));
    }
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.skipped = result.exitCode == kNoFakeSysfs;
    return result;
}

// A hwmon device as a driver registers it under /sys/devices/<devicePath>. `oldLayout`: the
// attributes on the device itself and a bare class device (no name) beside them, as the
// w83781d family does; otherwise they live in the class device …/hwmon/hwmonN, as every
// current driver has it. /sys/class/hwmon/hwmonN links to the class device either way.
inline std::string AddHwmonDevice(int number, const std::string& devicePath, const std::string& subsystem,
                                  const std::string& name, bool oldLayout)
{
    namespace fs = std::filesystem;
    const std::string hwmonName = "hwmon" + std::to_string(number);
    const std::string device = "/sys/devices/" + devicePath;
    const std::string classDevice = device + "/hwmon/" + hwmonName;
    fs::create_directories(classDevice);
    fs::create_directories("/sys/bus/" + subsystem);
    fs::create_directories("/sys/class/hwmon");
    // From the device directory up to /sys: one step per component, one for "devices".
    std::string toSys = "../../";
    for (const char c : devicePath) {
        toSys += c == '/' ? "../" : "";
    }
    fs::create_directory_symlink(toSys + "bus/" + subsystem, device + "/subsystem");
    fs::create_directory_symlink("../../" + toSys + "class/hwmon", classDevice + "/subsystem");
    fs::create_directory_symlink("../..", classDevice + "/device");
    fs::create_directory_symlink("../../devices/" + devicePath + "/hwmon/" + hwmonName,
                                 "/sys/class/hwmon/" + hwmonName);
    const std::string attributes = oldLayout ? device : classDevice;
    WriteText(attributes + "/name", name + "\n");
    WriteText(attributes + "/temp1_input", "41000\n");
    WriteText(attributes + "/fan1_input", "1500\n");
    return attributes;
}

} // namespace calventa::platform::linux_backend::testing
