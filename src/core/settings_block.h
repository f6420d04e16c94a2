#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/system_facts.h"

namespace calventa::core {

inline constexpr int kSlotCount = 27;
inline constexpr int kFanControlCount = 6;
inline constexpr size_t kSettingsImageSize = 640;
inline constexpr size_t kSlotImageSize = 21;
inline constexpr size_t kFanControlImageOffset = 567;
inline constexpr size_t kFanControlImageSize = 7;
inline constexpr size_t kGeneralOptionsOffset = 609;

inline constexpr uint8_t kNoChip = 255;   // in SensorSlot::Chip and FanControlRecord::PwmRegister
inline constexpr uint8_t kSourceCpu = 16; // temperature source codes (fan control, tray)
inline constexpr uint8_t kSourceSys = 17;
inline constexpr uint8_t kSourceAux = 18;
inline constexpr int kDefaultMainWindowWidth = 170;

// Slot indexes in settings order.
enum SlotIndex : int {
    kSlotCpu = 0,
    kSlotSys = 1,
    kSlotAux = 2,
    kSlotHd0 = 3, // HD0..HD7 are 3..10
    kSlotVCoreA = 11,
    kSlotVCoreB = 12,
    kSlot2_5V = 13,
    kSlot3_3V = 14,
    kSlot5V = 15,
    kSlot12V = 16,
    kSlotMinus5V = 17,
    kSlotMinus12V = 18,
    kSlot5VSB = 19,
    kSlotVBat = 20,
    kSlotCpuFan = 21,
    kSlotSysFan = 22,
    kSlotAuxFan = 23,
    kSlotCpuFan2 = 24,
    kSlotSysFan2 = 25,
    kSlotAuxFan2 = 26,
};

enum class SlotKind { Temperature, Disk, Voltage, Fan };

// A slot index outside 0..26 gives "" for the texts and Temperature for the kind.
SlotKind KindOfSlot(int slot);
// The options tree name: "Cpu", "HD0", "+3.3V", "CpuFan2", …
const char* SlotName(int slot);
// The main window label: "CPU :", "HD0 :", "+3.3V :", "CPU2 :", …
const char* SlotLabel(int slot);

struct SensorSlot
{
    uint8_t Chip = 0;    // chip-table index, kNoChip = none; disk slots: the disk number
    uint8_t Channel = 0; // 1-based within the slot's kind
    uint8_t AlarmEnabled = 0;
    float Correction = 0.0f; // temperatures: rounded up to whole degrees; volts: as is; fans: unused
    int32_t MinLimit = 0;
    int32_t MaxLimit = 0;
    uint8_t Enabled = 0;
    uint8_t AlarmActive = 0; // run time: latched alarm
    float AlarmValue = 0.0f; // run time: last out-of-range reading

    bool operator==(const SensorSlot&) const = default;
};

struct FanControlRecord
{
    uint8_t Source = 0;  // 16 Cpu, 17 Sys, 18 Aux
    int32_t Nominal = 0; // whole °C
    uint8_t Enabled = 0;
    uint8_t PwmRegister = 0; // 0-based PWM output of the chip, kNoChip = none

    bool operator==(const FanControlRecord&) const = default;
};

// The user's settings; its byte image is settings.dat. Encoded and decoded field by
// field, little-endian, at the fixed offsets of the file.
struct SettingsBlock
{
    std::array<SensorSlot, kSlotCount> Slots{};
    std::array<FanControlRecord, kFanControlCount> FanControl{};
    uint8_t StartMinimized = 0;
    uint8_t WindowMode = 0;  // 0 on desktop, 1 always on top, 2 normal
    uint8_t WindowStyle = 0; // 0 normal, 1 simple
    int32_t Alpha = 0;       // transparency, percent
    int32_t SensorInterval = 0;
    int32_t DiskInterval = 0;
    int32_t WindowLeft = 0;
    int32_t WindowTop = 0;
    uint8_t TraySource = 0;
    uint8_t TrayFahrenheit = 0;
    uint8_t ShowAdminNotice = 0;
    uint8_t ShowFanWarning = 0;
    int32_t TrayColor = 0; // 0x00BBGGRR

    bool operator==(const SettingsBlock&) const = default;
};

using SettingsImage = std::array<uint8_t, kSettingsImageSize>;

SettingsImage EncodeSettings(const SettingsBlock& block);
// Replaces the fields covered by the first bytes.size() bytes (at most 640) of an image;
// the rest of the block keeps its values, as when a short settings.dat is loaded.
void DecodeSettings(std::span<const uint8_t> bytes, SettingsBlock& block);

// Block part of the defaults: everything but the main window width and the fan duties.
void SetDefaultSettings(SettingsBlock& block, platform::ScreenSize screen, int mainWindowWidth);
// "Reset to default": keeps sensor assignments, window position and the two notice flags.
void ResetSensorOptions(SettingsBlock& block);
void ClearAlarmFlags(SettingsBlock& block);

// The temperature slot (Cpu, Sys, Aux) a source code 16..18 names; -1 for any other code.
inline int SourceSlot(uint8_t source)
{
    return source >= kSourceCpu && source <= kSourceAux ? source - kSourceCpu : -1;
}

// Whether fan-control channel k (1..6) runs: an enabled record whose source (16..18) is an
// enabled temperature slot with a chip. Its fan row then shows the duty as a power line.
bool FanControlActive(const SettingsBlock& block, int channel);

} // namespace calventa::core
