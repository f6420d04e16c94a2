// calventa-kernel-probe: what the kernel's hwmon devices look like through the Linux back
// end (libsensors with sensors.conf applied, pwm outputs from sysfs), printed as JSON. A
// diagnostic for users, and what the real-kernel test checks the back end with.
#include <algorithm>
#include <iostream>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/kernel_probe.h"
#include "core/monitor_state.h"
#include "hardware/kernel_chips.h"
#include "platform/linux/libsensors_kernel_sensors.h"
#include "platform/linux/linux_platform.h"
#include "platform/linux/standard_streams.h"

namespace {

using namespace calventa;

constexpr const char* kUsage = "usage: calventa-kernel-probe [--config FILE] [--dir DIR] [--drive-pwm DUTY]\n"
                               "  --config FILE    this sensors.conf instead of the system's\n"
                               "  --dir DIR        program directory for the fan state file (default: calventa's own)\n"
                               "  --drive-pwm DUTY on every writable pwm output: manual mode, pwmN = DUTY\n"
                               "                   (0..255), then the mode found restored, also after SIGINT, SIGTERM\n"
                               "                   or SIGHUP; a run killed otherwise is undone at the next start\n";

struct ProbeOptions
{
    std::string config;
    std::optional<std::string> directory;
    std::optional<int> duty;
};

// 0 to go on, otherwise the exit status (--help: 0 after the usage).
std::optional<int> ParseArguments(int argc, char** argv, ProbeOptions& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--config" && i + 1 < argc) {
            options.config = argv[++i];
        } else if (arg == "--dir" && i + 1 < argc) {
            options.directory = argv[++i];
        } else if (arg == "--drive-pwm" && i + 1 < argc) {
            const std::string text = argv[++i];
            if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos ||
                std::stoi(text) > 255) {
                std::cerr << kUsage;
                return 2;
            }
            options.duty = std::stoi(text);
        } else {
            (arg == "--help" ? std::cout : std::cerr) << kUsage;
            return arg == "--help" ? 0 : 2;
        }
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv)
{
    platform::linux_backend::TakeClosedStandardDescriptors();
    ProbeOptions options;
    if (const std::optional<int> status = ParseArguments(argc, argv, options)) {
        return *status;
    }
    // Checked before anything is driven: a FIFO, a device or a directory named here would
    // otherwise hang the run or end it inside libsensors.
    if (!options.config.empty()) {
        std::string error;
        if (!platform::linux_backend::ReadSensorsConfiguration(options.config, error)) {
            std::cerr << "calventa-kernel-probe: --config " << options.config << ": " << error << "\n";
            return 1;
        }
    }
    // As in the monitor: a stop signal only asks; the output being driven is put back first.
    platform::linux_backend::CatchStopSignals();
    const volatile std::sig_atomic_t& stop = platform::linux_backend::StopSignal();

    platform::linux_backend::LinuxPaths paths = platform::linux_backend::LinuxPaths::FromEnvironment();
    paths.sensorsConfiguration = options.config;
    platform::linux_backend::LinuxPlatform machine(paths);
    // The monitor's program directory, checked as the monitor checks it, so that a state file
    // one program leaves behind is restored by whichever starts next.
    core::MonitorState state(machine.Get());
    if (options.directory) {
        state.ProgramPath = *options.directory;
    } else {
        state.ReadProgramPath();
    }
    state.CheckProgramDirectory();
    nlohmann::json keeperNotes = nlohmann::json::array();
    hardware::KernelPwmKeeper keeper(machine.Get().kernel, [&](const std::string& line) { keeperNotes.push_back(line); });
    if (state.UsesProgramDirectory() && !state.ProgramPath.empty()) {
        keeper.SetStateDirectory(&state.ProgramFiles());
    } else if (options.duty) {
        std::cerr << "calventa-kernel-probe: " << state.ProgramDirectoryRefusal << "\n";
    }

    nlohmann::json out = app::RunKernelProbe(machine.Get().kernel, keeper, options.duty, stop);
    if (stop != 0) {
        return 128 + stop;
    }
    // Each line once, however many outputs met the same problem.
    for (const auto& line : keeperNotes) {
        if (std::find(out["notes"].begin(), out["notes"].end(), line) == out["notes"].end()) {
            out["notes"].push_back(line);
        }
    }
    // Labels come from drivers and sensors.conf: any bytes, so never let invalid UTF-8 abort.
    std::string error;
    if (!platform::linux_backend::FinishStandardOutput(
            out.dump(1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n", error) &&
        !error.empty()) {
        std::cerr << "calventa-kernel-probe: " << error << "\n";
        return 1;
    }
    return 0;
}
