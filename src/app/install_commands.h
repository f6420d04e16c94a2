#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

#include "app/monitor.h"
#include "app/port_driver_install.h"
#include "platform/disk_service.h"
#include "platform/platform.h"
#include "service/service_unit.h"

namespace calventa::app {

// Whether the process may change the machine: root on Linux. Tests fake it.
class ProcessRights
{
public:
    virtual ~ProcessRights() = default;
    virtual bool IsAdministrator() const = 0;
};

class EffectiveUserRights final : public ProcessRights
{
public:
    bool IsAdministrator() const override;
};

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

// calventasvc started as a child process, its standard error kept in an unlinked file so
// that the progress window can show why it failed; finished children are collected by
// CollectFailure, on the next run and at destruction, so none is left as a zombie.
class ChildServiceProgram final : public ServiceProgramRunner
{
public:
    explicit ChildServiceProgram(std::string programPath);
    ~ChildServiceProgram() override;
    ChildServiceProgram(const ChildServiceProgram&) = delete;
    ChildServiceProgram& operator=(const ChildServiceProgram&) = delete;

    bool Run(const std::vector<std::string>& arguments) override;
    std::string CollectFailure() override;

private:
    struct Child
    {
        pid_t pid = -1;
        int errorFile = -1; // the child's standard error
    };

    std::string m_programPath;
    std::vector<Child> m_children;
    std::string m_startFailure; // why the last run could not be started
};

// The calventasvc beside the running program (same directory, ../sbin, or the build tree's
// ../service); "calventasvc" for a search of PATH when none is there.
std::string ServiceProgramPath(const std::string& executablePath);

// Systemd's side of the disk service for the installation: states through `queries` (the
// disk-service client), start and stop through systemctl, removal of the unit as
// `calventasvc --uninstall` does it. Changes are offered to root only.
class SystemdServiceManager final : public platform::ServiceManager
{
public:
    SystemdServiceManager(platform::ServiceManager& queries, service::UnitInstallation installation,
                          const ProcessRights& rights);

    std::unique_ptr<platform::ServiceManagerConnection> Connect() override;
    std::unique_ptr<platform::ServiceManagerConnection> ConnectForChanges() override;

    // Unit directory ($CALVENTA_SYSTEMD_UNIT_DIR) and systemctl ($CALVENTA_SYSTEMCTL; set but
    // empty: no command) as calventasvc takes them.
    static service::UnitInstallation InstallationFromEnvironment();

private:
    platform::ServiceManager& m_queries;
    service::UnitInstallation m_installation;
    const ProcessRights& m_rights;
};

inline constexpr int kProgressWaitMs = 3000;  // after each step of the progress window
inline constexpr int kProgressCloseMs = 3000; // the progress window closes itself after success

// `calventa install`: there is no port driver to load on Linux, so it deletes settings.dat
// (the next start uses the chip search's assignments) and ends with 1 when not root, 0
// otherwise. The file goes first in either case; a program directory that root may not
// trust is left alone. `why` gets one line for the user when the status is not 0.
int InstallCommand(const platform::Platform& machine, const ProcessRights& rights, std::string& why);
// `calventa uninstall` is UninstallCommand of port_driver_install.h: Linux has no port driver,
// so "Svc" never names one there and only the disk service goes.

// "install" and "uninstall" with the real rights, a failure's reason as one line on standard
// error; nullopt for any other word.
std::optional<int> RunInstallationWord(CommandWord word, const platform::Platform& machine,
                                       platform::ServiceManager& services);

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
