#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "platform/kernel_sensors.h"

namespace calventa::hardware {

// The kernel fan outputs one process switched to manual, each with the pwmN_enable mode and
// the duty it had. While any is driven they are written down in the state file
// (kKernelPwmStateFileName in the program directory) before the switch, so that a run that
// dies is undone at the next start of any program that keeps the file (the monitor,
// calventa-cli, calventa-kernel-probe). Devices are the indexes of the kernel's last scan.
class KernelPwmKeeper
{
public:
    using LogFunction = std::function<void(const std::string&)>;

    // `log` gets the lines about the state file itself (none kept, not writable).
    KernelPwmKeeper(platform::KernelSensors& kernel, LogFunction log);

    // The program directory the state file lives in; nullptr when the program has none.
    void SetStateDirectory(platform::Directory* directory) { m_directory = directory; }

    // A state file left behind: every entry whose device (by name and bus path) is in this
    // scan gets its duty and mode back, and the file is removed. One log line per entry.
    std::vector<std::string> RestoreLeftover(const std::vector<platform::KernelDevice>& devices);

    enum class Take {
        Taken,        // recorded and in manual mode now (or already was by this keeper)
        ModeUnknown,  // pwmN_enable unreadable: left to the driver
        ManualRefused // recorded, but the switch failed: record dropped again
    };
    // Reads the output's mode (and, in manual mode, its duty: the user's own, which goes back
    // with it; otherwise full speed is written back before the driver takes over again),
    // writes the state file, then switches to manual.
    Take TakeOver(size_t device, int pwm, const std::string& name, const std::string& busPath);
    bool Driven(size_t device, int pwm) const { return m_driven.count({device, pwm}) != 0; }
    bool Empty() const { return m_driven.empty(); }

    // Every driven output gets its duty, then its mode, back; the state file goes. The names
    // of the outputs whose mode could not be restored, as "pwmN_enable of NAME".
    std::vector<std::string> ReleaseAll();

private:
    struct DrivenOutput
    {
        int Mode = 0;
        int Duty = 255;
        std::string Name;
        std::string BusPath;
    };
    void Save();

    platform::KernelSensors& m_kernel;
    LogFunction m_log;
    platform::Directory* m_directory = nullptr;
    std::map<std::pair<size_t, int>, DrivenOutput> m_driven; // (device, pwm)
};

} // namespace calventa::hardware
