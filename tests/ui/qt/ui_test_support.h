#pragma once

#include <QCoreApplication>
#include <QUrl>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/fakes.h"
#include "core/settings_block.h"
#include "desktop/qt/desktop_app.h"
#include "platform/sim/board_file.h"
#include "platform/sim/sim_machine.h"

namespace calventa::uitest {

inline constexpr const char* kProgramDir = "/sim";

// A W83627HF with Cpu 43 °C, Sys 31 °C, three fans and no disks.
inline constexpr const char* kChipBoard = R"({"isa": {"model": "W83627HF",
    "registers": {"0x20": 94, "0x22": 206, "0x27": 35, "0x28": 160, "0x29": 225, "0x2A": 200},
    "banks": {"1": {"0x50": 43}, "2": {"0x50": 31}}}})";
inline constexpr const char* kEmptyBoard = "{}";

// Keeps the alarm notices the desktop program hands on, instead of telling the desktop the
// tests run on.
struct RecordingNotifier final : app::AlarmNotifier
{
    explicit RecordingNotifier(std::vector<core::AlarmNotice>& calls) : Calls(calls) {}
    void Notify(const core::AlarmNotice& notice) override { Calls.push_back(notice); }
    std::vector<core::AlarmNotice>& Calls;
};

// A desktop program on a simulated board with in-memory files; settings.dat holds the
// given block, or is missing.
class DesktopFixture
{
public:
    explicit DesktopFixture(const char* boardJson, std::optional<core::SettingsBlock> settings = std::nullopt,
                            app::CommandWord word = app::CommandWord::None)
    {
        std::string error;
        auto board = sim::ParseBoard(boardJson, error);
        sim = std::make_unique<sim::SimMachine>(*board);
        machine = std::make_unique<platform::Platform>(platform::Platform{*sim, *sim, *sim, store, files, *sim, *sim});
        if (settings) {
            const core::SettingsImage image = core::EncodeSettings(*settings);
            files.Files[SettingsPath()] = std::vector<uint8_t>(image.begin(), image.end());
        }
        app = std::make_unique<app::DesktopApp>(*machine, word, std::string(kProgramDir),
                                                [this](const QUrl& url) { openedLinks.push_back(url); });
        app->SetAlarmNotifier(std::make_unique<RecordingNotifier>(alarmNotices));
    }
    ~DesktopFixture()
    {
        app->CloseMainWindow();
        app.reset();
        QCoreApplication::processEvents();
    }

    std::string SettingsPath() const { return sim->JoinPath(kProgramDir, core::kSettingsFileName); }

    // The defaults the program would write for a screen, to edit in tests.
    static core::SettingsBlock Defaults(platform::ScreenSize screen = {800, 600})
    {
        core::SettingsBlock block;
        core::SetDefaultSettings(block, screen, core::kDefaultMainWindowWidth);
        return block;
    }
    // The block after a first start on the board: defaults with the chip search's slot
    // assignments, as a settings.dat saved by the program would hold it.
    static core::SettingsBlock AfterFirstStart(const char* boardJson)
    {
        DesktopFixture first(boardJson);
        first.app->Start();
        return first.app->GetMonitor().State().Settings;
    }

    core::fake::FakeProgramStore store;
    core::fake::FakeFileSystem files;
    std::unique_ptr<sim::SimMachine> sim;
    std::unique_ptr<platform::Platform> machine;
    std::vector<QUrl> openedLinks;
    std::vector<core::AlarmNotice> alarmNotices;
    std::unique_ptr<app::DesktopApp> app;
};

} // namespace calventa::uitest
