#pragma once

#include <locale.h>

#include <string>

#include "platform/system_facts.h"

namespace calventa::platform::linux_backend {

// What the program asks of the system, answered the Linux way. Dates and times follow the
// user's locale (or the one named) without touching the process's global locale.
class LinuxSystemFacts final : public SystemFacts
{
public:
    // localeName "" means the user's environment (LC_ALL, LC_TIME, LANG); a locale that is
    // not installed falls back to "C".
    explicit LinuxSystemFacts(std::string programDirectory, const std::string& localeName = "");
    ~LinuxSystemFacts() override;
    LinuxSystemFacts(const LinuxSystemFacts&) = delete;
    LinuxSystemFacts& operator=(const LinuxSystemFacts&) = delete;

    // Linux takes the NT family's paths through the program.
    PlatformFamily Family() const override { return PlatformFamily::NtFamily; }
    // The Qt front end knows the real screen; this is the value without one.
    ScreenSize PrimaryScreen() const override { return {}; }
    std::string FormatShortDate(const LocalDateTime& when) const override;
    std::string FormatLongTime(const LocalDateTime& when) const override;
    std::string DecimalSeparator() const override;
    // The directory given at construction, created (0700) when missing; by root only inside
    // a directory that nobody else can change.
    std::string DefaultProgramDirectory() const override;
    // Empty when /proc/self/exe cannot be read.
    std::string ExecutablePath() const override;
    std::string JoinPath(const std::string& directory, const std::string& name) const override;

private:
    std::string Format(const LocalDateTime& when, int item) const;

    std::string m_programDirectory;
    locale_t m_locale;
};

// $XDG_CONFIG_HOME/calventa, else $HOME/.config/calventa, else the current directory.
// Relative or empty variables count as unset, as the base directory rules say.
std::string ProgramDirectoryFor(const char* xdgConfigHome, const char* home, const std::string& currentDirectory);

} // namespace calventa::platform::linux_backend
