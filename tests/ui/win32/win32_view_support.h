#pragma once

// The Win32 views on the demo board: a monitor on the simulated machine with the program
// store and files in memory, the options controller over it, and helpers that act on controls
// the way a user's clicks do.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/monitor.h"
#include "app/options_controller.h"
#include "core/fakes.h"
#include "core/settings_block.h"
#include "platform/sim/board_file.h"
#include "platform/sim/sim_machine.h"
#include "ui/win32/view_support.h"

namespace calventa::win32test {

inline constexpr const char* kProgramDir = "/sim";

// Wine draws and delivers window messages only with an X display.
#define CALVENTA_NEED_DISPLAY()                                                                                        \
    do {                                                                                                               \
        if (std::getenv("DISPLAY") == nullptr) {                                                                       \
            GTEST_SKIP() << "no X display for Wine's windows (the Windows stage starts Xvfb)";                         \
        }                                                                                                              \
    } while (false)

inline std::string DemoBoardPath()
{
    std::string path = std::string(CALVENTA_SOURCE_DIR) + "/boards/demo.json";
    return path[0] == '/' ? "Z:" + path : path; // Wine maps the build machine's root to drive Z:
}

// Records what the options dialog asks of the other windows.
class RecordingHost : public core::OptionsHost
{
public:
    void SetMainWindowOpacity(int opacity) override { Opacity.push_back(opacity); }
    void ShowFanWarning() override { ++FanWarnings; }
    void ShowMessage(const std::string& text) override { Messages.push_back(text); }
    void SetTimerIntervals(int, int) override {}
    void HideMainWindow() override {}
    void RestoreMainWindowParent() override {}
    void SetMainWindowStaysOnTop(bool) override {}
    void ReapplyMainWindowFrame() override {}
    void PutMainWindowOnDesktop() override {}
    void ShowMainWindowUnlessMinimized() override {}
    void HideOptionsDialog() override { ++DialogHides; }

    std::vector<int> Opacity;
    std::vector<std::string> Messages;
    int FanWarnings = 0;
    int DialogHides = 0;
};

class DemoMonitor
{
public:
    // settings.dat holds `settings` when given, else nothing (first start).
    explicit DemoMonitor(std::optional<std::vector<uint8_t>> settings = std::nullopt)
    {
        std::string error;
        auto board = sim::LoadBoardFile(DemoBoardPath(), error);
        EXPECT_TRUE(board) << error;
        sim = std::make_unique<sim::SimMachine>(board.value_or(sim::BoardDescription{}));
        machine = std::make_unique<platform::Platform>(platform::Platform{*sim, *sim, *sim, store, files, *sim, *sim});
        if (settings) {
            files.Files[SettingsPath()] = *settings;
        }
        monitor = std::make_unique<app::Monitor>(*machine);
        monitor->StartUp(std::string(kProgramDir));
        monitor->AlarmWindowCreated();
        monitor->UpdatePass();
        options = std::make_unique<app::OptionsController>(*monitor, host);
        options->CreateDialog();
    }

    std::string SettingsPath() const { return sim->JoinPath(kProgramDir, core::kSettingsFileName); }
    std::optional<core::SettingsBlock> Saved()
    {
        const auto file = files.Files.find(SettingsPath());
        if (file == files.Files.end()) {
            return std::nullopt;
        }
        core::SettingsBlock block;
        core::DecodeSettings(file->second, block);
        return block;
    }

    core::fake::FakeProgramStore store;
    core::fake::FakeFileSystem files;
    std::unique_ptr<sim::SimMachine> sim;
    std::unique_ptr<platform::Platform> machine;
    std::unique_ptr<app::Monitor> monitor;
    RecordingHost host;
    std::unique_ptr<app::OptionsController> options;
};

// Runs the window messages waiting for this thread.
inline void Pump()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

inline std::string Text(HWND window)
{
    return ui::win32::view::WindowTextUtf8(window);
}

inline bool Shown(HWND window)
{
    return window != nullptr && IsWindowVisible(window) != FALSE;
}

// A press of the mouse on a control, as the user's click.
inline void Click(HWND control)
{
    SendMessageW(control, BM_CLICK, 0, 0);
}

// A press on the upper or lower half of an up/down control.
inline void Spin(HWND updown, bool up)
{
    RECT area;
    GetClientRect(updown, &area);
    const LPARAM at = MAKELPARAM(area.right / 2, up ? area.bottom / 4 : area.bottom * 3 / 4);
    SendMessageW(updown, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(updown, WM_LBUTTONUP, 0, at);
}

// A choice in a drop-down list, as the user's pick: the selection, then its notice.
inline void Choose(HWND list, int entry)
{
    SendMessageW(list, CB_SETCURSEL, entry, 0);
    SendMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
}

inline std::vector<std::string> ListEntries(HWND list)
{
    std::vector<std::string> entries;
    const auto count = static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const auto length = static_cast<int>(SendMessageW(list, CB_GETLBTEXTLEN, i, 0));
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<size_t>(length));
        entries.push_back(ui::win32::view::Utf8(text));
    }
    return entries;
}

inline int Selected(HWND list)
{
    return static_cast<int>(SendMessageW(list, CB_GETCURSEL, 0, 0));
}

inline bool Checked(HWND button)
{
    return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

} // namespace calventa::win32test
