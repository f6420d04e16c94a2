#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/disk_service.h"
#include "platform/system_facts.h"

namespace calventa::app {

// The tray menu's service items and the progress of "Install Service" / "Uninstall Service",
// free of any OS: every desktop program steps them from its own timers.

// Starts the disk service's own program with arguments and does not wait for it: the
// progress window waits by its timer. Tests record the calls.
class ServiceProgramRunner
{
public:
    virtual ~ServiceProgramRunner() = default;
    // False when the program could not be started.
    virtual bool Run(const std::vector<std::string>& arguments) = 0;
    // Collects the runs that have ended; the reason the last failed one gave (its last line
    // on standard error, or how it ended), empty when none failed.
    virtual std::string CollectFailure() = 0;
};

inline constexpr int kProgressWaitMs = 3000;  // after each step of the progress window
inline constexpr int kProgressCloseMs = 3000; // the progress window closes itself after success

// The tray menu's "Install Service" and "Uninstall Service" items.
struct ServiceMenuState
{
    bool InstallEnabled = false;
    bool UninstallEnabled = false;
};
// No rights: both off; not installed: only install; installed and stopped: both; running:
// only uninstall. On Windows 9x nullopt: the items keep the state start-up gave them (off).
std::optional<ServiceMenuState> UpdateServiceMenu(platform::ServiceManager& services, platform::PlatformFamily family);

// The progress window's caption and size.
inline constexpr const char* kProgressCaption = "Calventa";
inline constexpr int kProgressWidth = 176;
inline constexpr int kProgressHeight = 161;

// "Install Service" / "Uninstall Service" as steps between waits, so that the window paints
// each new line while it waits: the window calls Begin, then Step whenever the wait that the
// previous step returned has passed, rendering Lines() after each call. When Finished(),
// Succeeded() tells the window to update the service menu and close itself after 3000 ms;
// after a failure the window stays until the user closes it.
class ServiceProgress
{
public:
    enum class Task { Install, Uninstall };

    ServiceProgress(platform::ServiceManager& services, ServiceProgramRunner& program);

    // Clears the list and adds "Connect to manager...". The window shows itself then.
    void Begin(Task task);
    // Runs the next step; returns the wait in ms before the following one, or nullopt when
    // the task has finished (or none was begun).
    std::optional<int> Step();

    const std::vector<std::string>& Lines() const { return m_lines; }
    bool Finished() const { return m_stage == Stage::Done; }
    bool Succeeded() const { return m_succeeded; }

private:
    enum class Stage {
        Done,
        Connect,
        InstallLoaded,
        InstallStarted,
        UninstallStopped,
        UninstallRemoved,
    };

    std::optional<int> ConnectStep();
    std::optional<int> InstallLoadedStep();
    std::optional<int> UninstallStep();
    std::optional<int> Fail(const char* line, const std::string& reason = {});
    std::optional<int> Succeed(const char* line);
    std::optional<int> WaitThen(Stage next);
    void Replace(const std::string& dots, const std::string& done);

    platform::ServiceManager& m_services;
    ServiceProgramRunner& m_program;
    Task m_task = Task::Install;
    Stage m_stage = Stage::Done;
    bool m_succeeded = false;
    std::string m_startingLine;
    std::vector<std::string> m_lines;
};

} // namespace calventa::app
