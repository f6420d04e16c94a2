// The kernel's hwmon devices as chip records: listed after the port search's chips in a
// stable order, read through the platform each pass, given default slots by rule, and
// driven through pwmN with the found pwmN_enable put back on release.
#include "hardware/kernel_chips.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <numeric>

#include "core/numeric.h"
#include "hardware/fan_control.h"
#include "hardware/hardware_engine.h"

namespace calventa::hardware {

namespace {

using platform::KernelInputKind;

constexpr size_t kMaxStateField = 255;
constexpr int kPwmFull = 255;

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

std::string Lower(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

// "+3.3 V", "3.3V", "VCC_3.3" compare alike: lower case, no blanks, underscores or '+'.
std::string RailKey(std::string_view label)
{
    std::string key;
    for (const char c : Lower(label)) {
        if (c != ' ' && c != '_' && c != '+' && c != '\t') {
            key += c;
        }
    }
    return key;
}

struct RailName
{
    std::string_view key;
    int slot;
};

// Rail names seen in drivers and in the labels users write in sensors.conf.
constexpr std::array kRailNames{
    RailName{"vcore", core::kSlotVCoreA},  RailName{"cpuvcore", core::kSlotVCoreA},
    RailName{"vcorea", core::kSlotVCoreA}, RailName{"vcore1", core::kSlotVCoreA},
    RailName{"vcoreb", core::kSlotVCoreB}, RailName{"vcore2", core::kSlotVCoreB},
    RailName{"2.5v", core::kSlot2_5V},     RailName{"vcc2.5", core::kSlot2_5V},
    RailName{"3.3v", core::kSlot3_3V},     RailName{"3vcc", core::kSlot3_3V},
    RailName{"vcc3.3", core::kSlot3_3V},   RailName{"vcc3", core::kSlot3_3V},
    RailName{"3v3", core::kSlot3_3V},      RailName{"5v", core::kSlot5V},
    RailName{"5vcc", core::kSlot5V},       RailName{"vcc5", core::kSlot5V},
    RailName{"5.0v", core::kSlot5V},       RailName{"12v", core::kSlot12V},
    RailName{"12vcc", core::kSlot12V},     RailName{"12.0v", core::kSlot12V},
    RailName{"-5v", core::kSlotMinus5V},   RailName{"-12v", core::kSlotMinus12V},
    RailName{"5vsb", core::kSlot5VSB},     RailName{"5vstandby", core::kSlot5VSB},
    RailName{"vsb5", core::kSlot5VSB},     RailName{"5vdual", core::kSlot5VSB},
    RailName{"vbat", core::kSlotVBat},     RailName{"vbatt", core::kSlotVBat},
    RailName{"3vbat", core::kSlotVBat},    RailName{"battery", core::kSlotVBat},
};

// Board monitors by the device-name prefix of their drivers.
constexpr std::array<std::string_view, 12> kBoardMonitorPrefixes{
    "nct6", "nct7", "it87", "it86", "it8", "w83", "f71", "f8000", "sch5", "dme1737", "asus", "as99127f",
};

struct CpuLabel
{
    std::string_view device; // prefix of the device name
    std::string_view label;  // exact label; empty: any input of the device
    int rank;
};

constexpr std::array kCpuLabels{
    CpuLabel{"coretemp", "Package id 0", 9}, CpuLabel{"k10temp", "Tdie", 9},  CpuLabel{"k10temp", "Tctl", 8},
    CpuLabel{"zenpower", "Tdie", 9},         CpuLabel{"zenpower", "Tctl", 8}, CpuLabel{"coretemp", "Physical id 0", 7},
    CpuLabel{"coretemp", "Core 0", 5},       CpuLabel{"k8temp", "", 4},       CpuLabel{"cpu_thermal", "", 3},
};

std::optional<long long> WholeNumber(std::string_view text)
{
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// Control bytes become '?' (a tab or line break would also split a line of the state file),
// and the text is cut to `limit` bytes without ending inside a UTF-8 sequence.
std::string CleanText(std::string_view text, size_t limit)
{
    std::string clean;
    for (const char c : text.substr(0, limit + 1)) {
        const auto byte = static_cast<unsigned char>(c);
        clean += byte < 0x20 || byte == 0x7F ? '?' : c;
    }
    if (clean.size() > limit) {
        size_t cut = limit;
        while (cut > 0 && (static_cast<unsigned char>(clean[cut]) & 0xC0) == 0x80) {
            --cut; // never end inside a UTF-8 sequence
        }
        clean.resize(cut);
    }
    return clean;
}

// How a device's name and bus path stand in the state file: whole, so that the next start
// finds the device again even where a shown label would be cut.
std::string StateField(std::string_view text)
{
    return CleanText(text, kMaxStateField);
}

std::string DeviceText(const platform::KernelDevice& device)
{
    return DisplayLabel(device.Name) + " (" + DisplayLabel(device.BusPath) + ")";
}

} // namespace

KernelDeviceRole RoleOfKernelDevice(std::string_view name)
{
    for (const CpuLabel& cpu : kCpuLabels) {
        if (StartsWith(name, cpu.device)) {
            return KernelDeviceRole::Cpu;
        }
    }
    for (const std::string_view prefix : kBoardMonitorPrefixes) {
        if (StartsWith(name, prefix)) {
            return KernelDeviceRole::BoardMonitor;
        }
    }
    return name == "acpitz" ? KernelDeviceRole::ThermalZone : KernelDeviceRole::Other;
}

int VoltageSlotOfLabel(std::string_view label)
{
    const std::string key = RailKey(label);
    for (const RailName& rail : kRailNames) {
        if (rail.key == key) {
            return rail.slot;
        }
    }
    return -1;
}

int CpuTemperatureRank(std::string_view device, std::string_view label)
{
    for (const CpuLabel& cpu : kCpuLabels) {
        if (StartsWith(device, cpu.device) && (cpu.label.empty() || cpu.label == label)) {
            return cpu.rank;
        }
    }
    return 0;
}

std::string DisplayLabel(std::string_view label)
{
    return CleanText(label, core::kChannelLabelMax);
}

std::string KernelPwmStateField(std::string_view text)
{
    return StateField(text);
}

std::string EncodeKernelPwmState(const std::vector<KernelPwmState>& entries)
{
    std::string text;
    for (const KernelPwmState& entry : entries) {
        text += "pwm\t" + StateField(entry.Device) + "\t" + StateField(entry.BusPath) + "\t" +
                std::to_string(entry.Pwm) + "\t" + std::to_string(entry.Mode) + "\t" + std::to_string(entry.Duty) +
                "\n";
    }
    return text;
}

std::vector<KernelPwmState> DecodeKernelPwmState(std::string_view text)
{
    std::vector<KernelPwmState> entries;
    while (!text.empty()) {
        const size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        std::vector<std::string_view> fields;
        while (fields.size() < 6) {
            const size_t tab = line.find('\t');
            fields.push_back(line.substr(0, tab));
            if (tab == std::string_view::npos) {
                break;
            }
            line.remove_prefix(tab + 1);
        }
        if (fields.size() < 5 || fields.size() > 6 || fields[0] != "pwm" || fields[1].size() > kMaxStateField ||
            fields[2].size() > kMaxStateField) {
            continue;
        }
        const auto pwm = WholeNumber(fields[3]);
        const auto mode = WholeNumber(fields[4]);
        const auto duty = fields.size() == 6 ? WholeNumber(fields[5]) : std::optional<long long>(kPwmFull);
        if (!pwm || !mode || !duty || *pwm < 1 || *pwm > 255 || *mode < 0 || *mode > 255 || *duty < 0 ||
            *duty > kPwmFull) {
            continue;
        }
        entries.push_back({std::string(fields[1]), std::string(fields[2]), static_cast<int>(*pwm),
                           static_cast<int>(*mode), static_cast<int>(*duty)});
    }
    return entries;
}

// ---------------------------------------------------------------------------------------

bool HardwareEngine::SearchKernelChips()
{
    platform::KernelSensors& kernel = m_state.Platform().kernel;
    m_kernelChips.clear();
    const std::vector<platform::KernelDevice> devices = kernel.ScanDevices();
    LogKernelNotes();
    // A state file left behind means the last run died while driving: put the modes back.
    UseKernelPwmStateFile();
    for (const std::string& line : m_kernelPwms.RestoreLeftover(devices)) {
        Log(line);
    }
    if (devices.empty()) {
        return false;
    }
    Log("Kernel sensors search...");

    // By name and bus path: hwmonN numbers change between boots, these do not.
    std::vector<size_t> order(devices.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&devices](size_t a, size_t b) {
        return std::tie(devices[a].Name, devices[a].BusPath) < std::tie(devices[b].Name, devices[b].BusPath);
    });

    bool found = false;
    for (const size_t index : order) {
        const platform::KernelDevice& device = devices[index];
        if (device.Name.empty()) {
            Log("Kernel device without a name at " + DisplayLabel(device.BusPath) + " skipped");
            continue;
        }
        if (device.Inputs.empty() && device.Pwms.empty()) {
            Log("Kernel device " + DeviceText(device) + " has no inputs, skipped");
            continue;
        }
        if (device.AtaDrive && m_state.Disks.ListsDrive(*device.AtaDrive)) {
            Log("Kernel device " + DeviceText(device) + " left out: the disk pass reads drive " +
                std::to_string(*device.AtaDrive));
            continue;
        }
        if (device.NvmeController && m_state.Disks.ListsNvmeController(*device.NvmeController)) {
            Log("Kernel device " + DeviceText(device) + " left out: the disk pass reads NVMe controller " +
                std::to_string(*device.NvmeController));
            continue;
        }
        if (!AddKernelChip(index, device)) {
            Log("Chip table full: kernel device " + DeviceText(device) + " and later ones left out");
            break;
        }
        found = true;
    }
    return found;
}

std::vector<HardwareEngine::KernelDrive> HardwareEngine::KernelDrives() const
{
    std::vector<KernelDrive> drives;
    for (const KernelChip& chip : m_kernelChips) {
        if (chip.Temps.empty() || (!chip.AtaDrive && !chip.NvmeController)) {
            continue;
        }
        KernelDrive drive;
        drive.Chip = chip.Chip;
        drive.Nvme = chip.NvmeController.has_value();
        drive.Number = chip.NvmeController ? *chip.NvmeController : *chip.AtaDrive;
        const core::ChipRecord* record = m_state.Chips.At(chip.Chip);
        for (int channel = 1; record != nullptr && channel <= record->TempCount; ++channel) {
            if (record->Label(core::ChannelKind::Temperature, channel) == "Composite") {
                drive.Channel = static_cast<uint8_t>(channel); // the controller's own temperature
                break;
            }
        }
        drives.push_back(drive);
    }
    return drives;
}

bool HardwareEngine::AddKernelChip(size_t deviceIndex, const platform::KernelDevice& device)
{
    const uint8_t chipIndex = m_state.Chips.ChipCount;
    const auto ordinal = static_cast<uint8_t>(m_kernelChips.size());
    core::ChipRecord* record = AddChip(DisplayLabel(device.Name).c_str(), core::chip_code::kKernelDevice,
                                       core::kBusKernel, ordinal, 0, 0, 0, 0);
    if (record == nullptr) {
        return false;
    }
    record->UseKernelCapacity();
    record->KernelBusPath = DisplayLabel(device.BusPath);
    KernelChip chip;
    chip.Chip = chipIndex;
    chip.Device = deviceIndex;
    chip.Name = device.Name;
    chip.BusPath = device.BusPath;
    chip.AtaDrive = device.AtaDrive;
    chip.NvmeController = device.NvmeController;
    size_t dropped = 0;
    for (size_t input = 0; input < device.Inputs.size(); ++input) {
        const platform::KernelInput& in = device.Inputs[input];
        const std::string label = DisplayLabel(in.Label);
        std::vector<size_t>* inputs = &chip.Temps;
        std::vector<std::string>* labels = &record->TempLabels;
        size_t capacity = core::kKernelTempChannels;
        if (in.Kind == KernelInputKind::Voltage) {
            inputs = &chip.Volts;
            labels = &record->VoltLabels;
            capacity = core::kKernelVoltChannels;
        } else if (in.Kind == KernelInputKind::Fan) {
            inputs = &chip.Fans;
            labels = &record->FanLabels;
            capacity = core::kKernelFanChannels;
        }
        if (inputs->size() >= capacity) {
            ++dropped;
            continue;
        }
        inputs->push_back(input);
        labels->push_back(label);
        if (in.Kind == KernelInputKind::Fan) {
            chip.FanNumbers.push_back(in.Number);
        }
    }
    for (const platform::KernelPwm& pwm : device.Pwms) {
        if (chip.Pwms.size() >= static_cast<size_t>(core::kKernelPwmOutputs)) {
            ++dropped;
            continue;
        }
        chip.Pwms.push_back(pwm.Number);
        record->PwmLabels.push_back("pwm" + std::to_string(pwm.Number));
        record->PwmProblems.push_back(PwmProblemText(deviceIndex, pwm.Number));
    }
    record->TempCount = static_cast<uint8_t>(chip.Temps.size());
    record->VoltCount = static_cast<uint8_t>(chip.Volts.size());
    record->FanCount = static_cast<uint8_t>(chip.Fans.size());
    record->PwmCount = static_cast<uint8_t>(chip.Pwms.size());
    Log("found " + DeviceText(device) + ": " + std::to_string(record->TempCount) + " temperatures, " +
        std::to_string(record->VoltCount) + " voltages, " + std::to_string(record->FanCount) + " fans, " +
        std::to_string(record->PwmCount) + " pwm");
    if (dropped > 0) {
        Log("Kernel device " + DeviceText(device) + ": " + std::to_string(dropped) +
            " inputs beyond the record's capacity left out");
    }
    m_kernelChips.push_back(std::move(chip));
    return true;
}

std::string HardwareEngine::PwmProblemText(size_t device, int pwm)
{
    switch (m_state.Platform().kernel.CheckPwmAccess(device, pwm)) {
    case platform::PwmAccess::Ok:
        return {};
    case platform::PwmAccess::NotWritable:
        return "pwm" + std::to_string(pwm) + " is not writable: fan control through the kernel needs root";
    case platform::PwmAccess::Missing:
        break;
    }
    return "pwm" + std::to_string(pwm) + " has no pwm" + std::to_string(pwm) + "_enable: cannot be driven";
}

const HardwareEngine::KernelChip* HardwareEngine::KernelChipOf(uint8_t chip) const
{
    for (const KernelChip& kernelChip : m_kernelChips) {
        if (kernelChip.Chip == chip) {
            return &kernelChip;
        }
    }
    return nullptr;
}

void HardwareEngine::LogKernelNotes()
{
    for (const std::string& note : m_state.Platform().kernel.TakeNotes()) {
        Log(note);
    }
}

// A failed read leaves the channel without a value until a read succeeds again; the first
// failure of a channel is logged once.
void HardwareEngine::ReadKernelChip(uint8_t index, core::ChipRecord& record)
{
    const KernelChip* chip = KernelChipOf(index);
    if (chip == nullptr) {
        return;
    }
    platform::KernelSensors& kernel = m_state.Platform().kernel;
    auto readAll = [&](const std::vector<size_t>& inputs, core::ChannelKind kind, auto store) {
        for (size_t i = 0; i < inputs.size(); ++i) {
            const int channel = static_cast<int>(i) + 1;
            const std::optional<double> value = kernel.ReadInput(chip->Device, inputs[i]);
            if (value && std::isfinite(*value)) {
                store(channel, *value);
            } else {
                record.SetMissing(kind, channel);
            }
        }
    };
    readAll(chip->Temps, core::ChannelKind::Temperature,
            [&record](int channel, double value) { record.SetTemp(channel, core::CeilToInt32(value)); });
    readAll(chip->Volts, core::ChannelKind::Voltage, [&record](int channel, double value) {
        // A double beyond the float range has no float value (converting it is undefined).
        constexpr double kFloatMax = std::numeric_limits<float>::max();
        record.SetVolt(channel, static_cast<float>(std::clamp(value, -kFloatMax, kFloatMax)));
    });
    readAll(chip->Fans, core::ChannelKind::Fan,
            [&record](int channel, double value) { record.SetFan(channel, core::CeilToInt32(value)); });
    LogKernelNotes();
}

// Slots still without a chip get kernel inputs: the best CPU temperature, the board
// monitor's system input or else an ACPI thermal zone, the board monitor's fans in order
// (with its pwm outputs for the fan-control records), and voltages by label only.
void HardwareEngine::AssignKernelDefaults()
{
    core::SettingsBlock& settings = m_state.Settings;
    auto unassigned = [&settings](int slot) { return settings.Slots[static_cast<size_t>(slot)].Chip == core::kNoChip; };
    const core::ChipRecord* boardMonitor = nullptr;
    const KernelChip* boardChip = nullptr;
    for (const KernelChip& chip : m_kernelChips) {
        const core::ChipRecord& record = m_state.Chips.Records[chip.Chip];
        if (boardMonitor == nullptr && RoleOfKernelDevice(record.Name) == KernelDeviceRole::BoardMonitor) {
            boardMonitor = &record;
            boardChip = &chip;
        }
    }

    if (unassigned(core::kSlotCpu)) {
        int best = 0;
        for (const KernelChip& chip : m_kernelChips) {
            const core::ChipRecord& record = m_state.Chips.Records[chip.Chip];
            for (int channel = 1; channel <= record.TempCount; ++channel) {
                const int rank = CpuTemperatureRank(record.Name, record.Label(core::ChannelKind::Temperature, channel));
                if (rank > best) {
                    best = rank;
                    Assign(core::kSlotCpu, chip.Chip, static_cast<uint8_t>(channel));
                }
            }
        }
    }
    auto assignByLabel = [&](int slot, const core::ChipRecord* record, uint8_t chip, std::string_view label) {
        for (int channel = 1; record != nullptr && channel <= record->TempCount; ++channel) {
            if (Lower(record->Label(core::ChannelKind::Temperature, channel)) == Lower(label)) {
                Assign(slot, chip, static_cast<uint8_t>(channel));
                return true;
            }
        }
        return false;
    };
    if (unassigned(core::kSlotSys)) {
        bool done = boardChip != nullptr && (assignByLabel(core::kSlotSys, boardMonitor, boardChip->Chip, "SYSTIN") ||
                                             assignByLabel(core::kSlotSys, boardMonitor, boardChip->Chip, "temp1"));
        for (const KernelChip& chip : m_kernelChips) {
            const core::ChipRecord& record = m_state.Chips.Records[chip.Chip];
            if (!done && RoleOfKernelDevice(record.Name) == KernelDeviceRole::ThermalZone && record.TempCount > 0) {
                Assign(core::kSlotSys, chip.Chip, 1);
                done = true;
            }
        }
    }
    if (unassigned(core::kSlotAux) && boardChip != nullptr) {
        assignByLabel(core::kSlotAux, boardMonitor, boardChip->Chip, "AUXTIN0") ||
            assignByLabel(core::kSlotAux, boardMonitor, boardChip->Chip, "AUXTIN");
    }
    if (boardChip != nullptr) {
        for (int channel = 1; channel <= boardMonitor->FanCount && channel <= core::kFanControlCount; ++channel) {
            const int slot = core::kSlotCpuFan + channel - 1;
            if (!unassigned(slot)) {
                continue;
            }
            Assign(slot, boardChip->Chip, static_cast<uint8_t>(channel));
            // pwmN drives fanN on these chips; the record follows its newly assigned fan.
            const size_t channelIndex = static_cast<size_t>(channel - 1);
            const int fanNumber = channelIndex < boardChip->FanNumbers.size() ? boardChip->FanNumbers[channelIndex] : 0;
            const auto output = std::find(boardChip->Pwms.begin(), boardChip->Pwms.end(), fanNumber);
            settings.FanControl[channelIndex].PwmRegister = output != boardChip->Pwms.end()
                                                                ? static_cast<uint8_t>(output - boardChip->Pwms.begin())
                                                                : core::kNoChip;
        }
    }
    // Voltages by label alone, the board monitor's first.
    std::vector<const KernelChip*> byPreference;
    if (boardChip != nullptr) {
        byPreference.push_back(boardChip);
    }
    for (const KernelChip& chip : m_kernelChips) {
        if (&chip != boardChip) {
            byPreference.push_back(&chip);
        }
    }
    for (const KernelChip* chip : byPreference) {
        const core::ChipRecord& record = m_state.Chips.Records[chip->Chip];
        for (int channel = 1; channel <= record.VoltCount; ++channel) {
            const int slot = VoltageSlotOfLabel(record.Label(core::ChannelKind::Voltage, channel));
            if (slot >= 0 && unassigned(slot)) {
                Assign(slot, chip->Chip, static_cast<uint8_t>(channel));
            }
        }
    }
}

// ---------------------------------------------------------------------------------------
// Fan control through pwmN.

bool HardwareEngine::WriteKernelPwm(uint8_t chip, uint8_t output, int32_t duty)
{
    const KernelChip* kernelChip = KernelChipOf(chip);
    if (kernelChip == nullptr || output >= kernelChip->Pwms.size()) {
        return false;
    }
    platform::KernelSensors& kernel = m_state.Platform().kernel;
    const int pwm = kernelChip->Pwms[output];
    if (!m_kernelPwms.Driven(kernelChip->Device, pwm)) {
        // An output this process may not write is left alone: no attempt and no state file
        // written and removed again at every pass.
        if (kernel.CheckPwmAccess(kernelChip->Device, pwm) != platform::PwmAccess::Ok) {
            LogOnce("Fan control on pwm" + std::to_string(pwm) + " of " + kernelChip->Name +
                    " left to the driver: " + PwmProblemText(kernelChip->Device, pwm));
            return false;
        }
        switch (m_kernelPwms.TakeOver(kernelChip->Device, pwm, kernelChip->Name, kernelChip->BusPath)) {
        case KernelPwmKeeper::Take::Taken:
            break;
        case KernelPwmKeeper::Take::ModeUnknown:
            LogOnce("Cannot read pwm" + std::to_string(pwm) + "_enable of " + kernelChip->Name +
                    ": fan control left to the driver");
            return false;
        case KernelPwmKeeper::Take::ManualRefused:
            LogOnce("Cannot switch pwm" + std::to_string(pwm) + " of " + kernelChip->Name +
                    " to manual: " + PwmProblemText(kernelChip->Device, pwm));
            return false;
        }
    }
    return kernel.WritePwm(kernelChip->Device, pwm, PwmFromDuty(duty));
}

void HardwareEngine::ReleaseKernelFanControl()
{
    for (const std::string& output : m_kernelPwms.ReleaseAll()) {
        Log("Cannot restore " + output);
    }
}

// The state file lives in the program directory; a refused directory keeps none.
void HardwareEngine::UseKernelPwmStateFile()
{
    const bool kept = !m_state.ProgramPath.empty() && m_state.UsesProgramDirectory();
    m_kernelPwms.SetStateDirectory(kept ? &m_state.ProgramFiles() : nullptr);
}

void HardwareEngine::LogOnce(const std::string& message)
{
    if (m_loggedOnce.insert(message).second) {
        Log(message);
    }
}

} // namespace calventa::hardware
