#pragma once

#include <string>
#include <vector>

namespace calventa::service {

// The systemd unit that runs the daemon as root and keeps /run/calventa for its socket.
std::string DiskServiceUnitText(const std::string& executablePath);

struct UnitInstallation
{
    std::string unitDirectory;          // /etc/systemd/system
    std::vector<std::string> systemctl; // the command and leading arguments; empty: do not call it
    std::string executablePath;         // the daemon the unit starts
};

// Writes the unit and enables it, so that it starts with the machine; the monitor starts it
// now. On failure nothing stays installed and error says why.
bool InstallDiskService(const UnitInstallation& installation, std::string& error);
// Stops and disables the service and removes the unit. A unit that is not there counts as
// removed.
bool UninstallDiskService(const UnitInstallation& installation, std::string& error);

} // namespace calventa::service
