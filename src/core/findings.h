#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace calventa::core {

// How the search of the ports ended.
enum class PortSearchOutcome {
    NotRun,          // no search (a monitor started without hardware)
    Refused,         // the system gave no port access
    NothingAnswered, // access granted, no monitoring chip answered
    Found,
};

// Why the disk start-up listed drives, or why not.
enum class DiskSearchOutcome {
    NotLooked,           // no drives attached to this monitor
    Found,               // at least one drive listed
    NoDrive,             // drives could be asked, none answered
    ServiceNotInstalled, // the user may not open the drives and the disk service is missing
    ServiceNotRunning,   // … installed but stopped
    ServiceUnknown,      // … its state could not be learnt
};

// The facts the start-up gathers on its way: what was looked at and what came back.
struct SearchFindings
{
    PortSearchOutcome Ports = PortSearchOutcome::NotRun;
    // The system's own words on the port access: why it was refused, or which ranges a kernel
    // driver holds.
    std::vector<std::string> PortNotes;
    int KernelDevices = 0; // hwmon devices the kernel lists
    // A chip the port search named, for the kernel module to suggest; empty when none.
    std::string IdentifiedChip;
    DiskSearchOutcome Disks = DiskSearchOutcome::NotLooked;

    bool AnythingFound() const;
};

// One place looked at: a short phrase (tray tip) and the whole sentence with the next step.
struct FindingLine
{
    std::string Short;
    std::string Text;
};

inline constexpr const char* kNothingFoundHeadline = "No sensors found";

// The account of a search that found nothing: empty when something was found.
struct NothingFoundReport
{
    std::vector<FindingLine> Lines;

    bool Empty() const { return Lines.empty(); }
    // "No sensors found" and the short phrases, one a line, joined by `separator`.
    std::string Tip(const std::string& separator) const;
};

// The sentence on a machine without any hwmon device, also the kernel probe's note.
std::string NoHwmonDevicesText(std::string_view identifiedChip);

// The kernel module that drives a chip of the port search ("w83627hf" for a W83627THF); empty
// for a name it does not know.
std::string KernelModuleOfChip(std::string_view chipName);

NothingFoundReport BuildNothingFoundReport(const SearchFindings& findings);

} // namespace calventa::core
