#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/kernel_sensors.h"
#include "platform/linux/hwmon_pwm_files.h"

struct sensors_chip_name;

namespace calventa::platform::linux_backend {

// A sensors.conf is a few KiB; this is far beyond any real one.
inline constexpr size_t kMaxSensorsConfigurationBytes = 1024 * 1024;

// The text of a sensors configuration file, read whole through one descriptor: only a
// regular file of at most kMaxSensorsConfigurationBytes, so a FIFO or a device (/dev/zero) is
// never waited on or read without end, and a directory never reaches libsensors. Otherwise
// nullopt and why, in a few words ("not a regular file", "No such file or directory").
std::optional<std::string> ReadSensorsConfiguration(const std::string& path, std::string& error);

// The device directory (links resolved) of a chip whose attributes libsensors found in
// attributeDirectory, for its bus path and the disk it monitors: the "device" link's target
// of a hwmon class device, or the directory itself where the driver registers its attributes
// on the device (w83781d, w83627hf, asb100, …). Empty for a virtual device or a bad path.
std::string DeviceDirectoryOfChip(const std::string& attributeDirectory);

// The kernel's hwmon devices through libsensors, so that the user's sensors.conf applies
// exactly as the `sensors` command applies it: labels, compute lines and ignore lines.
// libsensors covers no pwm outputs; those are the pwmN and pwmN_enable files of the
// device's hwmon directory, read and written directly.
//
// libsensors keeps its state process-wide: one object of this class per process (the
// Linux platform owns it); a second one's scan invalidates the first one's devices. It
// starts libsensors at the first scan, not at construction.
class LibsensorsKernelSensors final : public KernelSensors
{
public:
    // `configFile` empty: the system configuration (/etc/sensors3.conf and
    // /etc/sensors.d/*), as the `sensors` command reads it; otherwise that one file.
    explicit LibsensorsKernelSensors(std::string configFile = {});
    ~LibsensorsKernelSensors() override;
    LibsensorsKernelSensors(const LibsensorsKernelSensors&) = delete;
    LibsensorsKernelSensors& operator=(const LibsensorsKernelSensors&) = delete;

    std::vector<KernelDevice> ScanDevices() override;
    std::optional<double> ReadInput(size_t device, size_t input) override;
    std::optional<int> ReadPwmEnable(size_t device, int pwm) override;
    bool WritePwmEnable(size_t device, int pwm, int mode) override;
    bool WritePwm(size_t device, int pwm, int value) override;
    std::optional<int> ReadPwm(size_t device, int pwm) override;
    PwmAccess CheckPwmAccess(size_t device, int pwm) override;
    std::vector<std::string> TakeNotes() override;

private:
    struct Input
    {
        int Subfeature = 0; // libsensors' number of the _input subfeature
        std::string Label;
        bool FailureNoted = false;
    };
    struct Chip
    {
        const sensors_chip_name* Name = nullptr; // libsensors' memory, valid until the next start
        std::string Directory;                   // the hwmon directory holding the attributes
        KernelDevice Device;
        std::vector<Input> Inputs;
        bool GoneNoted = false;
    };

    bool Start();
    void Stop();
    void Note(std::string line);
    const Chip* FindChip(size_t device) const;
    std::optional<HwmonPwmFiles> PwmFilesOf(size_t device, int pwm) const;

    static LibsensorsKernelSensors* s_owner;

    std::string m_configFile;
    bool m_started = false;
    std::vector<Chip> m_chips;
    std::vector<std::string> m_notes;
};

} // namespace calventa::platform::linux_backend
