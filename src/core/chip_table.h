#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace calventa::core {

// The port search records at most kPortChipCapacity chips; the kernel's hwmon devices
// follow them up to kChipCapacity. A slot's chip index is one byte (255 = none).
inline constexpr int kPortChipCapacity = 8;
inline constexpr int kChipCapacity = 32;
// Channels of a chip the port search found.
inline constexpr int kTempChannels = 4;
inline constexpr int kVoltChannels = 10;
inline constexpr int kFanChannels = 8;
// Channels of a kernel device: a board monitor has up to 15 voltages and 7 fans, coretemp
// one temperature per core.
inline constexpr int kKernelTempChannels = 64;
inline constexpr int kKernelVoltChannels = 32;
inline constexpr int kKernelFanChannels = 16;
inline constexpr int kKernelPwmOutputs = 16;
inline constexpr size_t kChipNameMax = 64;
inline constexpr size_t kChannelLabelMax = 64;

inline constexpr uint8_t kBusIsa = 1;
inline constexpr uint8_t kBusSmbus = 2;
inline constexpr uint8_t kBusKernel = 3; // a hwmon device of the kernel, read through the platform

// Model codes; the Winbond ones are the chip identification byte itself.
namespace chip_code {
inline constexpr uint16_t kW83781D = 0x10;
inline constexpr uint16_t kW83627HF = 0x21;
inline constexpr uint16_t kW83782D = 0x30;
inline constexpr uint16_t kAs99127FRev2Isa = 0x31;
inline constexpr uint16_t kW83783S = 0x40;
inline constexpr uint16_t kW83697HF = 0x60;
inline constexpr uint16_t kW83637HF = 0x80;
inline constexpr uint16_t kW83627THF = 0x90;
inline constexpr uint16_t kW83627EHF = 0xA1;
inline constexpr uint16_t kWinbondUnknown = 0x00FF;
inline constexpr uint16_t kAs99127FRev1 = 0x4000;
inline constexpr uint16_t kAsb100 = 0x4001;
inline constexpr uint16_t kLm87 = 0x4002;
inline constexpr uint16_t kAs99127FRev2 = 0x4003;
inline constexpr uint16_t kIte8712F = 0x4080;
inline constexpr uint16_t kIte8705 = 0x4090;
inline constexpr uint16_t kLm90 = 0x8002;
inline constexpr uint16_t kLm75 = 0x8003;
// Above every code of the port search; the record is read from the kernel, not from ports.
inline constexpr uint16_t kKernelDevice = 0xC000;
} // namespace chip_code

enum class ChannelKind { Temperature, Voltage, Fan };

// One detected chip with its latest readings. Channels are 1-based within their kind;
// every accessor checks the channel, so no slot value from a file can leave the arrays.
// A record of the port search has 4/10/8 channels; a kernel device's record is widened
// with UseKernelCapacity.
struct ChipRecord
{
    std::string Name;
    uint8_t Bus = 0;
    uint8_t Address = 0;
    uint16_t ChipCode = 0;
    std::vector<int32_t> Temps = std::vector<int32_t>(kTempChannels);
    std::vector<float> Volts = std::vector<float>(kVoltChannels);
    std::vector<int32_t> Fans = std::vector<int32_t>(kFanChannels);
    uint8_t TempCount = 0;
    uint8_t VoltCount = 0;
    uint8_t FanCount = 0;
    uint8_t PwmCount = 0;

    // Channels a reader wrote during the current pass; only those take corrections, so a
    // correction on a channel nobody rereads cannot pile up pass after pass.
    std::vector<bool> TempFilled = std::vector<bool>(kTempChannels);
    std::vector<bool> VoltFilled = std::vector<bool>(kVoltChannels);
    std::vector<bool> FanFilled = std::vector<bool>(kFanChannels);

    // Kernel devices only: the input labels by channel ("Package id 0", "SYSTIN"), why
    // each pwm output cannot be driven ("" when it can), and the channels whose last read
    // failed, which hold no current value.
    std::string KernelBusPath; // "platform/coretemp.0"
    std::vector<std::string> TempLabels;
    std::vector<std::string> VoltLabels;
    std::vector<std::string> FanLabels;
    std::vector<std::string> PwmLabels;   // "pwm1", by output
    std::vector<std::string> PwmProblems; // by output
    std::vector<bool> TempMissing = std::vector<bool>(kTempChannels);
    std::vector<bool> VoltMissing = std::vector<bool>(kVoltChannels);
    std::vector<bool> FanMissing = std::vector<bool>(kFanChannels);

    bool IsKernelDevice() const { return Bus == kBusKernel; }
    void UseKernelCapacity();

    int32_t Temp(int channel) const;
    float Volt(int channel) const;
    int32_t Fan(int channel) const;
    // False only for a kernel channel whose last read failed.
    bool HasReading(ChannelKind kind, int channel) const;
    // The input label of a kernel channel; "" for port chips and unknown channels.
    std::string Label(ChannelKind kind, int channel) const;

    // Readers store through these; a channel outside the array is ignored.
    void SetTemp(int channel, int32_t value);
    void SetVolt(int channel, float value);
    void SetFan(int channel, int32_t value);
    // The read of a kernel channel failed: no current value until the next good read.
    void SetMissing(ChannelKind kind, int channel);
    void ClearFilled();

    void SetName(const std::string& name); // clamped to 64 characters
};

struct ChipTable
{
    uint8_t ChipCount = 0;
    std::array<ChipRecord, kChipCapacity> Records{};

    // nullptr for an index outside the records.
    const ChipRecord* At(int index) const;
    ChipRecord* At(int index);

    // Values through a slot's (chip, channel); 0 when either lies outside the table.
    int32_t Temp(int chip, int channel) const;
    float Volt(int chip, int channel) const;
    int32_t Fan(int chip, int channel) const;
    // Whether a slot's (chip, channel) holds a current value: false for a kernel channel
    // whose last read failed; true for everything else, as before.
    bool HasReading(ChannelKind kind, int chip, int channel) const;
};

// Duty in percent of fan-control channels 1..8 (channels 7 and 8 exist but are unused).
class FanDutyTable
{
public:
    int32_t Get(int channel) const; // 0 outside 1..8
    void Set(int channel, int32_t duty);
    void SetAll(int32_t duty);

private:
    std::array<int32_t, 8> m_duty{};
};

} // namespace calventa::core
