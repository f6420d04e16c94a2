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
    LinuxNvmeDevice(int fd, uint32_t timeoutMs) : m_fd(fd), m_timeoutMs(timeoutMs) {}
    ~LinuxNvmeDevice() override { close(m_fd); }
    LinuxNvmeDevice(const LinuxNvmeDevice&) = delete;
    LinuxNvmeDevice& operator=(const LinuxNvmeDevice&) = delete;

    SmartCommandResult SendAdminCommand(const NvmeAdminCommand& command, NvmeDataPage& data) override
    {
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

private:
    int m_fd;
    uint32_t m_timeoutMs;
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

NvmeOpenResult OpenLinuxNvmeController(const std::string& path, uint32_t timeoutMs)
{
    NvmeOpenResult result;
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result.error = DriveOpenErrorOf(errno);
        return result;
    }
    result.device = std::make_unique<LinuxNvmeDevice>(fd, timeoutMs);
    return result;
}

} // namespace calventa::platform::linux_backend
