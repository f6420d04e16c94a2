#include "kernel_tree_bench.h"

#include <sched.h>
#include <spawn.h>
#include <unistd.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

namespace calventa::bench {

namespace {

namespace fs = std::filesystem;

void Write(const fs::path& path, const std::string& text)
{
    std::ofstream(path) << text << '\n';
}

// A hwmon class device as current drivers register it: /sys/devices/<devicePath>/hwmon/hwmonN,
// linked from /sys/class/hwmon; returns the folder its attributes go in.
fs::path AddDevice(int number, const std::string& devicePath, const std::string& subsystem, const std::string& name)
{
    const std::string hwmon = "hwmon" + std::to_string(number);
    const fs::path device = "/sys/devices/" + devicePath;
    const fs::path classDevice = device / "hwmon" / hwmon;
    fs::create_directories(classDevice);
    fs::create_directories("/sys/bus/" + subsystem);
    fs::create_directories("/sys/class/hwmon");
    std::string toSys = "../../";
    for (const char c : devicePath) {
        toSys += c == '/' ? "../" : "";
    }
    fs::create_directory_symlink(toSys + "bus/" + subsystem, device / "subsystem");
    fs::create_directory_symlink("../../" + toSys + "class/hwmon", classDevice / "subsystem");
    fs::create_directory_symlink("../..", classDevice / "device");
    fs::create_directory_symlink("../../devices/" + devicePath + "/hwmon/" + hwmon, "/sys/class/hwmon/" + hwmon);
    Write(classDevice / "name", name);
    return classDevice;
}

void BuildDesktopTree()
{
    const fs::path cpu = AddDevice(0, "platform/coretemp.0", "platform", "coretemp");
    for (int t = 1; t <= 5; ++t) {
        const std::string p = "temp" + std::to_string(t);
        Write(cpu / (p + "_label"), t == 1 ? "Package id 0" : "Core " + std::to_string(t - 2));
        Write(cpu / (p + "_input"), std::to_string(41000 + 1000 * t));
        Write(cpu / (p + "_max"), "80000");
        Write(cpu / (p + "_crit"), "100000");
        Write(cpu / (p + "_crit_alarm"), "0");
    }

    const fs::path nvme = AddDevice(1, "pci0000:00/0000:00:1d.0/0000:3d:00.0", "pci", "nvme");
    for (int t = 1; t <= 3; ++t) {
        const std::string p = "temp" + std::to_string(t);
        Write(nvme / (p + "_label"), t == 1 ? "Composite" : "Sensor " + std::to_string(t - 1));
        Write(nvme / (p + "_input"), "44850");
        Write(nvme / (p + "_max"), t == 1 ? "81850" : "65261850");
        Write(nvme / (p + "_min"), "-273150");
    }
    Write(nvme / "temp1_crit", "84850");
    Write(nvme / "temp1_alarm", "0");

    // The board monitor with every attribute its driver publishes: 15 voltages, 7 fans,
    // 10 temperatures, 7 pwm outputs with their automatic-mode tables.
    const fs::path board = AddDevice(2, "platform/nct6775.656", "platform", "nct6796");
    for (int v = 0; v <= 14; ++v) {
        const std::string p = "in" + std::to_string(v);
        Write(board / (p + "_input"), std::to_string(1000 + 37 * v));
        Write(board / (p + "_min"), "0");
        Write(board / (p + "_max"), "1744");
        Write(board / (p + "_alarm"), "0");
        Write(board / (p + "_beep"), "0");
    }
    for (int f = 1; f <= 7; ++f) {
        const std::string p = "fan" + std::to_string(f);
        Write(board / (p + "_input"), f <= 3 ? std::to_string(900 + 100 * f) : "0");
        for (const char* suffix : {"_min", "_alarm", "_beep"}) {
            Write(board / (p + suffix), "0");
        }
        Write(board / (p + "_pulses"), "2");
    }
    const char* labels[] = {"SYSTIN", "CPUTIN", "AUXTIN0", "AUXTIN1", "AUXTIN2",
                            "AUXTIN3", "PECI Agent 0", "PCH_CHIP_CPU_MAX_TEMP", "PCH_CHIP_TEMP", "PCH_CPU_TEMP"};
    for (int t = 1; t <= 10; ++t) {
        const std::string p = "temp" + std::to_string(t);
        Write(board / (p + "_input"), std::to_string(30000 + 500 * t));
        Write(board / (p + "_label"), labels[t - 1]);
        Write(board / (p + "_max"), "80000");
        Write(board / (p + "_max_hyst"), "75000");
        Write(board / (p + "_type"), "4");
        for (const char* suffix : {"_offset", "_beep", "_alarm"}) {
            Write(board / (p + suffix), "0");
        }
    }
    for (int o = 1; o <= 7; ++o) {
        const std::string p = "pwm" + std::to_string(o);
        Write(board / p, "128");
        Write(board / (p + "_enable"), "5");
        Write(board / (p + "_mode"), "1");
        for (const char* suffix : {"_temp_sel", "_start", "_floor", "_stop_time", "_step_up_time", "_step_down_time",
                                   "_target_temp", "_temp_tolerance", "_crit_temp_tolerance", "_weight_temp_sel",
                                   "_weight_duty_base", "_weight_duty_step", "_weight_temp_step",
                                   "_weight_temp_step_base", "_weight_temp_step_tol"}) {
            Write(board / (p + suffix), "0");
        }
        for (int point = 1; point <= 5; ++point) {
            Write(board / (p + "_auto_point" + std::to_string(point) + "_pwm"), std::to_string(50 * point));
            Write(board / (p + "_auto_point" + std::to_string(point) + "_temp"), std::to_string(15000 * point));
        }
    }
    for (const char* extra : {"intrusion0_alarm", "intrusion1_alarm", "cpu0_vid", "beep_enable"}) {
        Write(board / extra, "0");
    }
}

// One run of `argv` with standard output to /dev/null: its CPU seconds, or -1.
double CpuOfRun(const std::vector<std::string>& arguments, const std::string& home)
{
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const std::string config = "XDG_CONFIG_HOME=" + home;
    char* const envp[] = {const_cast<char*>(config.c_str()), const_cast<char*>("PATH=/usr/bin:/bin"), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", 1 /* O_WRONLY */, 0);
    pid_t pid = 0;
    const int started = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) {
        return -1.0;
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return -1.0;
    }
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The median is steadier than the mean on a machine that other work shares.
double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

} // namespace

void BenchAgainstSensors(const std::string& cli, int runs)
{
    const std::string sensors = "/usr/bin/sensors";
    if (access(sensors.c_str(), X_OK) != 0) {
        std::printf("against sensors -j: skipped, %s is missing (Debian package lm-sensors)\n", sensors.c_str());
        return;
    }
    std::fflush(stdout); // the child must not print the parent's buffer again
    const pid_t child = fork();
    if (child == 0) {
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            std::printf("against sensors -j: skipped, no mount namespace (needs root)\n");
            std::fflush(stdout);
            _exit(0);
        }
        for (const char* top : {"/sys/class", "/sys/devices", "/sys/bus"}) {
            if (mount("tmpfs", top, "tmpfs", 0, "mode=0755") != 0) {
                std::printf("against sensors -j: skipped, cannot mount a tmpfs over %s\n", top);
                std::fflush(stdout);
                _exit(0);
            }
        }
        BuildDesktopTree();
        // A program directory of its own, so that no settings.dat of the user's applies.
        char home[] = "/tmp/calventa-bench.XXXXXX";
        if (mkdtemp(home) == nullptr) {
            _exit(1);
        }
        std::vector<double> theirs;
        std::vector<double> ours;
        for (int run = 0; run < runs; ++run) {
            // In turn, so that both see the same load of the machine.
            const double a = CpuOfRun({sensors, "-j"}, home);
            const double b = CpuOfRun({cli, "--json"}, home);
            if (a < 0 || b < 0) {
                std::printf("against sensors -j: a run failed (%s)\n", a < 0 ? "sensors -j" : "calventa-cli --json");
                std::fflush(stdout);
                fs::remove_all(home);
                _exit(1);
            }
            theirs.push_back(a);
            ours.push_back(b);
        }
        fs::remove_all(home);
        const double sensorsMs = Median(theirs) * 1e3;
        const double cliMs = Median(ours) * 1e3;
        std::printf("desktop hwmon tree (coretemp, nct6796, nvme), median CPU of %d runs each: "
                    "sensors -j %.2f ms, calventa-cli --json %.2f ms, ratio %.2f\n",
                    runs, sensorsMs, cliMs, sensorsMs > 0 ? cliMs / sensorsMs : 0.0);
        std::fflush(stdout);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
}

} // namespace calventa::bench
