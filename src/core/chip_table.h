#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace calventa::core {

inline constexpr int kChipCapacity = 8;
inline constexpr int kTempChannels = 4;
inline constexpr int kVoltChannels = 10;
inline constexpr int kFanChannels = 8;
inline constexpr size_t kChipNameMax = 64;

inline constexpr uint8_t kBusIsa = 1;
inline constexpr uint8_t kBusSmbus = 2;

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
} // namespace chip_code

// One detected chip with its latest readings. Channels are 1-based within their kind;
// every accessor checks the channel, so no slot value from a file can leave the arrays.
struct ChipRecord
{
    std::string Name;
    uint8_t Bus = 0;
    uint8_t Address = 0;
    uint16_t ChipCode = 0;
    std::array<int32_t, kTempChannels> Temps{};
    std::array<float, kVoltChannels> Volts{};
    std::array<int32_t, kFanChannels> Fans{};
    uint8_t TempCount = 0;
    uint8_t VoltCount = 0;
    uint8_t FanCount = 0;
    uint8_t PwmCount = 0;

    // Channels a reader wrote during the current pass; only those take corrections, so a
    // correction on a channel nobody rereads cannot pile up pass after pass.
    std::array<bool, kTempChannels> TempFilled{};
    std::array<bool, kVoltChannels> VoltFilled{};
    std::array<bool, kFanChannels> FanFilled{};

    int32_t Temp(int channel) const;
    float Volt(int channel) const;
    int32_t Fan(int channel) const;

    // Readers store through these; a channel outside the array is ignored.
    void SetTemp(int channel, int32_t value);
    void SetVolt(int channel, float value);
    void SetFan(int channel, int32_t value);
    void ClearFilled();

    void SetName(const std::string& name); // clamped to 64 characters
};

struct ChipTable
{
    uint8_t ChipCount = 0;
    std::array<ChipRecord, kChipCapacity> Records{};

    // nullptr for an index outside the eight records.
    const ChipRecord* At(int index) const;
    ChipRecord* At(int index);

    // Values through a slot's (chip, channel); 0 when either lies outside the table.
    int32_t Temp(int chip, int channel) const;
    float Volt(int chip, int channel) const;
    int32_t Fan(int chip, int channel) const;
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
