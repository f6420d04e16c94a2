// calventasvc.exe: the disk service on Windows. The service control manager starts it;
// /install and /uninstall (with /silent: no output) register and remove it. Run from a
// console otherwise, it says what it is and ends with 1.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/board_file.h"
#include "platform/sim/sim_disks.h"
#include "platform/windows/win_api.h"
#include "platform/windows/win_text.h"
#include "platform/windows/windows_platform.h"
#include "service/windows_disk_service.h"

namespace {

using namespace calventa;

constexpr uint32_t kCoalesceMs = 1000;

constexpr const char* kUsage = "usage: calventasvc [/install | /uninstall] [/silent] [--board FILE] [--key PATH]\n";
constexpr const char* kHelp =
    "\n"
    "The Calventa disk service: reads the disks' S.M.A.R.T. temperatures with the local system's\n"
    "rights and hands them to every user's monitor through the registry value \"sysdata\". The\n"
    "service control manager starts it; run from a console it does nothing.\n"
    "\n"
    "  /install      register the service \"calventasvc\" (administrator), started with Windows\n"
    "  /uninstall    stop and remove it (administrator)\n"
    "  /silent       with /install or /uninstall: print nothing\n"
    "  --board FILE  (for tests) the disks of a simulated machine instead of the real ones\n"
    "  --key PATH    (for tests) the program key under HKEY_LOCAL_MACHINE\n";

std::vector<std::string> Arguments(int count, wchar_t** words)
{
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) {
        arguments.push_back(platform::windows_backend::Utf8FromWide(words[i], wcslen(words[i])));
    }
    return arguments;
}

int Serve(const service::ServiceArguments& arguments)
{
    std::unique_ptr<platform::SmartDevices> drives;
    if (!arguments.board.empty()) {
        std::string error;
        auto described = sim::LoadBoardFile(arguments.board, error);
        if (!described) {
            std::fprintf(stderr, "calventasvc: %s\n", error.c_str());
            return 1;
        }
        drives = std::make_unique<sim::SimDisks>(*described, sim::DiskRights::Service);
    } else {
        drives = std::make_unique<platform::windows_backend::WindowsSmartDevices>();
    }
    platform::windows_backend::RegistryKeys keys;
    if (!arguments.registryKey.empty()) {
        keys.programKey = arguments.registryKey;
    }
    platform::windows_backend::WindowsProgramStore store(keys);
    service::DiskServiceWork work(*drives, store, kCoalesceMs);
    const std::optional<int> result = service::RunWindowsService(work);
    if (!result) {
        std::fprintf(stderr, "calventasvc: this is a Windows service; the service control manager starts it "
                             "(\"calventasvc /install\" registers it)\n");
        return 1;
    }
    return *result;
}

} // namespace

// The wide entry (-municode): file and key names reach the program whole, whatever the code page.
int wmain(int argc, wchar_t** argv)
{
    std::string error;
    const auto arguments = service::ParseServiceArguments(Arguments(argc, argv), error);
    if (!arguments) {
        std::fprintf(stderr, "calventasvc: %s\n%s", error.c_str(), kUsage);
        return 2;
    }
    if (arguments->help) {
        std::printf("%s%s", kUsage, kHelp);
        return 0;
    }
    if (arguments->version) {
        std::printf("calventasvc %s\n", CALVENTA_VERSION);
        return 0;
    }
    if (arguments->install || arguments->uninstall) {
        const bool ok = arguments->install
                            ? service::InstallWindowsService(platform::windows_backend::CurrentExecutablePath(),
                                                             service::ServiceImageArguments(*arguments), error)
                            : service::UninstallWindowsService(error);
        if (!arguments->silent) {
            if (ok) {
                std::printf("calventasvc: %s\n", arguments->install ? "installed" : "uninstalled");
            } else {
                std::fprintf(stderr, "calventasvc: %s\n", error.c_str());
            }
        }
        return ok ? 0 : 1;
    }
    return Serve(*arguments);
}
