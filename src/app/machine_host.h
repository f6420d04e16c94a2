#pragma once

#include <memory>
#include <string>

#include "platform/disk_platform.h"
#include "platform/platform.h"

namespace calventa::sim {
class SimMachine;
class SimDisks;
} // namespace calventa::sim

namespace calventa::app {

// The machine a front end runs on: the simulated board named by $CALVENTA_BOARD, or the
// real machine (machine_host.cpp for Linux, machine_host_windows.cpp for Windows). Owns
// every platform object for the life of the process.
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
    // On a simulated board, from now on the board's clock runs at least as fast as real
    // time (its own waits still add to it), so a program driven by real timers sees time
    // pass; without this the board's time moves only by its virtual waits, which keeps a
    // short run's output repeatable. Nothing to do on real hardware.
    virtual void FollowRealTime() {}

    // Whether this build can run on the real machine (a Windows build without the Windows
    // back end runs on board files only); without it FromEnvironment refuses every run
    // that names no board, with kNoRealMachine.
    static bool HasRealMachine();
    static constexpr const char* kNoRealMachine = "no Windows back end in this build";

    // On refusal of the board file: nullptr and a one-line error.
    static std::unique_ptr<MachineHost> FromEnvironment(std::string& error);
    static std::unique_ptr<MachineHost> ForBoard(const std::string& boardPath, std::string& error);
    static std::unique_ptr<MachineHost> ForLinux();
};

} // namespace calventa::app
