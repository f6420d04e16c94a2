#include "hardware/kernel_pwm_keeper.h"

#include "hardware/kernel_chips.h"

namespace calventa::hardware {

namespace {

constexpr size_t kMaxStateFileBytes = 64 * 1024;
constexpr int kPwmManual = 1;
constexpr int kPwmFull = 255;

} // namespace

KernelPwmKeeper::KernelPwmKeeper(platform::KernelSensors& kernel, LogFunction log)
    : m_kernel(kernel), m_log(std::move(log))
{
}

std::vector<std::string> KernelPwmKeeper::RestoreLeftover(const std::vector<platform::KernelDevice>& devices)
{
    std::vector<std::string> lines;
    if (m_directory == nullptr) {
        return lines;
    }
    const auto bytes = m_directory->ReadFile(kKernelPwmStateFileName, kMaxStateFileBytes);
    if (!bytes) {
        return lines;
    }
    for (const KernelPwmState& entry :
         DecodeKernelPwmState(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()))) {
        bool restored = false;
        for (size_t device = 0; device < devices.size() && !restored; ++device) {
            if (KernelPwmStateField(devices[device].Name) == entry.Device &&
                KernelPwmStateField(devices[device].BusPath) == entry.BusPath) {
                m_kernel.WritePwm(device, entry.Pwm, entry.Duty);
                restored = m_kernel.WritePwmEnable(device, entry.Pwm, entry.Mode);
            }
        }
        lines.push_back((restored ? "Restored pwm" : "Could not restore pwm") + std::to_string(entry.Pwm) +
                        "_enable = " + std::to_string(entry.Mode) + " of " + DisplayLabel(entry.Device) +
                        " left by an earlier run");
    }
    m_directory->RemoveFile(kKernelPwmStateFileName);
    return lines;
}

KernelPwmKeeper::Take KernelPwmKeeper::TakeOver(size_t device, int pwm, const std::string& name,
                                                const std::string& busPath)
{
    const std::pair<size_t, int> key{device, pwm};
    if (m_driven.count(key) != 0) {
        return Take::Taken;
    }
    const std::optional<int> mode = m_kernel.ReadPwmEnable(device, pwm);
    if (!mode) {
        return Take::ModeUnknown;
    }
    const int foundDuty = *mode == kPwmManual ? m_kernel.ReadPwm(device, pwm).value_or(kPwmFull) : kPwmFull;
    // Written down before the switch, so that a run that dies while driving is undone at the
    // next start.
    m_driven[key] = {*mode, foundDuty, name, busPath};
    Save();
    if (!m_kernel.WritePwmEnable(device, pwm, kPwmManual)) {
        m_driven.erase(key);
        Save();
        return Take::ManualRefused;
    }
    return Take::Taken;
}

std::vector<std::string> KernelPwmKeeper::ReleaseAll()
{
    std::vector<std::string> failed;
    if (m_driven.empty()) {
        return failed;
    }
    for (const auto& [key, driven] : m_driven) {
        // The duty first: a driver takes a duty only in manual mode.
        m_kernel.WritePwm(key.first, key.second, driven.Duty);
        if (!m_kernel.WritePwmEnable(key.first, key.second, driven.Mode)) {
            failed.push_back("pwm" + std::to_string(key.second) + "_enable of " + driven.Name);
        }
    }
    m_driven.clear();
    Save();
    return failed;
}

void KernelPwmKeeper::Save()
{
    if (m_directory == nullptr) {
        m_log(std::string("No program directory for ") + kKernelPwmStateFileName +
              ": a crash while driving the fans would leave them in manual mode");
        return;
    }
    if (m_driven.empty()) {
        if (m_directory->FileExists(kKernelPwmStateFileName)) {
            m_directory->RemoveFile(kKernelPwmStateFileName);
        }
        return;
    }
    std::vector<KernelPwmState> entries;
    for (const auto& [key, driven] : m_driven) {
        entries.push_back({driven.Name, driven.BusPath, key.second, driven.Mode, driven.Duty});
    }
    const std::string text = EncodeKernelPwmState(entries);
    if (!m_directory->ReplaceFile(kKernelPwmStateFileName,
                                  {reinterpret_cast<const uint8_t*>(text.data()), text.size()})) {
        m_log("Cannot write " + m_directory->Path() + "/" + kKernelPwmStateFileName + ": a crash while driving the fans would leave them in manual mode");
    }
}

} // namespace calventa::hardware
