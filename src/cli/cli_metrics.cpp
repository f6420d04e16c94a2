#include "cli/cli_metrics.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "core/settings_block.h"

namespace calventa::app {

namespace {

using Labels = std::vector<std::pair<std::string, std::string>>;

// One metric family: its samples must stay together, after its HELP and TYPE lines.
struct Family
{
    const char* name;
    const char* help;
    std::vector<std::string> samples;

    void Add(const Labels& labels, double value)
    {
        std::string line = name;
        if (!labels.empty()) {
            line += '{';
            for (size_t i = 0; i < labels.size(); ++i) {
                line += (i == 0 ? "" : ",") + labels[i].first + "=\"" + EscapeLabelValue(labels[i].second) + '"';
            }
            line += '}';
        }
        samples.push_back(line + ' ' + SampleValue(value) + '\n');
    }
};

// Length of the valid UTF-8 sequence at text[at], or 0 (overlong forms, surrogates and
// code points beyond U+10FFFF are not valid).
size_t Utf8Length(std::string_view text, size_t at)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    size_t length = 0;
    unsigned min = 0;
    unsigned codePoint = 0;
    if (lead < 0x80) {
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, min = 0x80, codePoint = lead & 0x1Fu;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, min = 0x800, codePoint = lead & 0x0Fu;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, min = 0x10000, codePoint = lead & 0x07u;
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            return 0;
        }
        codePoint = codePoint << 6 | (byte(at + i) & 0x3Fu);
    }
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    return codePoint < min || codePoint > 0x10FFFF || surrogate ? 0 : length;
}

std::string Hex2(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value & 0xFF);
    return text;
}

const char* BusName(const core::ChipRecord& chip)
{
    switch (chip.Bus) {
    case core::kBusIsa:
        return "isa";
    case core::kBusSmbus:
        return "smbus";
    case core::kBusKernel:
        return "kernel";
    default:
        return "unknown";
    }
}

Labels ChipLabels(const core::ChipRecord& chip, int index)
{
    Labels labels = {{"chip", std::to_string(index)}, {"name", chip.Name}, {"bus", BusName(chip)}};
    if (chip.Bus == core::kBusSmbus) {
        labels.emplace_back("address", Hex2(chip.Address));
    }
    if (chip.IsKernelDevice()) {
        labels.emplace_back("bus_path", chip.KernelBusPath);
    }
    return labels;
}

// A disk row's drive as calventa-cli --json names it: an NVMe entry by its controller number.
Labels DiskLabels(const core::DiskTable& disks, int slot)
{
    const int disk = slot - core::kSlotHd0;
    const auto n = static_cast<size_t>(disk);
    const bool nvme = disks.IsNvme(disk);
    const int drive = nvme ? disks.DriveNumbers[n] & ~core::kNvmeDriveFlag : disks.DriveNumbers[n];
    return {{"slot", core::SlotName(slot)},
            {"drive", std::to_string(drive)},
            {"kind", nvme ? "nvme" : "ata"},
            {"model", disks.Model[n]},
            {"serial", disks.Serial[n]}};
}

} // namespace

std::string EscapeLabelValue(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        const size_t length = Utf8Length(text, at);
        if (length == 0) {
            out += "\xEF\xBF\xBD"; // U+FFFD for the byte that starts no valid sequence
            ++at;
            continue;
        }
        if (length == 1) {
            const char c = text[at];
            out += c == '\\' ? "\\\\" : c == '"' ? "\\\"" : c == '\n' ? "\\n" : std::string(1, c);
        } else {
            out.append(text.substr(at, length));
        }
        at += length;
    }
    return out;
}

std::string SampleValue(double value)
{
    if (std::isnan(value)) {
        return "NaN";
    }
    if (std::isinf(value)) {
        return value > 0 ? "+Inf" : "-Inf";
    }
    char text[40];
    std::snprintf(text, sizeof text, "%.15g", value);
    if (std::strtod(text, nullptr) != value) {
        std::snprintf(text, sizeof text, "%.17g", value);
    }
    return text;
}

std::string CliMetrics(Monitor& monitor)
{
    const core::MonitorState& state = monitor.State();
    const core::MainWindowPresenter& window = monitor.MainWindow();

    Family temperatures{"calventa_temperature_celsius", "Board temperature of a shown row, corrected.", {}};
    Family voltages{"calventa_voltage_volts", "Voltage of a shown row, corrected.", {}};
    Family fans{"calventa_fan_speed_rpm", "Fan speed of a shown row in revolutions per minute.", {}};
    Family duties{"calventa_fan_duty_ratio", "Duty the fan control drives the row's fan output at, 0 to 1.", {}};
    Family disks{"calventa_disk_temperature_celsius", "Disk temperature of a shown row.", {}};
    Family alarms{"calventa_alarm", "1 while the shown row's value is outside its limits, else 0.", {}};
    Family chips{"calventa_chip_info", "A monitoring chip found; its index is the chip label of the rows.", {}};

    for (const core::MainWindowRow& row : window.Layout().Rows) {
        const core::MainWindowValue& value = window.Value(row.Slot);
        const core::SensorSlot& slot = state.Settings.Slots[static_cast<size_t>(row.Slot)];
        const core::SlotKind kind = core::KindOfSlot(row.Slot);
        const Labels labels = kind == core::SlotKind::Disk ? DiskLabels(state.Disks, row.Slot)
                                                           : Labels{{"slot", core::SlotName(row.Slot)},
                                                                    {"chip", std::to_string(slot.Chip)},
                                                                    {"channel", std::to_string(slot.Channel)}};
        if (value.Reading) {
            Family& family = kind == core::SlotKind::Disk      ? disks
                             : kind == core::SlotKind::Voltage ? voltages
                             : kind == core::SlotKind::Fan     ? fans
                                                               : temperatures;
            family.Add(labels, *value.Reading);
        }
        if (value.PowerPercent) {
            duties.Add(labels, *value.PowerPercent / 100.0);
        }
        alarms.Add({{"slot", core::SlotName(row.Slot)}}, value.Red ? 1 : 0);
    }
    for (int i = 0; i < state.Chips.ChipCount && i < core::kChipCapacity; ++i) {
        chips.Add(ChipLabels(state.Chips.Records[static_cast<size_t>(i)], i), 1);
    }

    std::string text;
    for (const Family* family : {&temperatures, &voltages, &fans, &duties, &disks, &alarms, &chips}) {
        if (family->samples.empty()) {
            continue;
        }
        text += std::string("# HELP ") + family->name + ' ' + family->help + '\n';
        text += std::string("# TYPE ") + family->name + " gauge\n";
        for (const std::string& sample : family->samples) {
            text += sample;
        }
    }
    return text;
}

} // namespace calventa::app
