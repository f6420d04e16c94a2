#include "app/install_commands.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "core/monitor_state.h"
#include "core/program_store_access.h"
#include "platform/linux/linux_disk_platform.h"
#include "platform/linux/steering_environment.h"

extern char** environ;

namespace calventa::app {

namespace {

using platform::kDiskServiceName;
using platform::ServiceState;
using platform::linux_backend::kDiskServiceUnitName;

constexpr const char* kConnectLine = "Connect to manager...";
constexpr const char* kLoadingLine = "Loading...";
constexpr const char* kStartingLine = "Starting...";
constexpr const char* kStartingAgainLine = "Starting..";
constexpr const char* kStoppingLine = "Stopping...";
constexpr const char* kUninstallLine = "Uninstall...";

bool IsExecutable(const std::string& path)
{
    return access(path.c_str(), X_OK) == 0;
}

std::string DirectoryOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
}

// Starts a program with this process's environment; -1 when it cannot be started.
pid_t Spawn(std::vector<std::string> words)
{
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    return posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) == 0 ? child : -1;
}

// Runs a command and waits for it; true when it exits with 0.
bool RunAndWait(std::vector<std::string> words)
{
    if (words.empty()) {
        return true;
    }
    const pid_t child = Spawn(std::move(words));
    if (child < 0) {
        return false;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class SystemdServiceHandle final : public platform::ServiceHandle
{
public:
    SystemdServiceHandle(std::unique_ptr<platform::ServiceHandle> query, const service::UnitInstallation& installation)
        : m_query(std::move(query)), m_installation(installation)
    {
    }

    std::optional<ServiceState> QueryStatus() override { return m_query->QueryStatus(); }
    bool Control(uint32_t code, uint32_t& error) override { return m_query->Control(code, error); }
    bool ControlForImage(uint32_t code, uint32_t& error, std::optional<std::vector<uint8_t>>& image) override
    {
        return m_query->ControlForImage(code, error, image);
    }
    // --no-block: the callers wait by their own clock, and the window must keep painting.
    bool Start() override { return Systemctl("start"); }
    bool Stop() override { return Systemctl("stop"); }
    bool Delete() override
    {
        std::string error;
        return service::UninstallDiskService(m_installation, error);
    }

private:
    bool Systemctl(const char* verb)
    {
        if (m_installation.systemctl.empty()) {
            return false;
        }
        std::vector<std::string> words = m_installation.systemctl;
        words.insert(words.end(), {"--no-block", verb, kDiskServiceUnitName});
        return RunAndWait(std::move(words));
    }

    std::unique_ptr<platform::ServiceHandle> m_query;
    const service::UnitInstallation& m_installation;
};

class SystemdConnection final : public platform::ServiceManagerConnection
{
public:
    SystemdConnection(std::unique_ptr<platform::ServiceManagerConnection> query,
                      const service::UnitInstallation& installation)
        : m_query(std::move(query)), m_installation(installation)
    {
    }

    std::unique_ptr<platform::ServiceHandle> OpenService(const std::string& name) override
    {
        auto handle = m_query->OpenService(name);
        if (!handle) {
            return nullptr;
        }
        return std::make_unique<SystemdServiceHandle>(std::move(handle), m_installation);
    }

private:
    std::unique_ptr<platform::ServiceManagerConnection> m_query;
    const service::UnitInstallation& m_installation;
};

} // namespace

bool EffectiveUserRights::IsAdministrator() const
{
    return geteuid() == 0;
}

ChildServiceProgram::ChildServiceProgram(std::string programPath) : m_programPath(std::move(programPath)) {}

ChildServiceProgram::~ChildServiceProgram()
{
    CollectFinished();
}

bool ChildServiceProgram::Run(const std::vector<std::string>& arguments)
{
    CollectFinished();
    std::vector<std::string> words = {m_programPath};
    words.insert(words.end(), arguments.begin(), arguments.end());
    const pid_t child = Spawn(std::move(words));
    if (child < 0) {
        return false;
    }
    m_children.push_back(child);
    return true;
}

void ChildServiceProgram::CollectFinished()
{
    std::erase_if(m_children, [](pid_t child) {
        int status = 0;
        const pid_t result = waitpid(child, &status, WNOHANG);
        return result == child || (result < 0 && errno == ECHILD);
    });
}

std::string ServiceProgramPath(const std::string& executablePath)
{
    const std::string directory = DirectoryOf(executablePath);
    for (const std::string& candidate :
         {directory + "/calventasvc", directory + "/../sbin/calventasvc", directory + "/../service/calventasvc"}) {
        if (IsExecutable(candidate)) {
            return candidate;
        }
    }
    return "calventasvc";
}

SystemdServiceManager::SystemdServiceManager(platform::ServiceManager& queries, service::UnitInstallation installation,
                                             const ProcessRights& rights)
    : m_queries(queries), m_installation(std::move(installation)), m_rights(rights)
{
}

std::unique_ptr<platform::ServiceManagerConnection> SystemdServiceManager::Connect()
{
    auto query = m_queries.Connect();
    if (!query) {
        return nullptr;
    }
    return std::make_unique<SystemdConnection>(std::move(query), m_installation);
}

std::unique_ptr<platform::ServiceManagerConnection> SystemdServiceManager::ConnectForChanges()
{
    return m_rights.IsAdministrator() ? Connect() : nullptr;
}

service::UnitInstallation SystemdServiceManager::InstallationFromEnvironment()
{
    service::UnitInstallation installation;
    installation.unitDirectory = platform::linux_backend::LinuxDiskPaths::FromEnvironment().unitDirectory;
    const auto systemctl =
        platform::linux_backend::SteeringVariable("CALVENTA_SYSTEMCTL", platform::linux_backend::SteeredPath::Program);
    if (!systemctl) {
        installation.systemctl = {"systemctl"};
    } else if (!systemctl->empty()) {
        installation.systemctl = {*systemctl};
    }
    return installation;
}

int InstallCommand(const platform::Platform& machine, const ProcessRights& rights)
{
    const std::string directory = core::ReadProgramPath(machine.store, machine.facts);
    // As at start-up: root touches nothing in a directory another user could change.
    std::string why;
    if (const auto opened = machine.files.OpenProgramDirectory(directory, why)) {
        opened->RemoveFile(core::kSettingsFileName);
    }
    return rights.IsAdministrator() ? 0 : 1;
}

std::optional<int> RunInstallationWord(CommandWord word, const platform::Platform& machine,
                                       platform::ServiceManager& services)
{
    const EffectiveUserRights rights;
    if (word == CommandWord::Install) {
        return InstallCommand(machine, rights);
    }
    if (word == CommandWord::Uninstall) {
        SystemdServiceManager systemd(services, SystemdServiceManager::InstallationFromEnvironment(), rights);
        return UninstallCommand(machine, systemd);
    }
    return std::nullopt;
}

std::optional<ServiceMenuState> UpdateServiceMenu(platform::ServiceManager& services, platform::PlatformFamily family)
{
    if (family != platform::PlatformFamily::NtFamily) {
        return std::nullopt;
    }
    ServiceMenuState menu{true, true};
    auto manager = services.ConnectForChanges();
    if (!manager) {
        return ServiceMenuState{false, false};
    }
    auto service = manager->OpenService(kDiskServiceName);
    manager.reset();
    if (!service) {
        menu.UninstallEnabled = false;
        return menu;
    }
    const std::optional<ServiceState> state = service->QueryStatus();
    if (!state) {
        menu.UninstallEnabled = false;
    } else if (*state == ServiceState::Running) {
        menu.InstallEnabled = false;
    }
    return menu;
}

ServiceProgress::ServiceProgress(platform::ServiceManager& services, ServiceProgramRunner& program)
    : m_services(services), m_program(program)
{
}

void ServiceProgress::Begin(Task task)
{
    m_task = task;
    m_lines = {kConnectLine};
    m_stage = Stage::Connect;
    m_succeeded = false;
}

std::optional<int> ServiceProgress::Step()
{
    switch (m_stage) {
    case Stage::Done:
        return std::nullopt;
    case Stage::Connect:
        return ConnectStep();
    case Stage::InstallLoaded:
        return InstallLoadedStep();
    case Stage::InstallStarted:
        Replace(m_startingLine, "Starting...OK");
        return Succeed("Service has been installed!");
    case Stage::UninstallStopped:
        Replace(kStoppingLine, "Stopping...OK");
        return UninstallStep();
    case Stage::UninstallRemoved:
        Replace(kUninstallLine, "Uninstall...OK");
        return Succeed("Service has been uninstalled!");
    }
    return std::nullopt;
}

std::optional<int> ServiceProgress::ConnectStep()
{
    const char* error = m_task == Task::Install ? "Service install error!" : "Service uninstall error!";
    auto manager = m_services.Connect();
    if (!manager) {
        m_lines.push_back("Connect failed!");
        return Fail(error);
    }
    auto service = manager->OpenService(kDiskServiceName);
    manager.reset();
    if (m_task == Task::Uninstall && !service) {
        return Fail(error); // the first line keeps its dots
    }
    Replace(kConnectLine, "Connect to manager...OK");
    if (!service) {
        m_lines.push_back(kLoadingLine);
        m_program.Run({"--install", "--silent"});
        return WaitThen(Stage::InstallLoaded);
    }
    const std::optional<ServiceState> state = service->QueryStatus();
    if (!state) {
        return Fail(error);
    }
    const bool running = *state == ServiceState::Running;
    if (m_task == Task::Install) {
        if (running) {
            return Succeed(nullptr);
        }
        m_startingLine = kStartingAgainLine;
        m_lines.push_back(m_startingLine);
        service->Start();
        return WaitThen(Stage::InstallStarted);
    }
    if (running) {
        m_lines.push_back(kStoppingLine);
        service->Stop();
        return WaitThen(Stage::UninstallStopped);
    }
    return UninstallStep();
}

std::optional<int> ServiceProgress::InstallLoadedStep()
{
    auto manager = m_services.Connect();
    auto service = manager ? manager->OpenService(kDiskServiceName) : nullptr;
    manager.reset();
    if (!service) {
        return Fail("Service install error!");
    }
    Replace(kLoadingLine, "Loading...OK");
    m_startingLine = kStartingLine;
    m_lines.push_back(m_startingLine);
    service->Start();
    return WaitThen(Stage::InstallStarted);
}

std::optional<int> ServiceProgress::UninstallStep()
{
    m_lines.push_back(kUninstallLine);
    m_program.Run({"--uninstall", "--silent"});
    return WaitThen(Stage::UninstallRemoved);
}

std::optional<int> ServiceProgress::Fail(const char* line)
{
    m_lines.push_back(line);
    m_stage = Stage::Done;
    m_succeeded = false;
    return std::nullopt;
}

std::optional<int> ServiceProgress::Succeed(const char* line)
{
    if (line != nullptr) {
        m_lines.push_back(line);
    }
    m_stage = Stage::Done;
    m_succeeded = true;
    return std::nullopt;
}

std::optional<int> ServiceProgress::WaitThen(Stage next)
{
    m_stage = next;
    return kProgressWaitMs;
}

// The line of a step gets its "OK" in place; the step's own line, wherever later lines put it.
void ServiceProgress::Replace(const std::string& dots, const std::string& done)
{
    for (std::string& line : m_lines) {
        if (line == dots) {
            line = done;
            return;
        }
    }
}

} // namespace calventa::app
