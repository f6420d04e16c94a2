#include "app/machine_host.h"

#include <cstdlib>
#include <filesystem>

#include "app/paced_board_clock.h"
#include "platform/linux/linux_clock.h"
#include "platform/linux/linux_disk_platform.h"
#include "platform/linux/linux_file_system.h"
#include "platform/linux/linux_platform.h"
#include "platform/linux/steering_environment.h"
#include "platform/sim/sim_disks.h"
#include "platform/sim/sim_machine.h"

namespace calventa::app {

namespace {

using namespace platform::linux_backend;

class LinuxHost final : public MachineHost
{
public:
    platform::Platform& Get() override { return m_platform.Get(); }
    sim::SimMachine* Sim() override { return nullptr; }
    platform::DiskPlatform& Disks() override { return m_disks.Get(); }
    sim::SimDisks* SimDrives() override { return nullptr; }

private:
    LinuxPlatform m_platform;
    LinuxDiskPlatform m_disks;
};

// A board stands in for the hardware; files stay real. Its program store lives in
// $CALVENTA_REGISTRY_ROOT, or in a temporary directory removed at exit.
class BoardHost final : public MachineHost
{
public:
    explicit BoardHost(std::unique_ptr<sim::SimMachine> machine)
        : m_sim(std::move(machine)), m_clock(*m_sim, &m_wallClock),
          m_store(StoreRoot(), AutostartDirectory(), [this] { return m_sim->ExecutablePath(); }),
          m_platform{*m_sim, m_clock, *m_sim, m_store, m_files, *m_sim, *m_sim}, m_simDisks(m_sim->Board()),
          m_services(ServiceManagerFor(LinuxDiskPaths::FromEnvironment())), m_disks{m_simDisks, m_services}
    {
        LinuxSystemFacts realFacts(LinuxPaths::DefaultProgramDirectoryFromEnvironment());
        m_sim->SetDefaultProgramDirectory(realFacts.DefaultProgramDirectory());
        m_sim->SetExecutablePath(realFacts.ExecutablePath());
    }

    ~BoardHost() override
    {
        if (!m_temporaryRoot.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(m_temporaryRoot, ignored);
        }
    }

    platform::Platform& Get() override { return m_platform; }
    sim::SimMachine* Sim() override { return m_sim.get(); }
    platform::DiskPlatform& Disks() override { return m_disks; }
    sim::SimDisks* SimDrives() override { return &m_simDisks; }
    void FollowRealTime() override { m_clock.Follow(); }

private:
    std::string TemporaryRoot()
    {
        if (m_temporaryRoot.empty()) {
            // $TMPDIR is the user's too: root makes its temporary store in /tmp.
            const std::filesystem::path temporary =
                StartedPrivileged() ? std::filesystem::path("/tmp") : std::filesystem::temp_directory_path();
            std::string pattern = (temporary / "calventa-board-XXXXXX").string();
            if (mkdtemp(pattern.data()) != nullptr) {
                m_temporaryRoot = pattern;
            }
        }
        return m_temporaryRoot;
    }
    std::string StoreRoot()
    {
        const auto root = SteeringVariable("CALVENTA_REGISTRY_ROOT", SteeredPath::Directory);
        return root && !root->empty() ? *root : TemporaryRoot() + "/registry";
    }
    std::string AutostartDirectory()
    {
        const auto dir = SteeringVariable("CALVENTA_AUTOSTART_DIR", SteeredPath::Directory);
        if (dir && !dir->empty()) {
            return *dir;
        }
        const std::string autostart = TemporaryRoot() + "/autostart";
        std::error_code ignored;
        std::filesystem::create_directories(autostart, ignored);
        return autostart;
    }

    std::unique_ptr<sim::SimMachine> m_sim;
    LinuxClock m_wallClock;
    PacedBoardClock m_clock;
    std::string m_temporaryRoot;
    FileProgramStore m_store;
    LinuxFileSystem m_files;
    platform::Platform m_platform;
    // The board's disks; the disk service is the real one, which a test may run on the same
    // board with $CALVENTA_SERVICE_SOCKET and $CALVENTA_REGISTRY_ROOT.
    sim::SimDisks m_simDisks;
    SocketServiceManager m_services;
    platform::DiskPlatform m_disks;
};

} // namespace

bool MachineHost::HasRealMachine()
{
    return true;
}

std::unique_ptr<MachineHost> MachineHost::FromEnvironment(std::string& error)
{
    const char* board = std::getenv("CALVENTA_BOARD");
    if (board != nullptr && *board != '\0') {
        return ForBoard(board, error);
    }
    return ForLinux();
}

std::unique_ptr<MachineHost> MachineHost::ForBoard(const std::string& boardPath, std::string& error)
{
    std::unique_ptr<sim::SimMachine> machine = sim::LoadSimMachine(boardPath, error);
    if (!machine) {
        return nullptr;
    }
    return std::make_unique<BoardHost>(std::move(machine));
}

std::unique_ptr<MachineHost> MachineHost::ForLinux()
{
    return std::make_unique<LinuxHost>();
}

} // namespace calventa::app
