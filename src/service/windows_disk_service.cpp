#include "service/windows_disk_service.h"

#include "platform/windows/win_api.h"

#include <set>

#include "platform/disk_service.h"
#include "platform/windows/win_text.h"

namespace calventa::service {

namespace {

using platform::windows_backend::SystemErrorText;
using platform::windows_backend::WideFromUtf8;

constexpr DWORD kStopWaitMs = 10000;
constexpr DWORD kStopPollMs = 100;

// What the dispatcher's callbacks need. The system calls ServiceMain without a context, so
// the one running service is found through this pointer, set once before the dispatcher
// starts and never changed while it runs.
struct RunningService
{
    DiskServiceControls* controls = nullptr;
    SERVICE_STATUS_HANDLE statusHandle = nullptr;
    HANDLE stopEvent = nullptr;
    SERVICE_STATUS status = {};
    std::mutex statusMutex;
};
RunningService* g_running = nullptr;

void ReportStatus(RunningService& running, DWORD state, DWORD exitCode = NO_ERROR)
{
    std::lock_guard<std::mutex> lock(running.statusMutex);
    running.status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    running.status.dwCurrentState = state;
    running.status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    running.status.dwWin32ExitCode = exitCode;
    running.status.dwWaitHint = state == SERVICE_RUNNING || state == SERVICE_STOPPED ? 0 : 3000;
    running.status.dwCheckPoint = state == SERVICE_RUNNING || state == SERVICE_STOPPED ? 0 : 1;
    SetServiceStatus(running.statusHandle, &running.status);
}

DWORD WINAPI HandleControl(DWORD control, DWORD /*eventType*/, void* /*eventData*/, void* context)
{
    auto& running = *static_cast<RunningService*>(context);
    const DiskServiceControls::Reaction reaction = running.controls->Handle(control);
    if (reaction.action == DiskServiceControls::Action::Stop) {
        ReportStatus(running, SERVICE_STOP_PENDING);
        SetEvent(running.stopEvent);
    } else if (control == SERVICE_CONTROL_INTERROGATE) {
        ReportStatus(running, running.status.dwCurrentState);
    }
    return reaction.result;
}

void WINAPI ServiceMain(DWORD /*argc*/, wchar_t** /*argv*/)
{
    RunningService& running = *g_running;
    running.statusHandle = RegisterServiceCtrlHandlerExW(L"calventasvc", HandleControl, &running);
    if (running.statusHandle == nullptr) {
        return;
    }
    ReportStatus(running, SERVICE_RUNNING);
    WaitForSingleObject(running.stopEvent, INFINITE);
    ReportStatus(running, SERVICE_STOPPED);
}

class ScHandle
{
public:
    explicit ScHandle(SC_HANDLE handle) : m_handle(handle) {}
    ~ScHandle()
    {
        if (m_handle != nullptr) {
            CloseServiceHandle(m_handle);
        }
    }
    ScHandle(const ScHandle&) = delete;
    ScHandle& operator=(const ScHandle&) = delete;
    SC_HANDLE Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

private:
    SC_HANDLE m_handle;
};

} // namespace

std::optional<ServiceArguments> ParseServiceArguments(const std::vector<std::string>& words, std::string& error)
{
    ServiceArguments arguments;
    std::set<std::string> seen;
    for (size_t i = 0; i < words.size(); ++i) {
        std::string word = words[i];
        // The Windows way and the Linux way of the same switches.
        if (word.size() > 1 && word[0] == '/') {
            word = "--" + word.substr(1);
        }
        if (!seen.insert(word).second) {
            error = words[i] + " given more than once";
            return std::nullopt;
        }
        if (word == "--install") {
            arguments.install = true;
        } else if (word == "--uninstall") {
            arguments.uninstall = true;
        } else if (word == "--silent") {
            arguments.silent = true;
        } else if (word == "--help" || word == "--?") {
            arguments.help = true;
        } else if (word == "--version") {
            arguments.version = true;
        } else if ((word == "--board" || word == "--key") && i + 1 < words.size() && !words[i + 1].empty()) {
            (word == "--board" ? arguments.board : arguments.registryKey) = words[++i];
        } else {
            error = "unknown or incomplete argument: " + words[i];
            return std::nullopt;
        }
    }
    if (arguments.install && arguments.uninstall) {
        error = "/install and /uninstall exclude each other";
        return std::nullopt;
    }
    return arguments;
}

std::vector<std::string> ServiceImageArguments(const ServiceArguments& arguments)
{
    std::vector<std::string> words;
    if (!arguments.board.empty()) {
        words.insert(words.end(), {"--board", arguments.board});
    }
    if (!arguments.registryKey.empty()) {
        words.insert(words.end(), {"--key", arguments.registryKey});
    }
    return words;
}

std::string ServiceCommandLine(const std::string& executable, const std::vector<std::string>& arguments)
{
    std::string line = "\"" + executable + "\"";
    for (const std::string& argument : arguments) {
        const bool quote = argument.find_first_of(" \t") != std::string::npos;
        line += quote ? " \"" + argument + "\"" : " " + argument;
    }
    return line;
}

DiskServiceControls::Reaction DiskServiceControls::Handle(uint32_t control)
{
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        return {kNoError, Action::Stop};
    case SERVICE_CONTROL_INTERROGATE:
        return {kNoError, Action::None};
    case platform::kDiskScanControl:
    case platform::kDiskTemperatureControl: {
        std::lock_guard<std::mutex> lock(m_mutex);
        const ControlAnswer answer = m_work.HandleControl(control);
        for (const std::string& note : m_work.TakeNotes()) {
            OutputDebugStringW(WideFromUtf8("calventasvc: " + note + "\n").c_str());
        }
        return {answer.status, Action::None};
    }
    default:
        return {kErrorCallNotImplemented, Action::None};
    }
}

bool InstallWindowsService(const std::string& executable, const std::vector<std::string>& arguments, std::string& error)
{
    ScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
    if (!manager) {
        error = "cannot open the service control manager: " + SystemErrorText(GetLastError());
        return false;
    }
    const std::wstring name = WideFromUtf8(platform::kDiskServiceName);
    const std::wstring display = WideFromUtf8(kServiceDisplayName);
    const std::wstring commandLine = WideFromUtf8(ServiceCommandLine(executable, arguments));
    ScHandle service(CreateServiceW(manager.Get(), name.c_str(), display.c_str(), SERVICE_ALL_ACCESS,
                                    SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                    commandLine.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    if (!service) {
        const DWORD why = GetLastError();
        if (why == ERROR_SERVICE_EXISTS) {
            return true; // installed already: left as it is
        }
        error = "cannot create the service: " + SystemErrorText(why);
        return false;
    }
    std::wstring description = WideFromUtf8(kServiceDescription);
    SERVICE_DESCRIPTIONW text = {description.data()};
    ChangeServiceConfig2W(service.Get(), SERVICE_CONFIG_DESCRIPTION, &text);
    return true;
}

bool UninstallWindowsService(std::string& error)
{
    ScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        error = "cannot open the service control manager: " + SystemErrorText(GetLastError());
        return false;
    }
    const std::wstring name = WideFromUtf8(platform::kDiskServiceName);
    ScHandle service(OpenServiceW(manager.Get(), name.c_str(), SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
    if (!service) {
        const DWORD why = GetLastError();
        if (why == ERROR_SERVICE_DOES_NOT_EXIST) {
            return true; // nothing to remove
        }
        error = "cannot open the service: " + SystemErrorText(why);
        return false;
    }
    SERVICE_STATUS status = {};
    if (ControlService(service.Get(), SERVICE_CONTROL_STOP, &status)) {
        for (DWORD waited = 0; waited < kStopWaitMs && status.dwCurrentState != SERVICE_STOPPED;
             waited += kStopPollMs) {
            Sleep(kStopPollMs);
            if (!QueryServiceStatus(service.Get(), &status)) {
                break;
            }
        }
    }
    if (!DeleteService(service.Get()) && GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE) {
        error = "cannot delete the service: " + SystemErrorText(GetLastError());
        return false;
    }
    return true;
}

std::optional<int> RunWindowsService(DiskServiceWork& work)
{
    DiskServiceControls controls(work);
    RunningService running;
    running.controls = &controls;
    running.stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (running.stopEvent == nullptr) {
        return 1;
    }
    g_running = &running;
    wchar_t name[] = L"calventasvc";
    SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    const BOOL dispatched = StartServiceCtrlDispatcherW(table);
    const DWORD why = dispatched ? 0 : GetLastError();
    g_running = nullptr;
    CloseHandle(running.stopEvent);
    if (!dispatched) {
        if (why == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) {
            return std::nullopt;
        }
        return 1;
    }
    return 0;
}

} // namespace calventa::service
