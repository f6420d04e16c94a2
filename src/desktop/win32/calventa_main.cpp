// calventa.exe: the desktop program on Windows. The first command-line word picks the mode;
// the monitor then runs from its main window's timers until that window closes.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/machine_host.h"
#include "app/port_driver_install.h"
#include "desktop/win32/console_events.h"
#include "desktop/win32/desktop_app.h"
#include "desktop/win32/windows_service_program.h"
#include "platform/windows/win_text.h"
#ifdef CALVENTA_WINDOWS_BACKEND_DRIVERS
#include "platform/windows/windows_service_manager.h"
#endif

namespace {

using namespace calventa;

constexpr const char* kHelp = "usage: calventa [test | fancontrol | debug | install | uninstall]\r\n"
                              "\r\n"
                              "Shows the motherboard's temperatures, fan speeds and voltages and the disks'\r\n"
                              "temperatures in a small window and in the tray, and raises an alarm when a value\r\n"
                              "leaves its limits. Only the first word counts:\r\n"
                              "\r\n"
                              "  test         show every sensor row, even where no chip was found\r\n"
                              "  fancontrol   offer fan speed control on the options' fan pages\r\n"
                              "  debug        write the start-up log debug.txt into the program directory\r\n"
                              "  install      (administrator) install the port driver; settings.dat is deleted\r\n"
                              "  uninstall    (administrator) remove the disk service and the port driver\r\n"
                              "  --help       this text\r\n"
                              "  --version    the program's name and version\r\n"
                              "\r\n"
                              "CALVENTA_BOARD=FILE runs on a simulated board instead of the machine.\r\n";

// A GUI program has no console of its own: text goes to the standard handle it was given
// (a redirection, or Wine's terminal), else to the console it was started from, else into a
// message box.
bool WriteTo(DWORD which, const std::string& text)
{
    const HANDLE out = GetStdHandle(which);
    DWORD written = 0;
    return out != nullptr && out != INVALID_HANDLE_VALUE &&
           WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) != FALSE;
}

void Tell(const std::string& text, bool error)
{
    const DWORD which = error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE;
    if (WriteTo(which, text) || (AttachConsole(ATTACH_PARENT_PROCESS) && WriteTo(which, text))) {
        return;
    }
    MessageBoxW(nullptr, platform::windows_backend::WideFromUtf8(text).c_str(), L"Calventa",
                MB_OK | (error ? MB_ICONERROR : MB_ICONINFORMATION));
}

// The board's simulated machine has no system to install drivers into.
class NoDriverServices final : public platform::DriverServices
{
public:
    std::string SystemDirectory() override { return {}; }
    bool CopyNewFile(const std::string&, const std::string&) override { return false; }
    bool CreateDriverService(const std::string&, const std::string&) override { return false; }
};

int RunInstallationWord(app::CommandWord word, app::MachineHost& host)
{
    platform::ServiceManager& services = host.Disks().services;
    if (word == app::CommandWord::Install) {
#ifdef CALVENTA_WINDOWS_BACKEND_DRIVERS
        if (host.Sim() == nullptr) {
            platform::windows_backend::WindowsDriverServices drivers;
            return app::InstallPortDriver(host.Get(), services, drivers);
        }
#endif
        NoDriverServices drivers;
        return app::InstallPortDriver(host.Get(), services, drivers);
    }
    std::string why;
    const int status = app::UninstallCommand(host.Get(), services, why);
    if (status != 0 && !why.empty()) {
        Tell("calventa: " + why + "\r\n", true);
    }
    return status;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int argc = 0;
    LPWSTR* wideArgv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::string> words;
    for (int i = 0; i < argc && wideArgv != nullptr; ++i) {
        words.push_back(platform::windows_backend::Utf8FromWide(wideArgv[i]));
    }
    LocalFree(wideArgv);
    std::vector<const char*> argv;
    for (const std::string& word : words) {
        argv.push_back(word.c_str());
    }
    argv.push_back(nullptr);

    if (words.size() >= 2 && words[1] == "--help") {
        Tell(kHelp, false);
        return 0;
    }
    if (words.size() >= 2 && words[1] == "--version") {
        Tell(std::string("calventa ") + CALVENTA_VERSION + "\r\n", false);
        return 0;
    }
    if (words.size() >= 2 && words[1].starts_with("-")) {
        Tell("calventa: unknown option " + words[1] + " (see calventa --help)\r\n", true);
        return 2;
    }
    const app::CommandWord word = app::FirstCommandWord(static_cast<int>(words.size()), argv.data());

    std::string error;
    std::unique_ptr<app::MachineHost> host = app::MachineHost::FromEnvironment(error);
    if (!host) {
        Tell("calventa: " + error + "\r\n", true);
        return 2;
    }
    // "install" and "uninstall" end here, before any window exists.
    if (word == app::CommandWord::Install || word == app::CommandWord::Uninstall) {
        return RunInstallationWord(word, *host);
    }

    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    // The window's timers are real: a simulated board's clock keeps up with them.
    host->FollowRealTime();

    app::win32::WindowsServiceProgram serviceProgram(
        app::win32::ServiceProgramBeside(host->Get().facts.ExecutablePath()));
    app::win32::DesktopApp program(host->Get(), word);
    program.AttachDisks(host->Disks(), &serviceProgram);
    app::win32::ConsoleEvents consoleEvents(program.TimerWindow(), app::win32::DesktopApp::kTerminateMessage);
    program.SetFinished([&consoleEvents] {
        consoleEvents.Closed();
        PostQuitMessage(0);
    });
    program.Start();

    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
