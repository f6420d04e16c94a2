#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/kernel_sensors.h"

namespace calventa::platform::linux_backend {

// The pwm outputs of one hwmon directory, which libsensors does not cover: pwmN (duty
// 0..255) and pwmN_enable (0 full speed, 1 manual, 2.. the driver's automatic modes).
// Writes go to existing files only: no file is ever created, no final link followed.
class HwmonPwmFiles
{
public:
    explicit HwmonPwmFiles(std::string directory) : m_directory(std::move(directory)) {}

    // N of every pwmN file, ascending.
    std::vector<int> List() const;
    std::optional<int> ReadEnable(int pwm) const;
    // pwmN; none when unreadable or outside 0..255.
    std::optional<int> ReadDuty(int pwm) const;
    bool WriteEnable(int pwm, int mode) const;
    // Refuses values outside 0..255 without writing.
    bool WriteDuty(int pwm, int value) const;
    // Missing without pwmN; NotWritable when pwmN, or pwmN_enable where the driver has one,
    // may not be written by this process.
    PwmAccess Access(int pwm) const;

private:
    std::string FileOf(int pwm, const char* suffix) const;

    std::string m_directory;
};

} // namespace calventa::platform::linux_backend
