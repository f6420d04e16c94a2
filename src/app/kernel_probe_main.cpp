// calventa-kernel-probe: what the kernel's hwmon devices look like through the Linux back
// end (libsensors with sensors.conf applied, pwm outputs from sysfs), printed as JSON. A
// diagnostic for users, and what the real-kernel test checks the back end with.
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/linux/libsensors_kernel_sensors.h"

namespace {

using calventa::platform::KernelDevice;
using calventa::platform::KernelInputKind;
using calventa::platform::PwmAccess;
using calventa::platform::linux_backend::LibsensorsKernelSensors;
using nlohmann::json;

constexpr const char* kUsage = "usage: calventa-kernel-probe [--config FILE] [--drive-pwm DUTY]\n"
                               "  --config FILE    this sensors.conf instead of the system's\n"
                               "  --drive-pwm DUTY on every writable pwm output: manual mode, pwmN = DUTY\n"
                               "                   (0..255), then the mode found restored\n";

const char* KindName(KernelInputKind kind)
{
    switch (kind) {
    case KernelInputKind::Temperature:
        return "temp";
    case KernelInputKind::Voltage:
        return "in";
    case KernelInputKind::Fan:
        return "fan";
    }
    return "?";
}

const char* AccessName(PwmAccess access)
{
    switch (access) {
    case PwmAccess::Ok:
        return "ok";
    case PwmAccess::NotWritable:
        return "not-writable";
    case PwmAccess::Missing:
        return "missing";
    }
    return "?";
}

json OptionalNumber(const std::optional<int>& value)
{
    return value ? json(*value) : json(nullptr);
}

// One fan-control cycle as the monitor runs it: remember mode and duty, manual, duty,
// restore (the found duty first: a driver takes a duty only in manual mode).
json DrivePwm(LibsensorsKernelSensors& sensors, size_t device, int pwm, int duty)
{
    json run = {{"device", device}, {"pwm", pwm}};
    const std::optional<int> found = sensors.ReadPwmEnable(device, pwm);
    const std::optional<int> foundDuty = sensors.ReadPwm(device, pwm);
    run["found"] = OptionalNumber(found);
    run["found_duty"] = OptionalNumber(foundDuty);
    run["manual"] = sensors.WritePwmEnable(device, pwm, 1);
    run["manual_read"] = OptionalNumber(sensors.ReadPwmEnable(device, pwm));
    run["duty"] = sensors.WritePwm(device, pwm, duty);
    run["duty_read"] = OptionalNumber(sensors.ReadPwm(device, pwm));
    const bool dutyRestored = foundDuty && sensors.WritePwm(device, pwm, *foundDuty);
    run["restore"] = found && sensors.WritePwmEnable(device, pwm, *found) && dutyRestored;
    run["restored"] = OptionalNumber(sensors.ReadPwmEnable(device, pwm));
    run["restored_duty"] = OptionalNumber(sensors.ReadPwm(device, pwm));
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    std::string config;
    std::optional<int> duty;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--config" && i + 1 < argc) {
            config = argv[++i];
        } else if (arg == "--drive-pwm" && i + 1 < argc) {
            const std::string text = argv[++i];
            if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos ||
                std::stoi(text) > 255) {
                std::cerr << kUsage;
                return 2;
            }
            duty = std::stoi(text);
        } else {
            std::cerr << kUsage;
            return arg == "--help" ? 0 : 2;
        }
    }

    LibsensorsKernelSensors sensors(config);
    const std::vector<KernelDevice> devices = sensors.ScanDevices();
    json out = {{"devices", json::array()}, {"pwm_runs", json::array()}};
    for (size_t d = 0; d < devices.size(); ++d) {
        const KernelDevice& device = devices[d];
        json entry = {{"name", device.Name},
                      {"bus_path", device.BusPath},
                      {"ata_drive", OptionalNumber(device.AtaDrive)},
                      {"nvme_controller", OptionalNumber(device.NvmeController)},
                      {"inputs", json::array()},
                      {"pwms", json::array()}};
        for (size_t i = 0; i < device.Inputs.size(); ++i) {
            const std::optional<double> value = sensors.ReadInput(d, i);
            entry["inputs"].push_back({{"kind", KindName(device.Inputs[i].Kind)},
                                       {"number", device.Inputs[i].Number},
                                       {"label", device.Inputs[i].Label},
                                       {"value", value ? json(*value) : json(nullptr)}});
        }
        for (const auto& pwm : device.Pwms) {
            const PwmAccess access = sensors.CheckPwmAccess(d, pwm.Number);
            entry["pwms"].push_back({{"number", pwm.Number},
                                     {"enable", OptionalNumber(sensors.ReadPwmEnable(d, pwm.Number))},
                                     {"duty", OptionalNumber(sensors.ReadPwm(d, pwm.Number))},
                                     {"access", AccessName(access)}});
            if (duty && access == PwmAccess::Ok) {
                out["pwm_runs"].push_back(DrivePwm(sensors, d, pwm.Number, *duty));
            }
        }
        out["devices"].push_back(entry);
    }
    out["notes"] = sensors.TakeNotes();
    // Labels come from drivers and sensors.conf: any bytes, so never let invalid UTF-8 abort.
    std::cout << out.dump(1, ' ', false, json::error_handler_t::replace) << "\n";
    return 0;
}
