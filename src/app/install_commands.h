#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

#include "app/monitor.h"
#include "app/port_driver_install.h"
#include "app/service_progress.h"
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

} // namespace calventa::app
