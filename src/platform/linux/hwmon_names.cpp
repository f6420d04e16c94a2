#include "platform/linux/hwmon_names.h"

#include <charconv>
#include <limits>

namespace calventa::platform::linux_backend {

namespace {

constexpr std::string_view kDevicesRoot = "/sys/devices/";
constexpr int kMaxDrives = 8; // the disk pass numbers /dev/sda../dev/sdh as drives 0..7

std::optional<int> DecimalOf(std::string_view digits)
{
    if (digits.empty() || digits.size() > 9) {
        return std::nullopt;
    }
    int value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

std::optional<int> NumberAfterPrefix(std::string_view name, std::string_view prefix)
{
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) {
        return std::nullopt;
    }
    return DecimalOf(name.substr(prefix.size()));
}

std::string BusPathOf(std::string_view resolvedDevicePath)
{
    if (resolvedDevicePath.size() <= kDevicesRoot.size() ||
        resolvedDevicePath.substr(0, kDevicesRoot.size()) != kDevicesRoot) {
        return {};
    }
    std::string_view rest = resolvedDevicePath.substr(kDevicesRoot.size());
    while (!rest.empty() && rest.back() == '/') {
        rest.remove_suffix(1);
    }
    return std::string(rest);
}

std::optional<int> AtaDriveOfBlockName(std::string_view blockName)
{
    if (blockName.size() != 3 || blockName.substr(0, 2) != "sd") {
        return std::nullopt;
    }
    const int drive = blockName[2] - 'a';
    if (drive < 0 || drive >= kMaxDrives) {
        return std::nullopt;
    }
    return drive;
}

std::optional<int> NvmeControllerOfName(std::string_view deviceName)
{
    return NumberAfterPrefix(deviceName, "nvme");
}

std::optional<int> ParseSysfsInteger(std::string_view text)
{
    if (!text.empty() && text.back() == '\n') {
        text.remove_suffix(1);
    }
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') {
            return std::nullopt;
        }
    }
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || ptr != end || value < std::numeric_limits<int>::min() ||
        value > std::numeric_limits<int>::max()) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

} // namespace calventa::platform::linux_backend
