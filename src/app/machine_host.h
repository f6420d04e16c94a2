#pragma once

#include <memory>
#include <string>

#include "platform/disk_platform.h"
#include "platform/platform.h"

namespace calventa::sim {
class SimMachine;
class SimDisks;
}

namespace calventa::app {

// The machine a front end runs on: the simulated board named by $CALVENTA_BOARD, or the
// real Linux machine. Owns every platform object for the life of the process.
class MachineHost
{
public:
    virtual ~MachineHost() = default;
    virtual platform::Platform& Get() = 0;
    // The simulated machine, or nullptr on real hardware.
    virtual sim::SimMachine* Sim() = 0;
    // The drives and the disk service of the same machine: a board's disks with the disk
    // service client, or the real drives and service.
    virtual platform::DiskPlatform& Disks() = 0;
    // The board's disks, or nullptr on real hardware.
    virtual sim::SimDisks* SimDrives() = 0;

    // On refusal of the board file: nullptr and a one-line error.
    static std::unique_ptr<MachineHost> FromEnvironment(std::string& error);
    static std::unique_ptr<MachineHost> ForBoard(const std::string& boardPath, std::string& error);
    static std::unique_ptr<MachineHost> ForLinux();
};

} // namespace calventa::app
