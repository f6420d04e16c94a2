// The simulated machine's kernel monitors: the board file's "kernel" devices, with values
// and pwm outputs that tests can change and unbind between passes.
#include "platform/sim/sim_machine.h"

#include <utility>

namespace calventa::sim {

namespace {

const char* SysfsPrefix(platform::KernelInputKind kind)
{
    switch (kind) {
    case platform::KernelInputKind::Temperature:
        return "temp";
    case platform::KernelInputKind::Voltage:
        return "in";
    case platform::KernelInputKind::Fan:
        return "fan";
    }
    return "temp";
}

} // namespace

std::vector<platform::KernelDevice> SimMachine::ScanDevices()
{
    m_kernelScan.clear();
    std::vector<platform::KernelDevice> devices;
    for (size_t i = 0; i < m_board.kernel.size(); ++i) {
        if (!m_kernelBound[i]) {
            continue;
        }
        const KernelDeviceDescription& described = m_board.kernel[i];
        platform::KernelDevice device;
        device.Name = described.name;
        device.BusPath = described.busPath;
        for (const KernelInputDescription& input : described.inputs) {
            device.Inputs.push_back(
                {input.kind, input.number,
                 input.label.empty() ? SysfsPrefix(input.kind) + std::to_string(input.number) : input.label});
        }
        for (const KernelPwmDescription& pwm : described.pwms) {
            device.Pwms.push_back({pwm.number});
        }
        device.AtaDrive = described.ataDrive;
        device.NvmeController = described.nvmeController;
        devices.push_back(std::move(device));
        m_kernelScan.push_back({i});
    }
    return devices;
}

std::optional<double> SimMachine::ReadInput(size_t device, size_t input)
{
    ++m_kernelReads;
    if (device >= m_kernelScan.size()) {
        return std::nullopt;
    }
    const size_t index = m_kernelScan[device].boardIndex;
    if (!m_kernelBound[index] || input >= m_board.kernel[index].inputs.size()) {
        return std::nullopt;
    }
    return m_board.kernel[index].inputs[input].value;
}

KernelPwmDescription* SimMachine::FindKernelPwm(size_t device, int pwm)
{
    if (device >= m_kernelScan.size() || !m_kernelBound[m_kernelScan[device].boardIndex]) {
        return nullptr;
    }
    for (KernelPwmDescription& output : m_board.kernel[m_kernelScan[device].boardIndex].pwms) {
        if (output.number == pwm) {
            return &output;
        }
    }
    return nullptr;
}

std::optional<int> SimMachine::ReadPwmEnable(size_t device, int pwm)
{
    const KernelPwmDescription* output = FindKernelPwm(device, pwm);
    return output != nullptr ? std::optional<int>(output->enable) : std::nullopt;
}

std::optional<int> SimMachine::ReadPwm(size_t device, int pwm)
{
    const KernelPwmDescription* output = FindKernelPwm(device, pwm);
    return output != nullptr ? std::optional<int>(output->value) : std::nullopt;
}

bool SimMachine::WritePwmEnable(size_t device, int pwm, int mode)
{
    KernelPwmDescription* output = FindKernelPwm(device, pwm);
    if (output == nullptr || !output->writable || mode < 0 || mode > 255) {
        return false;
    }
    output->enable = mode;
    return true;
}

bool SimMachine::WritePwm(size_t device, int pwm, int value)
{
    KernelPwmDescription* output = FindKernelPwm(device, pwm);
    if (output == nullptr || !output->writable || value < 0 || value > 255) {
        return false;
    }
    output->value = value;
    return true;
}

platform::PwmAccess SimMachine::CheckPwmAccess(size_t device, int pwm)
{
    const KernelPwmDescription* output = FindKernelPwm(device, pwm);
    if (output == nullptr) {
        return platform::PwmAccess::Missing;
    }
    return output->writable ? platform::PwmAccess::Ok : platform::PwmAccess::NotWritable;
}

std::vector<std::string> SimMachine::TakeNotes()
{
    return std::exchange(m_kernelNotes, {});
}

void SimMachine::SetKernelInput(size_t device, size_t input, std::optional<double> value)
{
    if (device < m_board.kernel.size() && input < m_board.kernel[device].inputs.size()) {
        m_board.kernel[device].inputs[input].value = value;
    }
}

void SimMachine::UnbindKernelDevice(size_t device)
{
    if (device < m_kernelBound.size()) {
        m_kernelBound[device] = false;
    }
}

void SimMachine::AddKernelNote(std::string note)
{
    m_kernelNotes.push_back(std::move(note));
}

const KernelPwmDescription* SimMachine::KernelPwm(size_t device, int pwm) const
{
    if (device >= m_board.kernel.size()) {
        return nullptr;
    }
    for (const KernelPwmDescription& output : m_board.kernel[device].pwms) {
        if (output.number == pwm) {
            return &output;
        }
    }
    return nullptr;
}

} // namespace calventa::sim
