#pragma once

#include <optional>
#include <string>
#include <vector>

namespace calventa::platform {

// The kernel's own hardware monitors (hwmon devices): coretemp, k10temp, nct6775, it87,
// nvme, drivetemp, … They are readable by every user, whether or not port access was
// granted. The real machine reads them through libsensors, so the user's sensors.conf
// (labels, compute, ignore, set) applies; the simulated machine takes them from the board
// file's "kernel" section.

enum class KernelInputKind { Temperature, Voltage, Fan };

struct KernelInput
{
    KernelInputKind Kind = KernelInputKind::Temperature;
    int Number = 0;    // N of tempN_input / inN_input / fanN_input
    std::string Label; // the configured label, else the driver's, else "temp1", "in0", "fan2"
};

struct KernelPwm
{
    int Number = 0; // N of pwmN
};

struct KernelDevice
{
    std::string Name;    // the driver's device name: "coretemp", "nct6798", "nvme"
    std::string BusPath; // stable across boots (never hwmonN): "platform/coretemp.0", "i2c-0/0-004c"
    std::vector<KernelInput> Inputs;
    std::vector<KernelPwm> Pwms;
    // The physical drive (0 = /dev/sda, as the disk pass numbers them) whose temperature a
    // drive monitor such as drivetemp reports; none for every other device.
    std::optional<int> AtaDrive;
    // The NVMe controller number (0 = /dev/nvme0) of an nvme device; none otherwise.
    std::optional<int> NvmeController;
};

// Why a pwm output cannot be driven; Ok when it can.
enum class PwmAccess { Ok, NotWritable, Missing };

class KernelSensors
{
public:
    virtual ~KernelSensors() = default;

    // Looks for the devices anew. Indexes in the other calls refer to the last scan's list.
    virtual std::vector<KernelDevice> ScanDevices() = 0;

    // The current value of input `input` of device `device`: degrees Celsius, volts or RPM.
    // None when the read failed (EIO, ENODATA, the driver gone) or the index is unknown.
    virtual std::optional<double> ReadInput(size_t device, size_t input) = 0;

    // pwmN_enable: 0 full speed, 1 manual, 2.. automatic modes of the driver. None when it
    // cannot be read or the device has no such file.
    virtual std::optional<int> ReadPwmEnable(size_t device, int pwm) = 0;
    virtual bool WritePwmEnable(size_t device, int pwm, int mode) = 0;
    // pwmN, 0..255.
    virtual bool WritePwm(size_t device, int pwm, int value) = 0;
    // The duty pwmN holds now, 0..255: where the mode found was manual (1), the user's own
    // duty is restored with it. None when it cannot be read.
    virtual std::optional<int> ReadPwm(size_t /*device*/, int /*pwm*/) { return std::nullopt; }
    // Whether pwmN (and pwmN_enable) may be written by this process.
    virtual PwmAccess CheckPwmAccess(size_t device, int pwm) = 0;

    // Log lines the back end produced since the last call (a sensors.conf error, a device
    // that vanished), each once.
    virtual std::vector<std::string> TakeNotes() = 0;
};

// A machine without kernel monitors (or a build without them).
class NoKernelSensors final : public KernelSensors
{
public:
    std::vector<KernelDevice> ScanDevices() override { return {}; }
    std::optional<double> ReadInput(size_t, size_t) override { return std::nullopt; }
    std::optional<int> ReadPwmEnable(size_t, int) override { return std::nullopt; }
    bool WritePwmEnable(size_t, int, int) override { return false; }
    bool WritePwm(size_t, int, int) override { return false; }
    PwmAccess CheckPwmAccess(size_t, int) override { return PwmAccess::Missing; }
    std::vector<std::string> TakeNotes() override { return {}; }
};

} // namespace calventa::platform
