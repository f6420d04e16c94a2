#include "core/findings.h"

#include <array>
#include <utility>

namespace calventa::core {

namespace {

// The driver of each chip family the port search knows, by the start of the name it records.
constexpr std::array<std::pair<std::string_view, std::string_view>, 12> kChipModules{{
    {"W83627EHF", "w83627ehf"},
    {"W83627", "w83627hf"},
    {"W83637HF", "w83627hf"},
    {"W83697HF", "w83627hf"},
    {"W8378", "w83781d"},
    {"AS99127F", "w83781d"},
    {"ASB100", "asb100"},
    {"ITE87", "it87"},
    {"LM87", "lm87"},
    {"LM90", "lm90"},
    {"LM75", "lm75"},
    {"Winbond", "w83781d"},
}};

std::string Joined(const std::vector<std::string>& parts, const char* separator)
{
    std::string out;
    for (const std::string& part : parts) {
        out += (out.empty() ? "" : separator) + part;
    }
    return out;
}

FindingLine PortLine(const SearchFindings& findings)
{
    if (findings.Ports == PortSearchOutcome::Refused) {
        const std::string why = findings.PortNotes.empty() ? "the system refused it" : Joined(findings.PortNotes, "; ");
        return {"port access refused",
                "Port access refused (" + why +
                    "), so no chip was searched on the ports. The kernel's sensor drivers need none."};
    }
    std::string text = "No monitoring chip answered on the ISA ports 0x295/0x296 or on the SMBus";
    if (!findings.PortNotes.empty()) {
        text += " (" + Joined(findings.PortNotes, "; ") + ")";
    }
    return {"no chip on the ports", text + "."};
}

FindingLine DiskLine(DiskSearchOutcome disks)
{
    switch (disks) {
    case DiskSearchOutcome::ServiceNotInstalled:
        return {"disk service not installed",
                "No drive temperatures: this user may not open the drives and the disk service calventasvc is not "
                "installed. Install it as root: the tray menu's \"Install Service\", or sudo calventasvc --install."};
    case DiskSearchOutcome::ServiceNotRunning:
        return {"disk service not running",
                "No drive temperatures: this user may not open the drives and the disk service calventasvc is not "
                "running. Start it: sudo systemctl start calventasvc."};
    case DiskSearchOutcome::ServiceUnknown:
        return {"disk service unreachable",
                "No drive temperatures: this user may not open the drives and the state of the disk service "
                "calventasvc could not be learnt. Check it: systemctl status calventasvc."};
    case DiskSearchOutcome::NoDrive:
    case DiskSearchOutcome::NotLooked:
    case DiskSearchOutcome::Found:
        break;
    }
    return {"no drive", "No drive answered with a temperature."};
}

} // namespace

bool SearchFindings::AnythingFound() const
{
    return Ports == PortSearchOutcome::Found || KernelDevices > 0 || Disks == DiskSearchOutcome::Found;
}

std::string NothingFoundReport::Tip(const std::string& separator) const
{
    std::string tip = kNothingFoundHeadline;
    for (const FindingLine& line : Lines) {
        tip += separator + line.Short;
    }
    return tip;
}

std::string KernelModuleOfChip(std::string_view chipName)
{
    for (const auto& [prefix, module] : kChipModules) {
        if (chipName.starts_with(prefix)) {
            return std::string(module);
        }
    }
    return {};
}

std::string NoHwmonDevicesText(std::string_view identifiedChip)
{
    const std::string module = KernelModuleOfChip(identifiedChip);
    const std::string next = module.empty() ? "Run sudo sensors-detect and load the kernel module it names."
                                            : "Load the " + module + " kernel module: sudo modprobe " + module + ".";
    return "No devices in /sys/class/hwmon: no sensor driver is loaded for this board. " + next;
}

NothingFoundReport BuildNothingFoundReport(const SearchFindings& findings)
{
    NothingFoundReport report;
    if (findings.AnythingFound()) {
        return report;
    }
    report.Lines.push_back({"no sensor driver loaded", NoHwmonDevicesText(findings.IdentifiedChip)});
    if (findings.Ports != PortSearchOutcome::NotRun) {
        report.Lines.push_back(PortLine(findings));
    }
    if (findings.Disks != DiskSearchOutcome::NotLooked) {
        report.Lines.push_back(DiskLine(findings.Disks));
    }
    return report;
}

} // namespace calventa::core
