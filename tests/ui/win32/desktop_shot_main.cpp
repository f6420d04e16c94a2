// The Win32 desktop program on the demo board for screenshots under Xvfb; not part of the
// suite. `desktop-shot main|alarm|about SECONDS`: the main window (and the tray icon), the
// main window with an alarm raised, or About over it; it ends by itself after SECONDS.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "core/fakes.h"
#include "desktop/win32/desktop_app.h"
#include "platform/sim/sim_machine.h"

using namespace calventa;

int main(int argc, char** argv)
{
    const std::string what = argc > 1 ? argv[1] : "main";
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 10;
    std::string error;
    auto sim = sim::LoadSimMachine(CALVENTA_SOURCE_DIR "/boards/demo.json", error);
    if (!sim) {
        return 2;
    }
    core::fake::FakeProgramStore store;
    core::fake::FakeFileSystem files;
    platform::Platform machine{*sim, *sim, *sim, store, files, *sim, *sim};
    app::win32::DesktopChoices choices;
    choices.ProgramDirectory = "/sim";
    choices.Links = [](const std::string&) {};
    app::win32::DesktopApp program(machine, app::CommandWord::None, choices);
    program.Start();
    program.ShowMainWindow();
    if (what == "alarm") {
        core::SensorSlot& cpu = program.GetMonitor().State().Settings.Slots[core::kSlotCpu];
        cpu.AlarmEnabled = 1;
        cpu.MinLimit = 0;
        cpu.MaxLimit = 40;
        program.GetMonitor().UpdatePass();
    }
    SetTimer(program.TimerWindow(), 99, static_cast<UINT>(seconds * 1000), [](HWND, UINT, UINT_PTR, DWORD) {
        PostQuitMessage(0);
    });
    if (what == "about") {
        choices.ModalShown = nullptr;
        SetTimer(nullptr, 0, static_cast<UINT>(seconds * 1000), [](HWND, UINT, UINT_PTR, DWORD) {
            if (const HWND about = FindWindowW(L"CalventaAboutForm", nullptr)) {
                PostMessageW(about, WM_COMMAND, IDOK, 0);
            }
            PostQuitMessage(0);
        });
        program.RunItem(ui::win32::TrayItem::About);
    }
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    program.RunItem(ui::win32::TrayItem::Exit);
    return 0;
}
