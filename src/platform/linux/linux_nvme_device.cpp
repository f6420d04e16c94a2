#include "platform/linux/linux_nvme_device.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/linux/linux_smart_device.h"

namespace calventa::platform::linux_backend {

namespace {

class LinuxNvmeDevice final : public NvmeDevice
{
public:
    // fd -1: the device file could not be opened, only the published facts are there.
    LinuxNvmeDevice(int fd, uint32_t timeoutMs, const NvmeSysfs& sysfs, int controller)
        : m_fd(fd), m_timeoutMs(timeoutMs), m_sysfs(sysfs), m_controller(controller)
    {
    }
    ~LinuxNvmeDevice() override
    {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    LinuxNvmeDevice(const LinuxNvmeDevice&) = delete;
    LinuxNvmeDevice& operator=(const LinuxNvmeDevice&) = delete;

    SmartCommandResult SendAdminCommand(const NvmeAdminCommand& command, NvmeDataPage& data) override
    {
        if (m_fd < 0) {
            return SmartCommandStatus::RightsMissing;
        }
        if (command.dataLength > kNvmeDataSize) {
            return false;
        }
        NvmeDataPage buffer{};
        nvme_admin_cmd block = BuildNvmeAdminCommand(command, reinterpret_cast<uintptr_t>(buffer.data()), m_timeoutMs);
        const int result = ioctl(m_fd, NVME_IOCTL_ADMIN_CMD, &block);
        SmartCommandResult outcome(NvmeCommandStatusOf(result, errno));
        if (outcome) {
            data = buffer;
            outcome.completion = block.result;
        }
        return outcome;
    }

    std::optional<NvmePublishedIdentity> PublishedIdentity() override { return m_sysfs.Identity(m_controller); }
    std::optional<int64_t> PublishedMilliCelsius() override { return m_sysfs.CompositeMilliCelsius(m_controller); }

private:
    int m_fd;
    uint32_t m_timeoutMs;
    NvmeSysfs m_sysfs;
    int m_controller;
};

} // namespace

nvme_admin_cmd BuildNvmeAdminCommand(const NvmeAdminCommand& command, uint64_t dataAddress, uint32_t timeoutMs)
{
    nvme_admin_cmd block{};
    block.opcode = command.opcode;
    block.nsid = command.namespaceId;
    block.addr = command.dataLength != 0 ? dataAddress : 0;
    block.data_len = command.dataLength;
    block.cdw10 = command.cdw10;
    block.cdw11 = command.cdw11;
    block.timeout_ms = timeoutMs;
    return block;
}

SmartCommandStatus NvmeCommandStatusOf(int ioctlResult, int errnoValue)
{
    if (ioctlResult == 0) {
        return SmartCommandStatus::Done;
    }
    if (ioctlResult < 0) {
        return SmartCommandStatusOfIoctlError(errnoValue);
    }
    return SmartCommandStatus::Failed; // the controller's status code
}

std::string NvmeControllerPath(const std::string& prefix, int controller)
{
    return prefix + std::to_string(controller);
}

NvmeOpenResult OpenLinuxNvmeController(const std::string& path, uint32_t timeoutMs, const NvmeSysfs& sysfs,
                                       int controller)
{
    NvmeOpenResult result;
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result.error = DriveOpenErrorOf(errno);
        if (result.error == DriveOpenError::AccessDenied && sysfs.Identity(controller)) {
            result.device = std::make_unique<LinuxNvmeDevice>(-1, timeoutMs, sysfs, controller);
        }
        return result;
    }
    result.device = std::make_unique<LinuxNvmeDevice>(fd, timeoutMs, sysfs, controller);
    return result;
}

} // namespace calventa::platform::linux_backend
