// MachineHost in the Windows build: a board file's simulated machine, or the real Windows
// machine when the build has the Windows back end (src/platform/windows).
#include "app/machine_host.h"

#include <cstdlib>
#include <filesystem>

#include "app/executable_file.h"
#include "app/paced_board_clock.h"
#include "platform/sim/memory_program_store.h"
#include "platform/sim/sim_disks.h"
#include "platform/sim/sim_machine.h"
#include "platform/sim/std_file_system.h"
#if CALVENTA_WINDOWS_BACKEND
#include "platform/windows/windows_platform.h"
#endif

namespace calventa::app {

namespace {

// A board run reaches no disk service: the service is the real machine's, and a board run
// must not ask the real one. It answers as a machine where the service is not installed.
class NoDiskService final : public platform::ServiceManager
{
public:
    std::unique_ptr<platform::ServiceManagerConnection> Connect() override
    {
        return std::make_unique<Connection>();
    }

private:
    class Connection final : public platform::ServiceManagerConnection
    {
    public:
        std::unique_ptr<platform::ServiceHandle> OpenService(const std::string&) override { return nullptr; }
    };
};

// A board stands in for the hardware; files stay real. Its program store lives in memory for
// the run, as the Linux build's lives in a temporary directory removed at exit.
class BoardHost final : public MachineHost
{
public:
    explicit BoardHost(std::unique_ptr<sim::SimMachine> machine)
        : m_sim(std::move(machine)), m_clock(*m_sim, WallClock()),
          m_platform{*m_sim, m_clock, *m_sim, m_store, m_files, *m_sim, *m_sim}, m_simDisks(m_sim->Board()),
          m_disks{m_simDisks, m_services}
    {
        // As on the real machine: the program directory is the executable's folder.
        const std::string executable = ExecutableFile();
        m_sim->SetExecutablePath(executable);
        m_sim->SetDefaultProgramDirectory(sim::Utf8FromPath(sim::PathFromUtf8(executable).parent_path()));
    }

    platform::Platform& Get() override { return m_platform; }
    sim::SimMachine* Sim() override { return m_sim.get(); }
    platform::DiskPlatform& Disks() override { return m_disks; }
    sim::SimDisks* SimDrives() override { return &m_simDisks; }
    void FollowRealTime() override { m_clock.Follow(); }

private:
    platform::Clock* WallClock()
    {
#if CALVENTA_WINDOWS_BACKEND
        return &m_wallClock;
#else
        return nullptr;
#endif
    }

    std::unique_ptr<sim::SimMachine> m_sim;
#if CALVENTA_WINDOWS_BACKEND
    platform::windows_backend::WindowsClock m_wallClock;
#endif
    PacedBoardClock m_clock;
    sim::MemoryProgramStore m_store;
    sim::StdFileSystem m_files;
    platform::Platform m_platform;
    sim::SimDisks m_simDisks;
    NoDiskService m_services;
    platform::DiskPlatform m_disks;
};

#if CALVENTA_WINDOWS_BACKEND
// The real machine: src/platform/windows/windows_platform.h owns every Windows platform
// object and hands them out as a Platform and a DiskPlatform.
class WindowsHost final : public MachineHost
{
public:
    platform::Platform& Get() override { return m_platform.Get(); }
    sim::SimMachine* Sim() override { return nullptr; }
    platform::DiskPlatform& Disks() override { return m_platform.Disks(); }
    sim::SimDisks* SimDrives() override { return nullptr; }

private:
    platform::windows_backend::WindowsPlatform m_platform;
};
#endif

} // namespace

bool MachineHost::HasRealMachine()
{
    return CALVENTA_WINDOWS_BACKEND != 0;
}

std::unique_ptr<MachineHost> MachineHost::FromEnvironment(std::string& error)
{
    const char* board = std::getenv("CALVENTA_BOARD");
    if (board != nullptr && *board != '\0') {
        return ForBoard(board, error);
    }
#if CALVENTA_WINDOWS_BACKEND
    return std::make_unique<WindowsHost>();
#else
    error = kNoRealMachine;
    return nullptr;
#endif
}

std::unique_ptr<MachineHost> MachineHost::ForBoard(const std::string& boardPath, std::string& error)
{
    std::unique_ptr<sim::SimMachine> machine = sim::LoadSimMachine(boardPath, error);
    if (!machine) {
        return nullptr;
    }
    return std::make_unique<BoardHost>(std::move(machine));
}

} // namespace calventa::app
