#pragma once

#include <string>
#include <vector>

namespace calventa::service {

// The systemd unit that runs the daemon as root with CAP_SYS_RAWIO as its only capability,
// in a sandbox where it writes only its state folder (the store) and /run/calventa (the
// socket).
std::string DiskServiceUnitText(const std::string& executablePath);

// Why the executable must not be named by the unit, empty when it may: it must be an
// absolute, resolved path without characters the unit would have to quote, to a plain file
// that only root can change, in folders that only root can change.
std::string ExecutableRefusal(const std::string& executablePath);

struct UnitInstallation
{
    std::string unitDirectory;          // /etc/systemd/system
    std::vector<std::string> systemctl; // the command and leading arguments; empty: do not call it
    std::string executablePath;         // the daemon the unit starts
};

// Writes the unit and enables it, so that it starts with the machine; the monitor starts it
// now. Refuses an executable that ExecutableRefusal refuses. On failure nothing stays
// installed and error says why.
bool InstallDiskService(const UnitInstallation& installation, std::string& error);
// Stops and disables the service and removes the unit. A unit that is not there counts as
// removed.
bool UninstallDiskService(const UnitInstallation& installation, std::string& error);

} // namespace calventa::service
