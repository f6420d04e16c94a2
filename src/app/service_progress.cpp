#include "app/service_progress.h"

namespace calventa::app {

namespace {

using platform::kDiskServiceName;
using platform::ServiceState;

constexpr const char* kConnectLine = "Connect to manager...";
constexpr const char* kLoadingLine = "Loading...";
constexpr const char* kStartingLine = "Starting...";
constexpr const char* kStartingAgainLine = "Starting..";
constexpr const char* kStoppingLine = "Stopping...";
constexpr const char* kUninstallLine = "Uninstall...";

} // namespace

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
        if (const std::string failure = m_program.CollectFailure(); !failure.empty()) {
            return Fail("Service uninstall error!", failure);
        }
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
        m_program.Run({"--install", "--silent"}); // a failure to start is collected below
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
    const std::string failure = m_program.CollectFailure();
    auto manager = m_services.Connect();
    auto service = manager ? manager->OpenService(kDiskServiceName) : nullptr;
    manager.reset();
    if (!service) {
        return Fail("Service install error!",
                    failure.empty() ? "calventasvc --install did not register the service" : failure);
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

std::optional<int> ServiceProgress::Fail(const char* line, const std::string& reason)
{
    m_lines.push_back(line);
    if (!reason.empty()) {
        m_lines.push_back(reason);
    }
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
