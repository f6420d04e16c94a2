#include "core/options_presenter.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "core/numeric.h"
#include "core/program_store_access.h"
#include "core/value_text.h"

namespace calventa::core {

namespace {

constexpr float kTemperatureCorrectionStep = 1.0f;
constexpr double kVoltageCorrectionStep = 0.1;
constexpr float kFanCorrectionStep = 100.0f;
constexpr const char* kDegreesC = "\u00B0C";
constexpr const char* kSensorsNotFound = "Sensors not found";
constexpr const char* kHardDisk = "Hard Disk";

// Highest nominal temperature of each fan-control source (Cpu, Sys, Aux).
constexpr std::array<int32_t, 3> kNominalCap = {60, 50, 45};

std::string Decimal(int64_t value)
{
    return std::to_string(value);
}

int32_t Step(int32_t value, bool up)
{
    return SaturatingAdd(value, up ? 1 : -1);
}

bool ValidSlot(int slot)
{
    return slot >= 0 && slot < kSlotCount;
}

// Entry k of a source list is temperature slot k (source code k + 16).
int SourceEntry(uint8_t source)
{
    const int slot = SourceSlot(source);
    return slot >= 0 ? slot : kNoSelection;
}

} // namespace

int OpacityOfAlpha(int32_t alphaPercent)
{
    const int32_t alpha = std::clamp<int32_t>(alphaPercent, 0, kAlphaMax);
    return 255 - (alpha * 255 + 99) / 100;
}

std::string TemperatureCorrectionText(float correction)
{
    return (correction >= 0.0f ? "+" : "") + Decimal(CeilToInt32(correction)) + kDegreesC;
}

std::string VoltageCorrectionText(float correction, const std::string& decimalSeparator)
{
    double value = std::isfinite(correction) ? correction : 0.0;
    // Three significant digits first, then one decimal: 0.15 stays 0.2, 12.34 becomes 12.3.
    std::array<char, 64> buffer{};
    auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::scientific, 2);
    std::from_chars(buffer.data(), written.ptr, value);
    written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed, 1);
    std::string digits(buffer.data(), written.ptr);
    if (digits == "-0.0") {
        digits = "0.0";
    }
    const size_t point = digits.find('.');
    if (point != std::string::npos) {
        digits.replace(point, 1, decimalSeparator);
    }
    return (correction >= 0.0f ? "+" : "") + digits + "V";
}

std::string FanCorrectionText(float correction)
{
    return (correction >= 0.0f ? "+" : "") + Decimal(CeilToInt32(correction)) + " RPM";
}

OptionsPresenter::OptionsPresenter(MonitorState& state, OptionsHost& host) : m_state(state), m_host(host) {}

void OptionsPresenter::CreateDialog()
{
    m_sensorVisible = false;
    m_generalVisible = true;
    BuildTree();
    ShowMainOptions();
}

void OptionsPresenter::BuildTree()
{
    m_tree.clear();
    m_tree.push_back({"General", TreeNodeKind::General, kIconGeneral, -1, -1});
    m_tree.push_back({"Temperatures", TreeNodeKind::Temperatures, kIconTemperatures, -1, -1});
    m_tree.push_back({"Voltages", TreeNodeKind::Voltages, kIconVoltages, -1, -1});
    m_tree.push_back({"Fans", TreeNodeKind::Fans, kIconFans, -1, -1});
    constexpr int kTemperaturesNode = 1;
    constexpr int kVoltagesNode = 2;
    constexpr int kFansNode = 3;

    m_tempSensorCount = 0;
    m_voltSensorCount = 0;
    m_fanSensorCount = 0;
    const int chipCount = std::min<int>(m_state.Chips.ChipCount, kChipCapacity);
    for (int i = 0; i < chipCount; ++i) {
        const ChipRecord& chip = m_state.Chips.Records[static_cast<size_t>(i)];
        m_tempSensorCount += chip.TempCount;
        m_voltSensorCount += chip.VoltCount;
        m_fanSensorCount += chip.FanCount;
    }
    const int diskCount = std::min<int>(m_state.Disks.DiskCount, kMaxDisks);
    m_tempSensorCount += diskCount;

    const auto addSlots = [this](int first, int last, int parent, auto iconOf) {
        for (int slot = first; slot <= last; ++slot) {
            if (m_state.TempParam.Slots[static_cast<size_t>(slot)].Chip != kNoChip) {
                m_tree.push_back({SlotName(slot), TreeNodeKind::Sensor, iconOf(slot), parent, slot});
            }
        }
    };
    addSlots(kSlotCpuFan, kSlotAuxFan2, kFansNode, [](int) { return kIconFans; });
    addSlots(kSlotVCoreA, kSlotVBat, kVoltagesNode, [](int) { return kIconVoltages; });
    addSlots(kSlotCpu, kSlotAux, kTemperaturesNode, [](int slot) { return kIconCpu + slot; });
    for (int disk = 0; disk < diskCount; ++disk) {
        m_tree.push_back({"HD" + Decimal(disk), TreeNodeKind::Sensor, kIconDisk, kTemperaturesNode, kSlotHd0 + disk});
    }
}

void OptionsPresenter::TreeClick(int node)
{
    if (node < 0 || node >= static_cast<int>(m_tree.size())) {
        return;
    }
    m_sensorVisible = false;
    m_generalVisible = false;
    m_summaryVisible = false;
    const TreeNode& clicked = m_tree[static_cast<size_t>(node)];
    switch (clicked.Kind) {
    case TreeNodeKind::General:
        ShowMainOptions();
        return;
    case TreeNodeKind::Temperatures:
        m_summary = {clicked.Text, m_tempSensorCount == 0 ? kSensorsNotFound : ""};
        break;
    case TreeNodeKind::Voltages:
        m_summary = {clicked.Text, m_voltSensorCount == 0 ? kSensorsNotFound : ""};
        break;
    case TreeNodeKind::Fans:
        m_summary = {clicked.Text, m_fanSensorCount == 0 ? kSensorsNotFound : ""};
        break;
    case TreeNodeKind::Sensor:
        FillSensorPage(node);
        return;
    }
    m_summaryVisible = true;
}

bool OptionsPresenter::PageVisible(OptionsPage page) const
{
    switch (page) {
    case OptionsPage::General:
        return m_generalVisible;
    case OptionsPage::Summary:
        return m_summaryVisible;
    case OptionsPage::Sensor:
        return m_sensorVisible;
    }
    return false;
}

OptionsPage OptionsPresenter::TopPage() const
{
    if (m_sensorVisible) {
        return OptionsPage::Sensor;
    }
    return m_summaryVisible ? OptionsPage::Summary : OptionsPage::General;
}

SensorSlot* OptionsPresenter::Slot()
{
    return ValidSlot(m_slot) ? &m_state.TempParam.Slots[static_cast<size_t>(m_slot)] : nullptr;
}

FanControlRecord* OptionsPresenter::FanRecord()
{
    return m_fanRecord >= 0 && m_fanRecord < kFanControlCount
               ? &m_state.TempParam.FanControl[static_cast<size_t>(m_fanRecord)]
               : nullptr;
}

const ChipRecord* OptionsPresenter::SlotChip() const
{
    if (!ValidSlot(m_slot)) {
        return nullptr;
    }
    const int chip = m_state.TempParam.Slots[static_cast<size_t>(m_slot)].Chip;
    // A chip index from settings.dat may name a record the search did not fill.
    return chip < m_state.Chips.ChipCount ? m_state.Chips.At(chip) : nullptr;
}

ChannelKind OptionsPresenter::PageChannelKind() const
{
    switch (m_pageKind.value_or(PageKind::Temperature)) {
    case PageKind::Voltage:
        return ChannelKind::Voltage;
    case PageKind::Fan:
        return ChannelKind::Fan;
    default:
        return ChannelKind::Temperature;
    }
}

int OptionsPresenter::ChannelCount(const ChipRecord& chip) const
{
    switch (m_pageKind.value_or(PageKind::Temperature)) {
    case PageKind::Voltage:
        return std::min<int>(chip.VoltCount, static_cast<int>(chip.Volts.size()));
    case PageKind::Fan:
        return std::min<int>(chip.FanCount, static_cast<int>(chip.Fans.size()));
    default:
        return std::min<int>(chip.TempCount, static_cast<int>(chip.Temps.size()));
    }
}

void OptionsPresenter::FillSensorPage(int node)
{
    const TreeNode& clicked = m_tree[static_cast<size_t>(node)];
    m_sensorVisible = true;
    m_sensor.ListsEnabled = true;
    m_sensor.ListsColor.reset();
    m_sensor.FanFrameVisible = false;
    m_sensor.CorrectionFrameVisible = true;
    if (KindOfSlot(clicked.Slot) == SlotKind::Disk) {
        FillDiskPage(clicked);
    } else {
        FillChipPage(clicked);
    }
}

void OptionsPresenter::FillDiskPage(const TreeNode& node)
{
    m_pageKind = PageKind::Disk;
    m_slot = node.Slot;
    m_fanRecord = -1;
    const SensorSlot& slot = *Slot();
    m_sensor.Title = "Temperatures (" + node.Text + ")";
    m_sensor.FrameTitle = kHardDisk;
    m_sensor.Enabled = slot.Enabled != 0;
    m_sensor.AlarmEnabled = slot.AlarmEnabled != 0;
    RefreshLimitTexts();
    RefreshCorrectionText();
    m_sensor.ChipList = {{kHardDisk}, 0};
    // The slot's chip field holds the disk number whose model is shown.
    const std::string model = slot.Chip < kMaxDisks ? m_state.Disks.Model[slot.Chip] : std::string();
    m_sensor.SensorList = {{model}, 0};
    m_chipEntries.clear();
    m_sensor.ListsEnabled = false;
    m_sensor.ListsColor = kDialogColor;
}

void OptionsPresenter::FillChipPage(const TreeNode& node)
{
    const SlotKind kind = KindOfSlot(node.Slot);
    std::string titleStart = "Temperatures (";
    m_pageKind = PageKind::Temperature;
    m_fanRecord = -1;
    if (kind == SlotKind::Voltage) {
        m_pageKind = PageKind::Voltage;
        titleStart = "Voltages (";
    } else if (kind == SlotKind::Fan) {
        m_pageKind = PageKind::Fan;
        titleStart = "Fans (";
        m_sensor.CorrectionFrameVisible = false;
        m_fanRecord = node.Slot - kSlotCpuFan;
    }
    m_slot = node.Slot;
    const SensorSlot& slot = *Slot();
    m_sensor.Title = titleStart + node.Text + ")";
    RefreshFrameTitle();
    m_sensor.Enabled = slot.Enabled != 0;
    m_sensor.AlarmEnabled = slot.AlarmEnabled != 0;
    RefreshLimitTexts();
    RefreshCorrectionText();
    FillChipList();
    FillSensorList();

    if (m_pageKind != PageKind::Fan) {
        return;
    }
    const FanControlRecord& record = *FanRecord();
    m_fillingFanPage = true;
    FanControlClick(record.Enabled != 0);
    m_fillingFanPage = false;
    m_sensor.SourceSelected = SourceEntry(record.Source);
    m_sensor.NominalText = GetFahrString(record.Nominal);
    const ChipRecord* chip = SlotChip();
    if (chip != nullptr && chip->PwmCount > 0 && record.PwmRegister != kNoChip) {
        // Fan speed control is offered only to users who started with "fancontrol".
        m_sensor.FanFrameVisible = m_state.Flags.FanControlMode;
        FillRegisterList(chip);
    }
}

void OptionsPresenter::FillChipList()
{
    m_sensor.ChipList = {};
    m_chipEntries.clear();
    const int chipCount = std::min<int>(m_state.Chips.ChipCount, kChipCapacity);
    const int current = Slot()->Chip;
    for (int i = 0; i < chipCount; ++i) {
        const ChipRecord& chip = m_state.Chips.Records[static_cast<size_t>(i)];
        if (ChannelCount(chip) > 0) {
            if (i == current) {
                m_sensor.ChipList.Selected = static_cast<int>(m_chipEntries.size());
            }
            m_sensor.ChipList.Entries.push_back(chip.Name);
            m_chipEntries.push_back(i);
        }
    }
}

void OptionsPresenter::FillSensorList()
{
    m_sensor.SensorList = {};
    const ChipRecord* chip = SlotChip();
    if (chip == nullptr) {
        return;
    }
    const int count = ChannelCount(*chip);
    const std::string separator = m_state.Platform().facts.DecimalSeparator();
    const ChannelKind kind = PageChannelKind();
    for (int channel = 1; channel <= count; ++channel) {
        // A kernel device names its inputs ("Package id 0"); the port search's chips number them.
        const std::string label = chip->Label(kind, channel);
        std::string entry = (label.empty() ? "Sensor " + Decimal(channel) : label) + " (";
        if (!chip->HasReading(kind, channel)) {
            m_sensor.SensorList.Entries.push_back(entry + kNoReadingText + ")");
            continue;
        }
        switch (*m_pageKind) {
        case PageKind::Voltage:
            entry += GetVoltString(chip->Volt(channel), separator) + ")";
            break;
        case PageKind::Fan:
            entry += Decimal(chip->Fan(channel)) + " RPM)";
            break;
        default:
            entry += GetFahrString(chip->Temp(channel)) + ")";
            break;
        }
        m_sensor.SensorList.Entries.push_back(std::move(entry));
    }
    const int channel = Slot()->Channel;
    if (channel >= 1 && channel <= count) {
        m_sensor.SensorList.Selected = channel - 1;
    }
}

void OptionsPresenter::FillRegisterList(const ChipRecord* chip)
{
    m_sensor.RegisterList = {};
    if (chip == nullptr) {
        return;
    }
    for (int reg = 1; reg <= chip->PwmCount; ++reg) {
        const size_t output = static_cast<size_t>(reg - 1);
        m_sensor.RegisterList.Entries.push_back(output < chip->PwmLabels.size() ? chip->PwmLabels[output]
                                                                                : "Reg " + Decimal(reg));
    }
    m_sensor.FanProblem.clear();
    const FanControlRecord* record = FanRecord();
    if (record != nullptr && record->PwmRegister < chip->PwmCount) {
        m_sensor.RegisterList.Selected = record->PwmRegister;
        if (record->PwmRegister < chip->PwmProblems.size()) {
            m_sensor.FanProblem = chip->PwmProblems[record->PwmRegister];
        }
    }
}

void OptionsPresenter::RefreshFrameTitle()
{
    const SensorSlot* slot = Slot();
    if (slot == nullptr || m_pageKind == PageKind::Disk) {
        return;
    }
    const ChipRecord* chip = SlotChip();
    const std::string label = chip != nullptr ? chip->Label(PageChannelKind(), slot->Channel) : std::string();
    m_sensor.FrameTitle = "Sensor (" + (chip != nullptr ? chip->Name : std::string()) + " " +
                          (label.empty() ? "Sensor " + Decimal(slot->Channel) : label) + ")";
}

std::string OptionsPresenter::LimitText(int32_t limit) const
{
    switch (m_pageKind.value_or(PageKind::Temperature)) {
    case PageKind::Voltage:
        return Decimal(limit) + "V";
    case PageKind::Fan:
        return Decimal(limit) + " RPM";
    default:
        return GetFahrString(limit);
    }
}

void OptionsPresenter::RefreshLimitTexts()
{
    if (const SensorSlot* slot = Slot()) {
        m_sensor.MinText = LimitText(slot->MinLimit);
        m_sensor.MaxText = LimitText(slot->MaxLimit);
    }
}

void OptionsPresenter::RefreshCorrectionText()
{
    const SensorSlot* slot = Slot();
    if (slot == nullptr) {
        return;
    }
    switch (m_pageKind.value_or(PageKind::Temperature)) {
    case PageKind::Voltage:
        m_sensor.CorrectionText = VoltageCorrectionText(slot->Correction, m_state.Platform().facts.DecimalSeparator());
        break;
    case PageKind::Fan:
        m_sensor.CorrectionText = FanCorrectionText(slot->Correction);
        break;
    default:
        m_sensor.CorrectionText = TemperatureCorrectionText(slot->Correction);
        break;
    }
}

void OptionsPresenter::EnabledClick(bool checked)
{
    if (SensorSlot* slot = Slot()) {
        slot->Enabled = checked ? 1 : 0;
        m_sensor.Enabled = checked;
    }
}

void OptionsPresenter::AlarmEnabledClick(bool checked)
{
    if (SensorSlot* slot = Slot()) {
        slot->AlarmEnabled = checked ? 1 : 0;
        m_sensor.AlarmEnabled = checked;
    }
}

namespace {

// Fan limits move in steps of 100 RPM and stop at 0; the others move by one without bounds.
int32_t StepLimit(int32_t limit, bool up, bool fan)
{
    if (!fan) {
        return Step(limit, up);
    }
    const int32_t next = SaturatingAdd(limit, up ? kFanLimitStep : -kFanLimitStep);
    return up ? next : std::max<int32_t>(next, 0);
}

} // namespace

void OptionsPresenter::MinSpin(bool up)
{
    if (SensorSlot* slot = Slot()) {
        slot->MinLimit = StepLimit(slot->MinLimit, up, m_pageKind == PageKind::Fan);
        RefreshLimitTexts();
    }
}

void OptionsPresenter::MaxSpin(bool up)
{
    if (SensorSlot* slot = Slot()) {
        slot->MaxLimit = StepLimit(slot->MaxLimit, up, m_pageKind == PageKind::Fan);
        RefreshLimitTexts();
    }
}

void OptionsPresenter::CorrectionSpin(bool up)
{
    SensorSlot* slot = Slot();
    if (slot == nullptr) {
        return;
    }
    const float sign = up ? 1.0f : -1.0f;
    switch (*m_pageKind) {
    case PageKind::Voltage:
        // The step is added in double and stored as the 32-bit field: ten steps from 0 give 1.0000001.
        slot->Correction = static_cast<float>(slot->Correction + sign * kVoltageCorrectionStep);
        break;
    case PageKind::Fan:
        slot->Correction += sign * kFanCorrectionStep;
        break;
    default:
        slot->Correction += sign * kTemperatureCorrectionStep;
        break;
    }
    RefreshCorrectionText();
}

void OptionsPresenter::ChipChosen(int entry)
{
    SensorSlot* slot = Slot();
    if (slot == nullptr || m_pageKind == PageKind::Disk || entry < 0 ||
        entry >= static_cast<int>(m_chipEntries.size())) {
        return;
    }
    slot->Chip = static_cast<uint8_t>(m_chipEntries[static_cast<size_t>(entry)]);
    m_sensor.ChipList.Selected = entry;
    RefreshFrameTitle();
    FillSensorList();
    if (m_pageKind == PageKind::Fan) {
        const ChipRecord* chip = SlotChip();
        m_sensor.FanFrameVisible = chip != nullptr && chip->PwmCount > 0;
        // The register list follows the chip, so that it never offers outputs the chip lacks.
        FillRegisterList(chip);
    }
}

void OptionsPresenter::SensorChosen(int entry)
{
    SensorSlot* slot = Slot();
    if (slot == nullptr || m_pageKind == PageKind::Disk || entry < 0 ||
        entry >= static_cast<int>(m_sensor.SensorList.Entries.size())) {
        return;
    }
    slot->Channel = static_cast<uint8_t>(entry + 1);
    m_sensor.SensorList.Selected = entry;
    RefreshFrameTitle();
}

void OptionsPresenter::FanControlClick(bool checked)
{
    FanControlRecord* record = FanRecord();
    if (record == nullptr) {
        return;
    }
    const bool justTicked = checked && !m_sensor.FanControlEnabled;
    if (!m_fillingFanPage && justTicked && m_state.Settings.ShowFanWarning != 0) {
        m_host.ShowFanWarning();
    }
    record->Enabled = checked ? 1 : 0;
    m_sensor.FanControlEnabled = checked;
}

void OptionsPresenter::SourceChosen(int entry)
{
    FanControlRecord* record = FanRecord();
    if (record == nullptr || entry < 0 || entry > kSourceAux - kSourceCpu) {
        return;
    }
    record->Source = static_cast<uint8_t>(entry + kSourceCpu);
    m_sensor.SourceSelected = entry;
}

void OptionsPresenter::NominalSpin(bool up)
{
    FanControlRecord* record = FanRecord();
    if (record == nullptr) {
        return;
    }
    if (up) {
        record->Nominal = Step(record->Nominal, true);
        const int entry = SourceEntry(record->Source);
        if (entry != kNoSelection) {
            record->Nominal = std::min(record->Nominal, kNominalCap[static_cast<size_t>(entry)]);
        }
    } else {
        record->Nominal = std::max<int32_t>(Step(record->Nominal, false), kNominalMin);
    }
    m_sensor.NominalText = GetFahrString(record->Nominal);
}

void OptionsPresenter::RegisterChosen(int entry)
{
    FanControlRecord* record = FanRecord();
    if (record == nullptr || entry < 0 || entry >= static_cast<int>(m_sensor.RegisterList.Entries.size())) {
        return;
    }
    record->PwmRegister = static_cast<uint8_t>(entry);
    m_sensor.RegisterList.Selected = entry;
    const ChipRecord* chip = SlotChip();
    m_sensor.FanProblem = chip != nullptr && static_cast<size_t>(entry) < chip->PwmProblems.size()
                              ? chip->PwmProblems[static_cast<size_t>(entry)]
                              : std::string();
}

void OptionsPresenter::ShowMainOptions()
{
    const SettingsBlock& temp = m_state.TempParam;
    platform::ProgramStore& store = m_state.Platform().store;
    m_generalVisible = true;
    m_general.RunWithWindows = AutorunEnabled(store);
    // The probe writes and deletes a test value each time the page fills.
    m_general.RunWithWindowsEnabled = AutorunWritable(store);
    m_general.StartMinimized = temp.StartMinimized != 0;
    m_general.WindowMode = temp.WindowMode;
    m_general.StyleNormalChecked = temp.WindowStyle == 0;
    m_general.StyleFrameVisible = false;
    m_general.DiskIntervalText = Decimal(temp.DiskInterval);
    m_general.SensorIntervalText = Decimal(temp.SensorInterval);
    if (m_state.Platform().facts.Family() == platform::PlatformFamily::NtFamily) {
        m_general.AlphaEnabled = true;
        SetAlphaPosition(temp.Alpha);
    } else {
        // No per-window opacity on Windows 9x.
        m_general.AlphaPosition = 0;
        m_state.TempParam.Alpha = 0;
        m_general.AlphaEnabled = false;
    }
    m_general.TraySourceSelected = SourceEntry(temp.TraySource);
    m_general.Fahrenheit = temp.TrayFahrenheit != 0;
    m_general.TrayColor = temp.TrayColor;
    m_general.AlarmNotifications = m_state.AlarmNotifications;
}

// The track bar holds 0..94; a position that changes acts as a move by the user.
void OptionsPresenter::SetAlphaPosition(int position)
{
    const int clamped = std::clamp(position, 0, kAlphaMax);
    if (clamped != m_general.AlphaPosition) {
        AlphaMoved(clamped);
    }
}

void OptionsPresenter::RunWithWindowsClick(bool checked)
{
    platform::ProgramStore& store = m_state.Platform().store;
    if (!SetAutorun(store, m_state.Platform().facts, checked) && checked) {
        m_host.ShowMessage(std::string("Failed to set data for '") + kAutorunValue + "'");
        m_general.RunWithWindows = true;
        return;
    }
    m_general.RunWithWindows = AutorunEnabled(store);
}

void OptionsPresenter::AlarmNotificationsClick(bool checked)
{
    m_general.AlarmNotifications = checked;
}

void OptionsPresenter::StartMinimizedClick(bool checked)
{
    m_state.TempParam.StartMinimized = checked ? 1 : 0;
    m_general.StartMinimized = checked;
}

void OptionsPresenter::WindowModeClick(int mode)
{
    if (mode >= 0 && mode <= 2) {
        m_state.TempParam.WindowMode = static_cast<uint8_t>(mode);
        m_general.WindowMode = mode;
    }
}

void OptionsPresenter::WindowStyleClick(int style)
{
    if (style == 0 || style == 1) {
        m_state.TempParam.WindowStyle = static_cast<uint8_t>(style);
        m_general.StyleNormalChecked = style == 0;
    }
}

namespace {

// One step, then back into the range: a value outside it from settings.dat moves only
// toward the range by the clamp of its first step.
int32_t StepInterval(int32_t value, bool up, int32_t low, int32_t high)
{
    const int32_t next = Step(value, up);
    return up ? std::min(next, high) : std::max(next, low);
}

} // namespace

void OptionsPresenter::DiskIntervalSpin(bool up)
{
    int32_t& interval = m_state.TempParam.DiskInterval;
    interval = StepInterval(interval, up, kDiskIntervalMin, kDiskIntervalMax);
    m_general.DiskIntervalText = Decimal(interval);
}

void OptionsPresenter::SensorIntervalSpin(bool up)
{
    int32_t& interval = m_state.TempParam.SensorInterval;
    interval = StepInterval(interval, up, kSensorIntervalMin, kSensorIntervalMax);
    m_general.SensorIntervalText = Decimal(interval);
}

void OptionsPresenter::AlphaMoved(int position)
{
    const int clamped = std::clamp(position, 0, kAlphaMax);
    m_general.AlphaPosition = clamped;
    m_state.TempParam.Alpha = clamped;
    m_host.SetMainWindowOpacity(OpacityOfAlpha(clamped));
}

void OptionsPresenter::TraySourceChosen(int entry)
{
    if (entry >= 0 && entry <= kSourceAux - kSourceCpu) {
        m_state.TempParam.TraySource = static_cast<uint8_t>(entry + kSourceCpu);
        m_general.TraySourceSelected = entry;
    }
}

void OptionsPresenter::TrayUnitClick(bool fahrenheit)
{
    m_state.TempParam.TrayFahrenheit = fahrenheit ? 1 : 0;
    m_general.Fahrenheit = fahrenheit;
}

void OptionsPresenter::TrayColorChosen(int32_t color)
{
    m_state.TempParam.TrayColor = color;
    m_general.TrayColor = color;
}

} // namespace calventa::core
