#pragma once

#include <string>

#include "platform/clock.h"
#include "platform/system_facts.h"

namespace calventa::platform::windows_backend {

// The system's version as the kernel reports it (not as a manifest-less program is told).
struct WindowsVersion
{
    PlatformFamily family = PlatformFamily::NtFamily;
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
};
WindowsVersion QueryWindowsVersion();

// What the program asks of the system, answered by Windows: the user's own date and time
// formats, the primary screen, the executable's folder as the program directory.
class WindowsSystemFacts final : public SystemFacts
{
public:
    WindowsSystemFacts();

    PlatformFamily Family() const override { return m_version.family; }
    ScreenSize PrimaryScreen() const override;
    std::string FormatShortDate(const LocalDateTime& when) const override;
    std::string FormatLongTime(const LocalDateTime& when) const override;
    std::string DecimalSeparator() const override;
    // The executable's folder: where the setup puts settings.dat's home and the drv folder.
    std::string DefaultProgramDirectory() const override;
    std::string ExecutablePath() const override;
    std::string JoinPath(const std::string& directory, const std::string& name) const override;

    const WindowsVersion& Version() const { return m_version; }

private:
    WindowsVersion m_version;
};

// The executable's full path ("C:\Program Files\Calventa\calventa.exe"); empty on failure.
std::string CurrentExecutablePath();
// The folder part of a path, without the separator; "." when it has none.
std::string FolderOf(const std::string& path);

class WindowsClock final : public Clock
{
public:
    LocalDateTime Now() override;
    void SleepMs(uint32_t milliseconds) override;
};

} // namespace calventa::platform::windows_backend
