#pragma once

#include <string>

#include "platform/clock.h"

namespace calventa::platform {

// Platform identifiers as the system version call reports them.
enum class PlatformFamily : int {
    Windows9x = 1,
    NtFamily = 2, // Linux answers this too
};

struct ScreenSize
{
    int width = 1024;
    int height = 768;
};

// What the program asks of the system besides hardware and files.
class SystemFacts
{
public:
    virtual ~SystemFacts() = default;
    virtual PlatformFamily Family() const = 0;
    virtual ScreenSize PrimaryScreen() const = 0;
    // The user's short date and long time formats.
    virtual std::string FormatShortDate(const LocalDateTime& when) const = 0;
    virtual std::string FormatLongTime(const LocalDateTime& when) const = 0;
    // The user's decimal separator ("." in the C locale).
    virtual std::string DecimalSeparator() const = 0;
    // Program directory used when the program key names none; created if missing.
    virtual std::string DefaultProgramDirectory() const = 0;
    // Full real path of the running executable.
    virtual std::string ExecutablePath() const = 0;
    // Joins a directory and a file name with the platform's separator.
    virtual std::string JoinPath(const std::string& directory, const std::string& name) const = 0;
};

} // namespace calventa::platform
