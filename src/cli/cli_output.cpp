#include "cli/cli_output.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <sstream>
#include <string_view>
#include <type_traits>
#include <utility>

#include "core/value_text.h"
#include "platform/sim/sim_machine.h"

namespace calventa::app {

namespace {

using nlohmann::ordered_json;

constexpr const char* kIndent = "  ";
constexpr const char* kAlarmMarker = "! ";   // in place of the indent when no colour shows it
constexpr const char* kRedOn = "\033[1;31m"; // red and bold, as the window shows a value out of range
constexpr const char* kColourOff = "\033[0m";
constexpr std::array<const char*, 3> kPanelHeadings = {"Temperatures", "Fans", "Voltages"};

std::string Hex2(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value & 0xFF);
    return text;
}

ordered_json Registers(const std::map<uint8_t, uint8_t>& written)
{
    ordered_json registers = ordered_json::object();
    for (const auto& [reg, value] : written) {
        registers[Hex2(reg)] = value;
    }
    return registers;
}

template <typename Value>
ordered_json KernelValues(const std::vector<Value>& values, int count, const core::ChipRecord& chip,
                          core::ChannelKind kind)
{
    ordered_json list = ordered_json::array();
    for (int channel = 1; channel <= count && channel <= static_cast<int>(values.size()); ++channel) {
        if (chip.HasReading(kind, channel)) {
            list.push_back(static_cast<std::conditional_t<std::is_floating_point_v<Value>, double, Value>>(
                values[static_cast<size_t>(channel - 1)]));
        } else {
            list.push_back(nullptr); // the last read failed: no current value
        }
    }
    return list;
}

// A kernel device lists its inputs by label, only as many as it has, null where a read failed.
ordered_json KernelChipJson(const core::ChipRecord& chip)
{
    ordered_json pwm = ordered_json::array();
    for (size_t output = 0; output < chip.PwmLabels.size(); ++output) {
        pwm.push_back({{"name", chip.PwmLabels[output]},
                       {"problem", output < chip.PwmProblems.size() ? chip.PwmProblems[output] : std::string()}});
    }
    return {{"name", chip.Name},
            {"bus", chip.Bus},
            {"address", chip.Address},
            {"code", chip.ChipCode},
            {"bus_path", chip.KernelBusPath},
            {"counts",
             {{"temps", chip.TempCount}, {"volts", chip.VoltCount}, {"fans", chip.FanCount}, {"pwm", chip.PwmCount}}},
            {"temps", KernelValues(chip.Temps, chip.TempCount, chip, core::ChannelKind::Temperature)},
            {"volts", KernelValues(chip.Volts, chip.VoltCount, chip, core::ChannelKind::Voltage)},
            {"fans", KernelValues(chip.Fans, chip.FanCount, chip, core::ChannelKind::Fan)},
            {"labels", {{"temps", chip.TempLabels}, {"volts", chip.VoltLabels}, {"fans", chip.FanLabels}}},
            {"pwm", std::move(pwm)}};
}

ordered_json ChipJson(const core::ChipRecord& chip)
{
    if (chip.IsKernelDevice()) {
        return KernelChipJson(chip);
    }
    ordered_json temps = ordered_json::array();
    for (const int32_t t : chip.Temps) {
        temps.push_back(t);
    }
    ordered_json volts = ordered_json::array();
    for (const float v : chip.Volts) {
        volts.push_back(static_cast<double>(v));
    }
    ordered_json fans = ordered_json::array();
    for (const int32_t f : chip.Fans) {
        fans.push_back(f);
    }
    return {{"name", chip.Name},
            {"bus", chip.Bus},
            {"address", chip.Address},
            {"code", chip.ChipCode},
            {"counts",
             {{"temps", chip.TempCount}, {"volts", chip.VoltCount}, {"fans", chip.FanCount}, {"pwm", chip.PwmCount}}},
            {"temps", std::move(temps)},
            {"volts", std::move(volts)},
            {"fans", std::move(fans)}};
}

// Where a temperature came from; null when this process did not read it (the disk service did).
ordered_json SourceJson(core::DiskTemperatureSource source)
{
    switch (source) {
    case core::DiskTemperatureSource::Attribute194:
        return "attribute194";
    case core::DiskTemperatureSource::Attribute190:
        return "attribute190";
    case core::DiskTemperatureSource::SctStatus:
        return "sct_status";
    case core::DiskTemperatureSource::NvmeComposite:
        return "nvme_composite";
    case core::DiskTemperatureSource::KernelHwmon:
        return "kernel_hwmon";
    case core::DiskTemperatureSource::Unknown:
        break;
    }
    return nullptr;
}

ordered_json DisksJson(const core::DiskTable& disks)
{
    ordered_json list = ordered_json::array();
    for (int i = 0; i < core::kMaxDisks && disks.Listed(i); ++i) {
        const auto n = static_cast<size_t>(i);
        const bool nvme = disks.IsNvme(i);
        // An NVMe entry's drive is its controller number; "kind" tells the two apart.
        const int drive = nvme ? disks.DriveNumbers[n] & ~core::kNvmeDriveFlag : disks.DriveNumbers[n];
        list.push_back({{"drive", drive},
                        {"model", disks.Model[n]},
                        {"serial", disks.Serial[n]},
                        {"firmware", disks.Firmware[n]},
                        {"temperature", disks.Temperature[n]},
                        {"kind", nvme ? "nvme" : "ata"},
                        {"source", SourceJson(disks.Source[n])},
                        {"asleep", disks.ReadState[n] == core::DiskReadState::Asleep}});
    }
    return list;
}

ordered_json RowsJson(const core::MainWindowPresenter& window)
{
    ordered_json rows = ordered_json::array();
    for (const core::MainWindowRow& row : window.Layout().Rows) {
        const core::MainWindowValue& value = window.Value(row.Slot);
        ordered_json entry = {{"slot", core::SlotName(row.Slot)},
                              {"label", core::SlotLabel(row.Slot)},
                              {"value", value.Text},
                              {"red", value.Red}};
        if (!value.Power.empty()) {
            entry["power"] = value.Power;
        }
        rows.push_back(std::move(entry));
    }
    return rows;
}

ordered_json WindowJson(const core::MainWindowLayout& layout)
{
    ordered_json panels = ordered_json::array();
    for (const core::MainWindowPanel& panel : layout.Panels) {
        if (panel.Visible) {
            panels.push_back({{"top", panel.Top}, {"height", panel.Height}});
        }
    }
    return {{"height", layout.Height}, {"panels", std::move(panels)}};
}

ordered_json TrayJson(const core::TrayContent& tray)
{
    ordered_json icon = nullptr;
    if (tray.Icon) {
        icon = {{"text", tray.Icon->Text}, {"size", tray.Icon->PointSize}, {"x", tray.Icon->X}, {"y", tray.Icon->Y}};
    }
    return {{"tip", tray.Tip}, {"icon", std::move(icon)}};
}

// The alarm window's lines, when it is up.
std::vector<std::string> AlarmLines(const Monitor& monitor)
{
    return monitor.Alarms().AlarmWindowShown ? monitor.AlarmWindow().Lines : std::vector<std::string>{};
}

} // namespace

ordered_json CliJson(Monitor& monitor, sim::SimMachine* sim, bool dumpRegisters)
{
    const core::MonitorState& state = monitor.State();
    ordered_json out;

    ordered_json chips = ordered_json::array();
    for (int i = 0; i < state.Chips.ChipCount && i < core::kChipCapacity; ++i) {
        chips.push_back(ChipJson(state.Chips.Records[static_cast<size_t>(i)]));
    }
    out["chips"] = std::move(chips);
    out["disks"] = DisksJson(state.Disks);

    ordered_json slots = ordered_json::array();
    for (int i = 0; i < core::kSlotCount; ++i) {
        const core::SensorSlot& s = state.Settings.Slots[static_cast<size_t>(i)];
        slots.push_back({{"name", core::SlotName(i)},
                         {"chip", s.Chip},
                         {"channel", s.Channel},
                         {"enabled", s.Enabled},
                         {"alarm_enabled", s.AlarmEnabled},
                         {"correction", static_cast<double>(s.Correction)},
                         {"min", s.MinLimit},
                         {"max", s.MaxLimit}});
    }
    out["slots"] = std::move(slots);

    ordered_json fanControl = ordered_json::array();
    for (const core::FanControlRecord& record : state.Settings.FanControl) {
        fanControl.push_back({{"source", record.Source},
                              {"nominal", record.Nominal},
                              {"enabled", record.Enabled},
                              {"pwm_register", record.PwmRegister}});
    }
    out["fan_control"] = std::move(fanControl);

    ordered_json duty = ordered_json::array();
    for (int channel = 1; channel <= 8; ++channel) {
        duty.push_back(state.FanDuty.Get(channel));
    }
    out["fan_duty"] = std::move(duty);
    out["rows"] = RowsJson(monitor.MainWindow());
    out["window"] = WindowJson(monitor.MainWindow().Layout());
    out["tray"] = TrayJson(monitor.Tray());
    out["alarms"] = AlarmLines(monitor);
    // Only where nothing was found, so that every board that finds something keeps its object.
    if (const core::NothingFoundReport& report = monitor.NothingFound(); !report.Empty()) {
        ordered_json lines = ordered_json::array();
        for (const core::FindingLine& line : report.Lines) {
            lines.push_back(line.Text);
        }
        out["nothing_found"] = {{"headline", core::kNothingFoundHeadline}, {"lines", lines}};
    }

    if (dumpRegisters) {
        ordered_json registers = {{"isa", ordered_json::object()}, {"smbus", ordered_json::object()}};
        if (sim != nullptr) {
            if (sim::SimChip* isa = sim->IsaChip()) {
                registers["isa"] = Registers(isa->LastWrites());
            }
            for (const uint8_t address : sim->SmbusAddresses()) {
                registers["smbus"][Hex2(address)] = Registers(sim->SmbusChip(address)->LastWrites());
            }
        }
        out["registers"] = std::move(registers);
    }
    return out;
}

std::string CliPlainText(Monitor& monitor, bool colour)
{
    const core::MonitorState& state = monitor.State();
    const core::MainWindowPresenter& window = monitor.MainWindow();
    std::ostringstream text;

    text << "Chips\n";
    for (int i = 0; i < state.Chips.ChipCount && i < core::kChipCapacity; ++i) {
        const core::ChipRecord& chip = state.Chips.Records[static_cast<size_t>(i)];
        text << kIndent << chip.Name << " on "
             << (chip.Bus == core::kBusIsa ? std::string("ISA")
                 : chip.IsKernelDevice()   ? "kernel " + chip.KernelBusPath
                                           : "SMBus " + Hex2(chip.Address))
             << "\n";
    }
    if (state.Chips.ChipCount == 0) {
        text << kIndent << "none found\n";
    }
    if (const core::NothingFoundReport& report = monitor.NothingFound(); !report.Empty()) {
        text << core::kNothingFoundHeadline << "\n";
        for (const core::FindingLine& line : report.Lines) {
            text << kIndent << line.Text << "\n";
        }
    }
    if (state.Disks.Listed(0)) {
        text << "Disks\n";
        for (int i = 0; i < core::kMaxDisks && state.Disks.Listed(i); ++i) {
            const auto n = static_cast<size_t>(i);
            text << kIndent << "HD" << i << " " << state.Disks.Model[n] << " ("
                 << (state.Disks.IsNvme(i) ? "NVMe" : "ATA");
            if (state.Disks.Source[n] == core::DiskTemperatureSource::KernelHwmon) {
                text << ", from the kernel's hwmon)\n"; // no identity: only the temperature is published there
            } else {
                text << ", serial " << state.Disks.Serial[n] << ", firmware " << state.Disks.Firmware[n] << ")\n";
            }
        }
    }

    // Captions padded to the widest one, as the window's value column lines up.
    size_t captionWidth = 0;
    for (const core::MainWindowRow& row : window.Layout().Rows) {
        captionWidth = std::max(captionWidth, std::string_view(core::SlotLabel(row.Slot)).size());
    }
    for (const int panel : {core::kPanelTemperatures, core::kPanelFans, core::kPanelVoltages}) {
        bool headed = false;
        for (const core::MainWindowRow& row : window.Layout().Rows) {
            if (row.Panel != panel) {
                continue;
            }
            if (!headed) {
                text << kPanelHeadings[static_cast<size_t>(panel)] << "\n";
                headed = true;
            }
            const core::MainWindowValue& value = window.Value(row.Slot);
            const std::string caption = core::SlotLabel(row.Slot);
            text << (value.Red && !colour ? kAlarmMarker : kIndent) << caption
                 << std::string(captionWidth - caption.size() + 1, ' ');
            if (value.Red && colour) {
                text << kRedOn << value.Text << kColourOff;
            } else {
                text << value.Text;
            }
            if (value.Stale) {
                text << " (" << value.Note << ")";
            }
            text << "\n";
            if (!value.Power.empty()) {
                text << kIndent << std::string(captionWidth + 1, ' ') << value.Power << "\n";
            }
        }
    }

    std::string tip = monitor.Tray().Tip;
    for (size_t at = tip.find("\r\n"); at != std::string::npos; at = tip.find("\r\n", at)) {
        tip.replace(at, 2, " | ");
    }
    text << "Tray: " << tip << "\n";
    const std::vector<std::string> alarms = AlarmLines(monitor);
    if (!alarms.empty()) {
        text << "Alarms\n";
    }
    for (const std::string& line : alarms) {
        if (colour) {
            text << kIndent << kRedOn << line << kColourOff << "\n";
        } else {
            text << kAlarmMarker << line << "\n";
        }
    }
    return text.str();
}

bool PlainTextInColour(bool terminal, const char* noColor)
{
    // NO_COLOR set to anything but the empty string asks for no escape sequences.
    return terminal && (noColor == nullptr || noColor[0] == '\0');
}

} // namespace calventa::app
