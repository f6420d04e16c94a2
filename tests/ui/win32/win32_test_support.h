#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/fakes.h"
#include "core/settings_block.h"
#include "desktop/win32/desktop_app.h"
#include "app/fake_services.h"
#include "platform/sim/sim_disks.h"
#include "platform/sim/sim_machine.h"
#include "ui/win32/win32_support.h"

namespace calventa::win32test {

inline const std::string kBoards = CALVENTA_SOURCE_DIR "/boards/";
inline constexpr const char* kProgramDir = "/sim";

// Runs the message loop for `ms`: timers fire, posted messages arrive.
inline void Pump(int ms)
{
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(ms);
    MSG message{};
    do {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                continue; // the program's end is seen through Finished, not the loop
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (GetTickCount64() < end);
}

// Every Shell_NotifyIcon call, answered as a notification area would.
class RecordedTray final : public ui::win32::NotifyIconCalls
{
public:
    struct Call
    {
        DWORD Message = 0;
        std::wstring Tip;
        HICON Icon = nullptr;
        HWND Window = nullptr;
    };

    bool Notify(DWORD message, NOTIFYICONDATAW& data) override
    {
        Calls.push_back({message, data.szTip, data.hIcon, data.hWnd});
        if (message == NIM_ADD) {
            Present = Accept;
            return Accept;
        }
        if (message == NIM_DELETE) {
            const bool was = Present;
            Present = false;
            return was;
        }
        return Present;
    }

    int Count(DWORD message) const
    {
        int count = 0;
        for (const Call& call : Calls) {
            count += call.Message == message ? 1 : 0;
        }
        return count;
    }

    std::vector<Call> Calls;
    bool Accept = true; // false: no notification area
    bool Present = false;
};

// The desktop program on a board file of boards/, with in-memory files; settings.dat holds
// the given bytes, or is missing.
class DesktopFixture
{
public:
    explicit DesktopFixture(const std::string& board = "demo.json",
                            std::optional<std::vector<uint8_t>> settings = std::nullopt,
                            app::CommandWord word = app::CommandWord::None)
    {
        std::string error;
        sim = sim::LoadSimMachine(kBoards + board, error);
        if (!sim) {
            ADD_FAILURE() << error;
            return;
        }
        machine = std::make_unique<platform::Platform>(platform::Platform{*sim, *sim, *sim, store, files, *sim, *sim});
        if (settings) {
            files.Files[SettingsPath()] = *settings;
        }
        app::win32::DesktopChoices choices;
        choices.ProgramDirectory = kProgramDir;
        choices.TrayCalls = &tray;
        choices.Links = [this](const std::string& address) { openedLinks.push_back(address); };
        choices.ModalShown = [this](HWND window) {
            modalTexts.push_back(ui::win32::TextOf(window));
            if (answerModal) {
                answerModal(window);
            } else {
                PostMessageW(window, WM_COMMAND, IDOK, 0);
            }
        };
        choices.MessageShown = [this](const std::string&, const std::string& text) { messages.push_back(text); };
        app = std::make_unique<app::win32::DesktopApp>(*machine, word, choices);
        app->SetFinished([this] { ++finished; });
    }
    // The board's drives and a recorded service manager, before Start().
    void AttachDisks()
    {
        simDisks = std::make_unique<sim::SimDisks>(sim->Board());
        disks = std::make_unique<platform::DiskPlatform>(platform::DiskPlatform{*simDisks, services});
        app->AttachDisks(*disks, &program);
    }

    ~DesktopFixture()
    {
        app.reset();
        Pump(0);
    }

    static std::vector<uint8_t> Image(const core::SettingsBlock& block)
    {
        const core::SettingsImage image = core::EncodeSettings(block);
        return {image.begin(), image.end()};
    }
    std::string SettingsPath() const { return sim->JoinPath(kProgramDir, core::kSettingsFileName); }
    HWND Main() const { return app->MainForm().Handle(); }

    core::fake::FakeProgramStore store;
    core::fake::FakeFileSystem files;
    std::unique_ptr<sim::SimMachine> sim;
    std::unique_ptr<platform::Platform> machine;
    RecordedTray tray;
    std::vector<std::string> openedLinks;
    std::vector<std::string> modalTexts;
    std::vector<std::string> messages;
    std::function<void(HWND)> answerModal;
    int finished = 0;
    app::testing::FakeServices services;
    app::testing::FakeProgram program{services};
    std::unique_ptr<sim::SimDisks> simDisks;
    std::unique_ptr<platform::DiskPlatform> disks;
    std::unique_ptr<app::win32::DesktopApp> app;
};

} // namespace calventa::win32test
