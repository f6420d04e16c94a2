#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/smart_device.h"

namespace calventa::platform::linux_backend {

inline constexpr const char* kDefaultNvmeSysfsRoot = "/sys/class/nvme";
// No attribute the program reads is longer; the rest of a larger file is never read.
inline constexpr size_t kNvmeSysfsReadLimit = 256;

// What the kernel publishes of NVMe controller n to every user under ROOT/nvmeN: the
// identity strings it read with Identify Controller, and the composite temperature through
// the controller's hwmon device. The admin commands themselves need CAP_SYS_ADMIN.
class NvmeSysfs
{
public:
    explicit NvmeSysfs(std::string root = kDefaultNvmeSysfsRoot) : m_root(std::move(root)) {}

    // model, serial and firmware_rev with trailing blanks and line ends cut; nullopt when
    // the controller has no model file (not published, or no such controller).
    std::optional<NvmePublishedIdentity> Identity(int controller) const;

    // temp1_input of the controller's hwmon device (a hwmonN folder of the controller, or of
    // its device's hwmon folder, whose name is "nvme"), in thousandths of a °C; nullopt when
    // there is none or it holds no number.
    std::optional<int64_t> CompositeMilliCelsius(int controller) const;

private:
    std::string ControllerDirectory(int controller) const;

    std::string m_root;
};

// At most limit bytes of a regular file, without following a final link and without
// blocking; nullopt when it cannot be read.
std::optional<std::string> ReadBoundedFile(const std::string& path, size_t limit = kNvmeSysfsReadLimit);

// The text with trailing blanks, tabs, line ends and NULs cut.
std::string TrimTrailingBlanks(std::string text);

// A whole decimal number (optionally negative, trailing blanks allowed); nullopt otherwise.
std::optional<int64_t> ParseDecimal(const std::string& text);

} // namespace calventa::platform::linux_backend
