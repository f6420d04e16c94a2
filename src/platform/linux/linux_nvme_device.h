#pragma once

#include <linux/nvme_ioctl.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/linux/linux_nvme_sysfs.h"
#include "platform/smart_device.h"

namespace calventa::platform::linux_backend {

inline constexpr const char* kDefaultNvmePrefix = "/dev/nvme"; // controller n is this plus n
inline constexpr uint32_t kDefaultNvmeTimeoutMs = 10000;

static_assert(sizeof(nvme_admin_cmd) == 72, "the kernel's admin command block");

// The block NVME_IOCTL_ADMIN_CMD takes: the command's fields, the data buffer's address and
// length, the timeout; every other field zero.
nvme_admin_cmd BuildNvmeAdminCommand(const NvmeAdminCommand& command, uint64_t dataAddress, uint32_t timeoutMs);

// How the ioctl's return value is reported: 0 done, a positive NVMe status failed, -1 with
// EACCES/EPERM a missing right (CAP_SYS_ADMIN), any other errno failed.
SmartCommandStatus NvmeCommandStatusOf(int ioctlResult, int errnoValue);

// The device path of controller n: /dev/nvme0 … /dev/nvme7.
std::string NvmeControllerPath(const std::string& prefix, int controller);

// Opens the controller's character device; the admin commands need only reading. Admin
// commands the kernel refuses (it passes them only with CAP_SYS_ADMIN) leave the published
// identity and temperature of controller n under sysfs; a device file this user may not
// open gives AccessDenied with a device that has only those, when they exist.
NvmeOpenResult OpenLinuxNvmeController(const std::string& path, uint32_t timeoutMs, const NvmeSysfs& sysfs,
                                       int controller);

} // namespace calventa::platform::linux_backend
