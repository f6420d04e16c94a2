#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace calventa::platform::linux_backend {

// Pure helpers over the names the kernel's hwmon class uses in sysfs; no file access, so
// every edge is tested without a kernel.

// N of "<prefix>N" when the rest of `name` is decimal digits only: ("temp", "temp12") → 12;
// "pwm1_enable" is not a pwm output, "temp" has no number.
std::optional<int> NumberAfterPrefix(std::string_view name, std::string_view prefix);

// The stable bus path of a device from its resolved sysfs path: "/sys/devices/i2c-0/0-004c"
// → "i2c-0/0-004c". Empty for anything outside /sys/devices (no device, or a bad link).
std::string BusPathOf(std::string_view resolvedDevicePath);

// The physical drive number of a SATA/SCSI disk's block device: "sda" → 0 … "sdh" → 7; none
// for other names ("sdi", "sdaa", "nvme0n1", "sr0").
std::optional<int> AtaDriveOfBlockName(std::string_view blockName);

// The controller number of an NVMe controller device: "nvme0" → 0; none for "nvme0n1" or
// other names.
std::optional<int> NvmeControllerOfName(std::string_view deviceName);

// A sysfs attribute's text as an integer: optional sign, digits, an optional trailing
// newline. None for empty, partial or out-of-range text.
std::optional<int> ParseSysfsInteger(std::string_view text);

} // namespace calventa::platform::linux_backend
