#include "platform/linux/hwmon_pwm_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/linux/hwmon_names.h"

namespace calventa::platform::linux_backend {

namespace {

// A small sysfs attribute, read whole; none when it cannot be opened or read.
std::optional<std::string> ReadAttribute(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    char buffer[64];
    ssize_t length;
    do {
        length = read(fd, buffer, sizeof buffer);
    } while (length < 0 && errno == EINTR);
    close(fd);
    if (length < 0) {
        return std::nullopt;
    }
    return std::string(buffer, static_cast<size_t>(length));
}

bool WriteAttribute(const std::string& path, int value)
{
    const int fd = open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const std::string text = std::to_string(value) + "\n";
    ssize_t written;
    do {
        written = write(fd, text.data(), text.size());
    } while (written < 0 && errno == EINTR);
    // sysfs reports a refused value (EINVAL, EPERM) at write or at close.
    const bool closed = close(fd) == 0;
    return written == static_cast<ssize_t>(text.size()) && closed;
}

bool Exists(const std::string& path)
{
    return access(path.c_str(), F_OK) == 0;
}

bool Writable(const std::string& path)
{
    return faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

} // namespace

std::string HwmonPwmFiles::FileOf(int pwm, const char* suffix) const
{
    return m_directory + "/pwm" + std::to_string(pwm) + suffix;
}

std::vector<int> HwmonPwmFiles::List() const
{
    std::vector<int> pwms;
    if (DIR* dir = opendir(m_directory.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            if (std::optional<int> pwm = NumberAfterPrefix(entry->d_name, "pwm")) {
                pwms.push_back(*pwm);
            }
        }
        closedir(dir);
    }
    std::sort(pwms.begin(), pwms.end());
    return pwms;
}

std::optional<int> HwmonPwmFiles::ReadEnable(int pwm) const
{
    const std::optional<std::string> text = ReadAttribute(FileOf(pwm, "_enable"));
    return text ? ParseSysfsInteger(*text) : std::nullopt;
}

std::optional<int> HwmonPwmFiles::ReadDuty(int pwm) const
{
    const std::optional<std::string> text = ReadAttribute(FileOf(pwm, ""));
    const std::optional<int> duty = text ? ParseSysfsInteger(*text) : std::nullopt;
    return duty && *duty >= 0 && *duty <= 255 ? duty : std::nullopt;
}

bool HwmonPwmFiles::WriteEnable(int pwm, int mode) const
{
    return WriteAttribute(FileOf(pwm, "_enable"), mode);
}

bool HwmonPwmFiles::WriteDuty(int pwm, int value) const
{
    return value >= 0 && value <= 255 && WriteAttribute(FileOf(pwm, ""), value);
}

PwmAccess HwmonPwmFiles::Access(int pwm) const
{
    const std::string duty = FileOf(pwm, "");
    if (!Exists(duty)) {
        return PwmAccess::Missing;
    }
    // Some drivers have no pwmN_enable (always manual); where it exists it must be writable too.
    const std::string enable = FileOf(pwm, "_enable");
    if (!Writable(duty) || (Exists(enable) && !Writable(enable))) {
        return PwmAccess::NotWritable;
    }
    return PwmAccess::Ok;
}

} // namespace calventa::platform::linux_backend
