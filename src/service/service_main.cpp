// calventasvc: the disk service. Without arguments it serves on its socket until SIGTERM;
// --install / --uninstall register and remove its systemd unit (--silent: no output).
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>

#include "platform/linux/file_program_store.h"
#include "platform/linux/linux_disk_platform.h"
#include "platform/linux/linux_system_facts.h"
#include "platform/linux/steering_environment.h"
#include "platform/sim/sim_disks.h"
#include "service/disk_service_daemon.h"
#include "service/service_unit.h"

namespace {

using namespace calventa;
using platform::linux_backend::LinuxDiskPaths;

constexpr const char* kUsage = "usage: calventasvc [--install | --uninstall] [--silent]\n";

constexpr const char* kHelp = "\n"
                              "The Calventa disk service: reads the disks' S.M.A.R.T. temperatures as root and hands\n"
                              "them to every user's monitor over /run/calventa/calventasvc.sock. Without arguments it\n"
                              "serves until SIGTERM.\n"
                              "\n"
                              "  --install     write and enable the systemd unit calventasvc.service (root)\n"
                              "  --uninstall   stop, disable and remove that unit (root)\n"
                              "  --silent      with --install or --uninstall: print nothing\n"
                              "  --help        this text\n"
                              "  --version     the program's name and version\n";

std::string EnvironmentOr(const char* name, const char* fallback)
{
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0' ? value : fallback;
}

service::UnitInstallation InstallationFromEnvironment()
{
    service::UnitInstallation installation;
    installation.unitDirectory = LinuxDiskPaths::FromEnvironment().unitDirectory;
    // CALVENTA_SYSTEMCTL replaces the command (tests point it at a recorder); set but empty,
    // no command runs.
    const auto systemctl =
        platform::linux_backend::SteeringVariable("CALVENTA_SYSTEMCTL", platform::linux_backend::SteeredPath::Program);
    if (!systemctl) {
        installation.systemctl = {"systemctl"};
    } else if (!systemctl->empty()) {
        installation.systemctl = {*systemctl};
    }
    installation.executablePath = platform::linux_backend::LinuxSystemFacts("").ExecutablePath();
    return installation;
}

int RunUnitCommand(bool install, bool silent)
{
    const service::UnitInstallation installation = InstallationFromEnvironment();
    std::string error;
    const bool ok =
        install ? service::InstallDiskService(installation, error) : service::UninstallDiskService(installation, error);
    if (!silent) {
        if (ok) {
            std::printf("calventasvc: %s\n", install ? "installed" : "uninstalled");
        } else {
            std::fprintf(stderr, "calventasvc: %s\n", error.c_str());
        }
    }
    return ok ? 0 : 1;
}

// SIGTERM and SIGINT arrive as a readable descriptor, so the serving loop sleeps in one poll.
int StopSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    if (sigprocmask(SIG_BLOCK, &signals, nullptr) != 0) {
        return -1;
    }
    return signalfd(-1, &signals, SFD_CLOEXEC);
}

int Serve()
{
    std::unique_ptr<platform::SmartDevices> drives;
    const std::string board = EnvironmentOr("CALVENTA_BOARD", "");
    if (!board.empty()) {
        std::string error;
        auto described = sim::LoadBoardFile(board, error);
        if (!described) {
            std::fprintf(stderr, "calventasvc: %s\n", error.c_str());
            return 1;
        }
        drives = std::make_unique<sim::SimDisks>(*described, sim::DiskRights::Service);
    } else {
        drives = std::make_unique<platform::linux_backend::LinuxSmartDevices>();
    }
    platform::linux_backend::FileProgramStore store(
        platform::linux_backend::SteeringVariableOr("CALVENTA_REGISTRY_ROOT",
                                                    platform::linux_backend::SteeredPath::Directory,
                                                    platform::linux_backend::kDefaultRegistryRoot),
        platform::linux_backend::kDefaultAutostartDirectory);

    service::DaemonOptions options;
    options.socketPath = LinuxDiskPaths::FromEnvironment().serviceSocket;
    service::DiskServiceDaemon daemon(*drives, store, options);

    const int stopFd = StopSignals();
    if (stopFd < 0) {
        std::perror("calventasvc: signalfd");
        return 1;
    }
    std::string error;
    if (!daemon.Listen(error)) {
        std::fprintf(stderr, "calventasvc: %s\n", error.c_str());
        close(stopFd);
        return 1;
    }
    const bool stopped = daemon.Serve(stopFd);
    close(stopFd);
    if (!stopped) {
        std::perror("calventasvc: serving stopped");
    }
    return stopped ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    bool install = false;
    bool uninstall = false;
    bool silent = false;
    std::set<std::string> seen;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!seen.insert(arg).second) {
            std::fprintf(stderr, "calventasvc: %s given more than once\n", arg.c_str());
            return 2;
        }
        if (arg == "--help") {
            std::printf("%s%s", kUsage, kHelp);
            return 0;
        }
        if (arg == "--version") {
            std::printf("calventasvc %s\n", CALVENTA_VERSION);
            return 0;
        }
        if (arg == "--install") {
            install = true;
        } else if (arg == "--uninstall") {
            uninstall = true;
        } else if (arg == "--silent") {
            silent = true;
        } else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    if (install && uninstall) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (install || uninstall) {
        return RunUnitCommand(install, silent);
    }
    return Serve();
}
