#include "cli/kernel_probe.h"

#include <string>
#include <vector>

#include "core/findings.h"

namespace calventa::app {

namespace {

using nlohmann::json;
using platform::KernelDevice;
using platform::KernelInputKind;
using platform::PwmAccess;

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

// One fan-control cycle as the monitor runs it, through the same keeper: found mode and duty
// recorded, manual, the duty, then both restored (the duty first: a driver takes a duty only
// in manual mode). A stop between the steps skips straight to the restore.
json DrivePwm(platform::KernelSensors& sensors, hardware::KernelPwmKeeper& keeper, const KernelDevice& device,
              size_t index, int pwm, int duty, const volatile std::sig_atomic_t& stop)
{
    json run = {{"device", index}, {"pwm", pwm}};
    run["found"] = OptionalNumber(sensors.ReadPwmEnable(index, pwm));
    run["found_duty"] = OptionalNumber(sensors.ReadPwm(index, pwm));
    const bool manual =
        keeper.TakeOver(index, pwm, device.Name, device.BusPath) == hardware::KernelPwmKeeper::Take::Taken;
    run["manual"] = manual;
    if (manual && stop == 0) {
        run["manual_read"] = OptionalNumber(sensors.ReadPwmEnable(index, pwm));
        run["duty"] = sensors.WritePwm(index, pwm, duty);
        if (stop == 0) {
            run["duty_read"] = OptionalNumber(sensors.ReadPwm(index, pwm));
        }
    }
    const std::vector<std::string> failed = keeper.ReleaseAll();
    run["restore"] = manual && failed.empty();
    if (stop == 0) {
        run["restored"] = OptionalNumber(sensors.ReadPwmEnable(index, pwm));
        run["restored_duty"] = OptionalNumber(sensors.ReadPwm(index, pwm));
    }
    return run;
}

} // namespace

json RunKernelProbe(platform::KernelSensors& sensors, hardware::KernelPwmKeeper& keeper, std::optional<int> duty,
                    const volatile std::sig_atomic_t& stop)
{
    const std::vector<KernelDevice> devices = sensors.ScanDevices();
    json out = {{"devices", json::array()}, {"pwm_runs", json::array()}};
    json notes = sensors.TakeNotes();
    for (const std::string& line : keeper.RestoreLeftover(devices)) {
        notes.push_back(line);
    }
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
            if (duty && access == PwmAccess::Ok && stop == 0) {
                out["pwm_runs"].push_back(DrivePwm(sensors, keeper, device, d, pwm.Number, *duty, stop));
            }
        }
        out["devices"].push_back(entry);
    }
    for (const std::string& line : sensors.TakeNotes()) {
        notes.push_back(line);
    }
    if (devices.empty()) {
        notes.push_back(core::NoHwmonDevicesText({}));
    }
    out["notes"] = notes;
    return out;
}

} // namespace calventa::app
