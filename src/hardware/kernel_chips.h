#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/kernel_sensors.h"

namespace calventa::hardware {

// What a kernel hwmon device is, as far as the default slot assignments care.
enum class KernelDeviceRole {
    Cpu,          // coretemp, k10temp, zenpower, cpu_thermal
    BoardMonitor, // the Super I/O or board controller: nct67xx, it87xx, w83627…, f718xx, …
    ThermalZone,  // acpitz
    Other,
};

KernelDeviceRole RoleOfKernelDevice(std::string_view name);

// The voltage slot (kSlotVCoreA … kSlotVBat) a label names, or -1. Only the label decides:
// "Vcore" → VCoreA, "+3.3V"/"3VCC" → +3.3V, "5VSB" → +5VSB, "Vbat" → +VBAT; a label that names
// no rail of the window ("3VSB", "AVCC", "in4") gives -1, so no rail is shown under another's name.
int VoltageSlotOfLabel(std::string_view label);

// How well an input serves as the CPU temperature: 0 = not at all, higher = better.
int CpuTemperatureRank(std::string_view device, std::string_view label);

// A label from the kernel or sensors.conf made fit to show: control bytes become '?', and it
// is cut to kChannelLabelMax bytes without splitting a UTF-8 sequence.
std::string DisplayLabel(std::string_view label);

// The fan outputs of the kernel the program switched to manual, with the mode each had, as
// kept in the state file while it drives them: a run that dies leaves the file behind, and
// the next start puts the modes back.
struct KernelPwmState
{
    std::string Device;  // device name
    std::string BusPath; // stable bus path
    int Pwm = 0;         // N of pwmN
    int Mode = 0;        // pwmN_enable as found
    int Duty = 255;      // pwmN to write back before the mode: the found duty in manual mode, else full speed
};

inline constexpr const char* kKernelPwmStateFileName = "pwm-restore.txt";

// How a device's name or bus path stands in the state file.
std::string KernelPwmStateField(std::string_view text);

std::string EncodeKernelPwmState(const std::vector<KernelPwmState>& entries);
// Lines that do not parse are skipped; any bytes are safe.
std::vector<KernelPwmState> DecodeKernelPwmState(std::string_view text);

} // namespace calventa::hardware
