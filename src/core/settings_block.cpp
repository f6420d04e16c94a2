#include "core/settings_block.h"

#include <algorithm>
#include <bit>
#include <limits>

namespace calventa::core {

namespace {

// Offsets inside one 21-byte sensor slot.
constexpr size_t kSlotChip = 0;
constexpr size_t kSlotChannel = 1;
constexpr size_t kSlotAlarmEnabled = 2;
constexpr size_t kSlotCorrection = 3;
constexpr size_t kSlotMinLimit = 7;
constexpr size_t kSlotMaxLimit = 11;
constexpr size_t kSlotEnabled = 15;
constexpr size_t kSlotAlarmActive = 16;
constexpr size_t kSlotAlarmValue = 17;

// Offsets inside one 7-byte fan-control record.
constexpr size_t kFanSource = 0;
constexpr size_t kFanNominal = 1;
constexpr size_t kFanEnabled = 5;
constexpr size_t kFanPwmRegister = 6;

// General options, absolute offsets.
constexpr size_t kStartMinimized = 609;
constexpr size_t kWindowMode = 610;
constexpr size_t kWindowStyle = 611;
constexpr size_t kAlpha = 612;
constexpr size_t kSensorInterval = 616;
constexpr size_t kDiskInterval = 620;
constexpr size_t kWindowLeft = 624;
constexpr size_t kWindowTop = 628;
constexpr size_t kTraySource = 632;
constexpr size_t kTrayFahrenheit = 633;
constexpr size_t kShowAdminNotice = 634;
constexpr size_t kShowFanWarning = 635;
constexpr size_t kTrayColor = 636;

static_assert(kSlotAlarmValue + 4 == kSlotImageSize);
static_assert(kSlotCount * kSlotImageSize == kFanControlImageOffset);
static_assert(kFanControlImageOffset + kFanControlCount * kFanControlImageSize == kGeneralOptionsOffset);
static_assert(kTrayColor + 4 == kSettingsImageSize);

void PutU32(SettingsImage& image, size_t offset, uint32_t value)
{
    for (size_t i = 0; i < 4; ++i) {
        image[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

uint32_t GetU32(const SettingsImage& image, size_t offset)
{
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) {
        value |= static_cast<uint32_t>(image[offset + i]) << (8 * i);
    }
    return value;
}

void PutI32(SettingsImage& image, size_t offset, int32_t value)
{
    PutU32(image, offset, static_cast<uint32_t>(value));
}
int32_t GetI32(const SettingsImage& image, size_t offset)
{
    return static_cast<int32_t>(GetU32(image, offset));
}

// Through the bit pattern, so NaN payloads survive a load/save cycle unchanged.
void PutF32(SettingsImage& image, size_t offset, float value)
{
    PutU32(image, offset, std::bit_cast<uint32_t>(value));
}
float GetF32(const SettingsImage& image, size_t offset)
{
    return std::bit_cast<float>(GetU32(image, offset));
}

struct SlotInfo
{
    const char* Name;
    const char* Label;
    SlotKind Kind;
    uint8_t AlarmEnabled;
    int32_t MinLimit;
    int32_t MaxLimit;
};

constexpr std::array<SlotInfo, kSlotCount> kSlotTable{{
    {"Cpu", "CPU :", SlotKind::Temperature, 1, -10, 70},  {"Sys", "SYS :", SlotKind::Temperature, 0, -10, 50},
    {"Aux", "AUX :", SlotKind::Temperature, 0, -10, 50},  {"HD0", "HD0 :", SlotKind::Disk, 1, -10, 60},
    {"HD1", "HD1 :", SlotKind::Disk, 1, -10, 60},         {"HD2", "HD2 :", SlotKind::Disk, 1, -10, 60},
    {"HD3", "HD3 :", SlotKind::Disk, 1, -10, 60},         {"HD4", "HD4 :", SlotKind::Disk, 1, -10, 60},
    {"HD5", "HD5 :", SlotKind::Disk, 1, -10, 60},         {"HD6", "HD6 :", SlotKind::Disk, 1, -10, 60},
    {"HD7", "HD7 :", SlotKind::Disk, 1, -10, 60},         {"VCoreA", "VCoreA :", SlotKind::Voltage, 0, 1, 3},
    {"VCoreB", "VCoreB :", SlotKind::Voltage, 0, 1, 3},   {"+2.5V", "+2.5V :", SlotKind::Voltage, 0, 2, 3},
    {"+3.3V", "+3.3V :", SlotKind::Voltage, 0, 3, 4},     {"+5V", "+5V :", SlotKind::Voltage, 0, 4, 6},
    {"+12V", "+12V :", SlotKind::Voltage, 0, 11, 14},     {"-5V", "-5V :", SlotKind::Voltage, 0, -7, -4},
    {"-12V", "-12V :", SlotKind::Voltage, 0, -15, -9},    {"+5VSB", "+5VSB :", SlotKind::Voltage, 0, 4, 6},
    {"+VBAT", "+VBAT :", SlotKind::Voltage, 0, 2, 4},     {"CpuFan", "CPU :", SlotKind::Fan, 0, 1000, 10000},
    {"SysFan", "SYS :", SlotKind::Fan, 0, 1000, 10000},   {"AuxFan", "AUX :", SlotKind::Fan, 0, 1000, 10000},
    {"CpuFan2", "CPU2 :", SlotKind::Fan, 0, 1000, 10000}, {"SysFan2", "SYS2 :", SlotKind::Fan, 0, 1000, 10000},
    {"AuxFan2", "AUX2 :", SlotKind::Fan, 0, 1000, 10000},
}};

struct FanControlDefault
{
    uint8_t Source;
    int32_t Nominal;
};

constexpr std::array<FanControlDefault, kFanControlCount> kFanControlDefaults{{
    {kSourceCpu, 40},
    {kSourceSys, 36},
    {kSourceAux, 34},
    {kSourceCpu, 40},
    {kSourceSys, 36},
    {kSourceAux, 34},
}};

constexpr int32_t kDefaultTrayColor = 0x00FF0000; // blue, as 0x00BBGGRR
constexpr int kWindowMargin = 40;
constexpr int kWindowTopOffset = 500;

bool IsSlot(int slot)
{
    return slot >= 0 && slot < kSlotCount;
}
bool IsDiskSlot(int slot)
{
    return slot >= kSlotHd0 && slot < kSlotHd0 + 8;
}

int32_t ClampToI32(int64_t value)
{
    return static_cast<int32_t>(
        std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// What both the first-start defaults and "Reset to default" write.
void ApplyOptionDefaults(SettingsBlock& block)
{
    block.StartMinimized = 0;
    block.WindowMode = 2;
    block.WindowStyle = 0;
    block.Alpha = 0;
    block.SensorInterval = 5;
    block.DiskInterval = 120;
    block.TraySource = kSourceCpu;
    block.TrayFahrenheit = 0;

    for (int k = 0; k < kSlotCount; ++k) {
        const SlotInfo& info = kSlotTable[static_cast<size_t>(k)];
        SensorSlot& slot = block.Slots[static_cast<size_t>(k)];
        slot.AlarmEnabled = info.AlarmEnabled;
        slot.Correction = 0.0f;
        slot.MinLimit = info.MinLimit;
        slot.MaxLimit = info.MaxLimit;
        slot.Enabled = 1;
        if (IsDiskSlot(k)) {
            slot.Chip = static_cast<uint8_t>(k - kSlotHd0);
        }
    }

    for (size_t k = 0; k < kFanControlDefaults.size(); ++k) {
        block.FanControl[k].Source = kFanControlDefaults[k].Source;
        block.FanControl[k].Nominal = kFanControlDefaults[k].Nominal;
        block.FanControl[k].Enabled = 0;
    }

    block.TrayColor = kDefaultTrayColor;
}

void DecodeImage(const SettingsImage& image, SettingsBlock& block)
{
    for (size_t k = 0; k < block.Slots.size(); ++k) {
        const size_t base = k * kSlotImageSize;
        SensorSlot& slot = block.Slots[k];
        slot.Chip = image[base + kSlotChip];
        slot.Channel = image[base + kSlotChannel];
        slot.AlarmEnabled = image[base + kSlotAlarmEnabled];
        slot.Correction = GetF32(image, base + kSlotCorrection);
        slot.MinLimit = GetI32(image, base + kSlotMinLimit);
        slot.MaxLimit = GetI32(image, base + kSlotMaxLimit);
        slot.Enabled = image[base + kSlotEnabled];
        slot.AlarmActive = image[base + kSlotAlarmActive];
        slot.AlarmValue = GetF32(image, base + kSlotAlarmValue);
    }

    for (size_t k = 0; k < block.FanControl.size(); ++k) {
        const size_t base = kFanControlImageOffset + k * kFanControlImageSize;
        FanControlRecord& record = block.FanControl[k];
        record.Source = image[base + kFanSource];
        record.Nominal = GetI32(image, base + kFanNominal);
        record.Enabled = image[base + kFanEnabled];
        record.PwmRegister = image[base + kFanPwmRegister];
    }

    block.StartMinimized = image[kStartMinimized];
    block.WindowMode = image[kWindowMode];
    block.WindowStyle = image[kWindowStyle];
    block.Alpha = GetI32(image, kAlpha);
    block.SensorInterval = GetI32(image, kSensorInterval);
    block.DiskInterval = GetI32(image, kDiskInterval);
    block.WindowLeft = GetI32(image, kWindowLeft);
    block.WindowTop = GetI32(image, kWindowTop);
    block.TraySource = image[kTraySource];
    block.TrayFahrenheit = image[kTrayFahrenheit];
    block.ShowAdminNotice = image[kShowAdminNotice];
    block.ShowFanWarning = image[kShowFanWarning];
    block.TrayColor = GetI32(image, kTrayColor);
}

} // namespace

SlotKind KindOfSlot(int slot)
{
    // Outside the table: temperature, whose channel reads are bounds-checked like any other.
    return IsSlot(slot) ? kSlotTable[static_cast<size_t>(slot)].Kind : SlotKind::Temperature;
}

const char* SlotName(int slot)
{
    return IsSlot(slot) ? kSlotTable[static_cast<size_t>(slot)].Name : "";
}

const char* SlotLabel(int slot)
{
    return IsSlot(slot) ? kSlotTable[static_cast<size_t>(slot)].Label : "";
}

SettingsImage EncodeSettings(const SettingsBlock& block)
{
    SettingsImage image{};

    for (size_t k = 0; k < block.Slots.size(); ++k) {
        const size_t base = k * kSlotImageSize;
        const SensorSlot& slot = block.Slots[k];
        image[base + kSlotChip] = slot.Chip;
        image[base + kSlotChannel] = slot.Channel;
        image[base + kSlotAlarmEnabled] = slot.AlarmEnabled;
        PutF32(image, base + kSlotCorrection, slot.Correction);
        PutI32(image, base + kSlotMinLimit, slot.MinLimit);
        PutI32(image, base + kSlotMaxLimit, slot.MaxLimit);
        image[base + kSlotEnabled] = slot.Enabled;
        image[base + kSlotAlarmActive] = slot.AlarmActive;
        PutF32(image, base + kSlotAlarmValue, slot.AlarmValue);
    }

    for (size_t k = 0; k < block.FanControl.size(); ++k) {
        const size_t base = kFanControlImageOffset + k * kFanControlImageSize;
        const FanControlRecord& record = block.FanControl[k];
        image[base + kFanSource] = record.Source;
        PutI32(image, base + kFanNominal, record.Nominal);
        image[base + kFanEnabled] = record.Enabled;
        image[base + kFanPwmRegister] = record.PwmRegister;
    }

    image[kStartMinimized] = block.StartMinimized;
    image[kWindowMode] = block.WindowMode;
    image[kWindowStyle] = block.WindowStyle;
    PutI32(image, kAlpha, block.Alpha);
    PutI32(image, kSensorInterval, block.SensorInterval);
    PutI32(image, kDiskInterval, block.DiskInterval);
    PutI32(image, kWindowLeft, block.WindowLeft);
    PutI32(image, kWindowTop, block.WindowTop);
    image[kTraySource] = block.TraySource;
    image[kTrayFahrenheit] = block.TrayFahrenheit;
    image[kShowAdminNotice] = block.ShowAdminNotice;
    image[kShowFanWarning] = block.ShowFanWarning;
    PutI32(image, kTrayColor, block.TrayColor);

    return image;
}

void DecodeSettings(std::span<const uint8_t> bytes, SettingsBlock& block)
{
    // A short file overwrites only its own bytes: lay them over the block's current image.
    SettingsImage image = EncodeSettings(block);
    const size_t count = std::min(bytes.size(), image.size());
    std::copy_n(bytes.begin(), count, image.begin());
    DecodeImage(image, block);
}

void SetDefaultSettings(SettingsBlock& block, platform::ScreenSize screen, int mainWindowWidth)
{
    block.ShowAdminNotice = 1;
    block.ShowFanWarning = 1;
    block.WindowLeft = ClampToI32(int64_t{screen.width} - mainWindowWidth - kWindowMargin);
    block.WindowTop = ClampToI32(int64_t{screen.height} - kWindowTopOffset);
    for (int k = 0; k < kSlotCount; ++k) {
        if (!IsDiskSlot(k)) {
            block.Slots[static_cast<size_t>(k)].Chip = kNoChip;
        }
    }
    ApplyOptionDefaults(block);
}

void ResetSensorOptions(SettingsBlock& block)
{
    ApplyOptionDefaults(block);
}

void ClearAlarmFlags(SettingsBlock& block)
{
    for (SensorSlot& slot : block.Slots) {
        slot.AlarmActive = 0;
    }
}

bool FanControlActive(const SettingsBlock& block, int channel)
{
    if (channel < 1 || channel > kFanControlCount) {
        return false;
    }
    const FanControlRecord& record = block.FanControl[static_cast<size_t>(channel - 1)];
    const int source = SourceSlot(record.Source);
    if (source < 0 || record.Enabled == 0) {
        return false;
    }
    const SensorSlot& slot = block.Slots[static_cast<size_t>(source)];
    return slot.Enabled != 0 && slot.Chip != kNoChip;
}

} // namespace calventa::core
