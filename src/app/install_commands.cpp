#include "app/install_commands.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>

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


bool IsExecutable(const std::string& path)
{
    return access(path.c_str(), X_OK) == 0;
}

std::string DirectoryOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
}

// Starts a program with this process's environment, its standard error on `errorFile` when
// that is not -1; -1 when it cannot be started (errno then says why).
pid_t Spawn(std::vector<std::string> words, int errorFile = -1)
{
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (errorFile >= 0) {
        posix_spawn_file_actions_adddup2(&actions, errorFile, STDERR_FILENO);
    }
    pid_t child = 0;
    const int result = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0) {
        errno = result;
        return -1;
    }
    return child;
}

// The last non-empty line of what a child wrote to its error file (at most its last 4 KiB).
std::string LastLineOf(int file)
{
    const off_t size = lseek(file, 0, SEEK_END);
    if (size <= 0) {
        return {};
    }
    const off_t start = size > 4096 ? size - 4096 : 0;
    std::string text(static_cast<size_t>(size - start), '\0');
    const ssize_t got = pread(file, text.data(), text.size(), start);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    const size_t newline = text.rfind('\n');
    return newline == std::string::npos ? text : text.substr(newline + 1);
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
    CollectFailure();
    for (const Child& child : m_children) {
        if (child.errorFile >= 0) {
            close(child.errorFile); // still running: it ends on its own, init collects it
        }
    }
}

bool ChildServiceProgram::Run(const std::vector<std::string>& arguments)
{
    CollectFailure();
    std::vector<std::string> words = {m_programPath};
    words.insert(words.end(), arguments.begin(), arguments.end());
    const int errorFile = open("/tmp", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    const pid_t child = Spawn(std::move(words), errorFile);
    if (child < 0) {
        const int spawnError = errno;
        if (errorFile >= 0) {
            close(errorFile);
        }
        m_startFailure = m_programPath + " could not be started: " + std::strerror(spawnError);
        return false;
    }
    m_children.push_back({child, errorFile});
    return true;
}

std::string ChildServiceProgram::CollectFailure()
{
    std::string failure = std::move(m_startFailure);
    m_startFailure.clear();
    std::erase_if(m_children, [&](const Child& child) {
        int status = 0;
        const pid_t result = waitpid(child.pid, &status, WNOHANG);
        if (result == 0 || (result < 0 && errno != ECHILD)) {
            return false; // still running
        }
        // Kept for the terminal too, as it went there before.
        const std::string lastLine = child.errorFile >= 0 ? LastLineOf(child.errorFile) : std::string();
        if (!lastLine.empty()) {
            std::cerr << lastLine << "\n";
        }
        if (result == child.pid && !(WIFEXITED(status) && WEXITSTATUS(status) == 0)) {
            failure = !lastLine.empty() ? lastLine
                      : WIFEXITED(status)
                          ? m_programPath + " ended with status " + std::to_string(WEXITSTATUS(status))
                          : m_programPath + " was ended by signal " + std::to_string(WTERMSIG(status));
        }
        if (child.errorFile >= 0) {
            close(child.errorFile);
        }
        return true;
    });
    return failure;
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

int InstallCommand(const platform::Platform& machine, const ProcessRights& rights, std::string& why)
{
    const std::string directory = core::ReadProgramPath(machine.store, machine.facts);
    // As at start-up: root touches nothing in a directory another user could change.
    std::string refusal;
    if (const auto opened = machine.files.OpenProgramDirectory(directory, refusal)) {
        opened->RemoveFile(core::kSettingsFileName);
    }
    if (!rights.IsAdministrator()) {
        why = "install needs root: only settings.dat was reset, nothing else was done (run it as root, e.g. with sudo)";
        return 1;
    }
    return 0;
}

std::optional<int> RunInstallationWord(CommandWord word, const platform::Platform& machine,
                                       platform::ServiceManager& services)
{
    const EffectiveUserRights rights;
    std::string why;
    int status = 0;
    if (word == CommandWord::Install) {
        status = InstallCommand(machine, rights, why);
    } else if (word == CommandWord::Uninstall) {
        SystemdServiceManager systemd(services, SystemdServiceManager::InstallationFromEnvironment(), rights);
        status = UninstallCommand(machine, systemd, why);
    } else {
        return std::nullopt;
    }
    if (status != 0 && !why.empty()) {
        std::cerr << "calventa: " << why << "\n";
    }
    return status;
}

} // namespace calventa::app
