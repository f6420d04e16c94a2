#include "core/alarms.h"

#include "core/numeric.h"
#include "core/value_text.h"

namespace calventa::core {

bool EvaluateAlarm(SensorSlot& slot, AlarmFlags& flags, double value)
{
    if (slot.Enabled == 0 || slot.AlarmEnabled == 0) {
        slot.AlarmActive = 0;
        return false;
    }
    if (static_cast<double>(slot.MinLimit) < value && value < static_cast<double>(slot.MaxLimit)) {
        slot.AlarmActive = 0;
        return false;
    }
    // A value that stays out of range raises again whenever it is higher than at the
    // previous test, for a low-limit violation as for a high one.
    if ((slot.AlarmActive == 0 || value > static_cast<double>(slot.AlarmValue)) && flags.AlarmWindowReady) {
        flags.NewAlarm = true;
        slot.AlarmActive = 1;
    }
    slot.AlarmValue = static_cast<float>(value);
    return true;
}

namespace {

struct AlarmLine
{
    int slot;
    const char* caption;
};

// Window order: -12V comes before -5V here, unlike in the settings block.
constexpr AlarmLine kLineOrder[] = {
    {kSlotCpu, "CPU"},          {kSlotSys, "SYS"},          {kSlotAux, "AUX"},          {kSlotHd0, "HD0"},
    {kSlotHd0 + 1, "HD1"},      {kSlotHd0 + 2, "HD2"},      {kSlotHd0 + 3, "HD3"},      {kSlotHd0 + 4, "HD4"},
    {kSlotHd0 + 5, "HD5"},      {kSlotHd0 + 6, "HD6"},      {kSlotHd0 + 7, "HD7"},      {kSlotVCoreA, "VCoreA"},
    {kSlotVCoreB, "VCoreB"},    {kSlot2_5V, "+2.5V"},       {kSlot3_3V, "+3.3V"},       {kSlot5V, "+5V"},
    {kSlot12V, "+12V"},         {kSlotMinus12V, "-12V"},    {kSlotMinus5V, "-5V"},      {kSlot5VSB, "+5VSB"},
    {kSlotVBat, "+VBAT"},       {kSlotCpuFan, "CPU fan"},   {kSlotSysFan, "SYS fan"},   {kSlotAuxFan, "AUX fan"},
    {kSlotCpuFan2, "CPU fan2"}, {kSlotSysFan2, "SYS fan2"}, {kSlotAuxFan2, "Aux fan2"},
};

const AlarmLine* LineOf(int slot)
{
    for (const AlarmLine& line : kLineOrder) {
        if (line.slot == slot) {
            return &line;
        }
    }
    return nullptr;
}

std::string LineText(const AlarmLine& line, float value, const std::string& separator)
{
    switch (KindOfSlot(line.slot)) {
    case SlotKind::Temperature:
    case SlotKind::Disk:
        return std::string(line.caption) + " temperature is " + GetFahrString(CeilToInt32(value));
    case SlotKind::Voltage:
        return std::string(line.caption) + " voltage is " + GetVoltString(value, separator) + " V";
    case SlotKind::Fan:
        break;
    }
    return std::string(line.caption) + " is " + std::to_string(CeilToInt32(value)) + " RPM";
}

} // namespace

bool AlarmHolds(const SensorSlot& slot)
{
    return slot.Chip != kNoChip && slot.Enabled != 0 && slot.AlarmEnabled != 0 && slot.AlarmActive != 0;
}

std::vector<int> HeldAlarms(const SettingsBlock& block)
{
    std::vector<int> held;
    for (const AlarmLine& line : kLineOrder) {
        if (AlarmHolds(block.Slots[static_cast<size_t>(line.slot)])) {
            held.push_back(line.slot);
        }
    }
    return held;
}

std::string AlarmCaption(int slot)
{
    const AlarmLine* line = LineOf(slot);
    return line != nullptr ? line->caption : std::string();
}

std::string AlarmLineText(const SettingsBlock& block, int slot, const std::string& decimalSeparator)
{
    const AlarmLine* line = LineOf(slot);
    if (line == nullptr) {
        return std::string();
    }
    return LineText(*line, block.Slots[static_cast<size_t>(slot)].AlarmValue, decimalSeparator);
}

std::optional<AlarmNotice> AlarmStartWatch::Look(const SettingsBlock& block, const std::string& decimalSeparator)
{
    std::array<bool, kSlotCount> held{};
    AlarmNotice notice;
    int started = 0;
    for (const int slot : HeldAlarms(block)) {
        const auto index = static_cast<size_t>(slot);
        held[index] = true;
        if (!m_held[index]) {
            notice.Body += (started++ > 0 ? "\n" : "") + AlarmLineText(block, slot, decimalSeparator);
        }
    }
    m_held = held;
    if (started == 0) {
        return std::nullopt;
    }
    notice.Summary = started == 1 ? "Calventa alarm" : "Calventa alarms";
    return notice;
}

AlarmWindowContent CheckAlarms(const SettingsBlock& block, platform::ScreenSize screen,
                               const std::string& decimalSeparator)
{
    AlarmWindowContent content;
    for (const int slot : HeldAlarms(block)) {
        content.Lines.push_back(AlarmLineText(block, slot, decimalSeparator));
    }
    const int y =
        AlarmWindowContent::kFirstLineTop + AlarmWindowContent::kLineStep * static_cast<int>(content.Lines.size());
    content.PanelHeight = y + 30;
    content.CloseButtonTop = y + 4;
    content.Height = content.PanelHeight + 26;
    content.Left = screen.width - AlarmWindowContent::kWidth - 16;
    content.Top = screen.height - content.Height - 56;
    return content;
}

} // namespace calventa::core
