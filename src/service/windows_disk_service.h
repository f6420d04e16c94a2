#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "service/disk_service_work.h"

namespace calventa::service {

inline constexpr const char* kServiceDisplayName = "Calventa disk service";
inline constexpr const char* kServiceDescription =
    "Reads the disks' S.M.A.R.T. temperatures for Calventa monitors whose users may not open the drives.";

// What calventasvc.exe was started with. The service's own arguments come from its
// ImagePath, so that a test (or a second installation) can give it another registry key or
// a board file instead of the real drives.
struct ServiceArguments
{
    bool install = false;
    bool uninstall = false;
    bool silent = false;
    bool help = false;
    bool version = false;
    std::string board;       // --board FILE: the simulated machine's disks
    std::string registryKey; // --key PATH: the program key under HKEY_LOCAL_MACHINE
};
// nullopt with a one-line reason for an unknown, repeated or incomplete argument.
std::optional<ServiceArguments> ParseServiceArguments(const std::vector<std::string>& words, std::string& error);
// The arguments the installed service is to be started with (board and key only).
std::vector<std::string> ServiceImageArguments(const ServiceArguments& arguments);
// The ImagePath: the executable quoted (its path may hold blanks), then each argument,
// quoted when it holds a blank.
std::string ServiceCommandLine(const std::string& executable, const std::vector<std::string>& arguments);

// Result codes of the handler, with the system's values.
inline constexpr uint32_t kNoError = 0;
inline constexpr uint32_t kErrorCallNotImplemented = 120;

// The running service's reaction to a control code: 234 and 235 do the disk work (one at a
// time), interrogation is answered, stop and shutdown ask the service to end; anything else
// is refused without effect. Used on the control dispatcher's thread.
class DiskServiceControls
{
public:
    explicit DiskServiceControls(DiskServiceWork& work) : m_work(work) {}

    enum class Action { None, Stop };
    struct Reaction
    {
        uint32_t result = kNoError;
        Action action = Action::None;
    };
    Reaction Handle(uint32_t control);

private:
    DiskServiceWork& m_work;
    std::mutex m_mutex;
};

// Registers calventasvc with the service control manager (started automatically, as the
// local system account: reading the disks needs it) or removes it, stopping it first. False
// with a one-line reason.
bool InstallWindowsService(const std::string& executable, const std::vector<std::string>& arguments,
                           std::string& error);
bool UninstallWindowsService(std::string& error);

// Runs the service through the control dispatcher until it is stopped. Returns nullopt when
// the process was not started by the service control manager (run from a console).
std::optional<int> RunWindowsService(DiskServiceWork& work);

} // namespace calventa::service
