#include "app/options_controller.h"

#include <gtest/gtest.h>

#include "core/notice_presenter.h"
#include "core/program_store_access.h"
#include "monitor_on_board.h"

namespace calventa::app {
namespace {

using namespace core;

// Records every window step in order, with what the settings file held at that moment.
class RecordingHost : public OptionsHost
{
public:
    explicit RecordingHost(fake::FakeFileSystem& files) : m_files(files) {}
    void SetMainWindowOpacity(int opacity) override { Calls.push_back("opacity " + std::to_string(opacity)); }
    void ShowFanWarning() override { Calls.push_back("warning"); }
    void ShowMessage(const std::string& text) override { Calls.push_back("message " + text); }
    void SetTimerIntervals(int sensorMs, int diskMs) override
    {
        Calls.push_back("timers " + std::to_string(sensorMs) + " " + std::to_string(diskMs));
        SavedAtTimers = m_files.Files.contains("/sim/settings.dat");
    }
    void HideMainWindow() override { Calls.push_back("hide main"); }
    void RestoreMainWindowParent() override { Calls.push_back("parent"); }
    void SetMainWindowStaysOnTop(bool onTop) override { Calls.push_back(onTop ? "on top" : "normal"); }
    void ReapplyMainWindowFrame() override { Calls.push_back("frame"); }
    void PutMainWindowOnDesktop() override { Calls.push_back("desktop"); }
    void ShowMainWindowUnlessMinimized() override { Calls.push_back("show main"); }
    void HideOptionsDialog() override { Calls.push_back("hide dialog"); }

    std::vector<std::string> Calls;
    bool SavedAtTimers = false;

private:
    fake::FakeFileSystem& m_files;
};

// A W83627HF at 40 °C whose Cpu fan output 0 is driven from the Cpu temperature.
class OptionsButtons : public ::testing::Test, protected testing::MonitorOnBoard
{
protected:
    OptionsButtons() : MonitorOnBoard(testing::kWinbondAt40)
    {
        monitor->StartUp(std::string("/sim"));
        monitor->AlarmWindowCreated();
        Settings().FanControl[0] = {kSourceCpu, 45, 1, 0}; // 40 °C: below full speed
        monitor->UpdatePass();
        options = std::make_unique<OptionsController>(*monitor, host);
        options->CreateDialog();
        host.Calls.clear();
    }
    SettingsBlock& Settings() { return monitor->State().Settings; }
    SettingsBlock& Temp() { return monitor->State().TempParam; }
    std::optional<SettingsBlock> SavedSettings()
    {
        if (!files.Files.contains("/sim/settings.dat")) {
            return std::nullopt;
        }
        SettingsBlock block;
        DecodeSettings(files.Files["/sim/settings.dat"], block);
        return block;
    }

    RecordingHost host{files};
    std::unique_ptr<OptionsController> options;
};

TEST_F(OptionsButtons, OkReleasesTheFansSavesRereadsAndReappliesTheWindowInOrder)
{
    ASSERT_NE(sim->IsaChip()->Peek(0x5A), 255); // driven below full speed
    options->Open();
    Temp().FanControl[0].Enabled = 0;
    Temp().SensorInterval = 9;
    Temp().WindowMode = 0;
    Temp().Slots[kSlotVCoreA].Enabled = 0;
    const size_t rows = monitor->MainWindow().Layout().Rows.size();
    options->OkClick();

    EXPECT_EQ(sim->IsaChip()->Peek(0x5A), 255); // handed back, and no longer driven
    EXPECT_EQ(Settings().SensorInterval, 9);
    ASSERT_TRUE(SavedSettings());
    EXPECT_EQ(SavedSettings()->SensorInterval, 9);
    EXPECT_TRUE(host.SavedAtTimers);
    EXPECT_EQ(monitor->MainWindow().Layout().Rows.size(), rows - 1);
    EXPECT_EQ(host.Calls, (std::vector<std::string>{"timers 9000 120000", "hide main", "parent", "frame", "desktop",
                                                    "show main", "hide dialog"}));

    host.Calls.clear();
    options->Open();
    Temp().WindowMode = 1;
    options->OkClick();
    EXPECT_EQ(host.Calls[3], "on top");
    EXPECT_EQ(std::count(host.Calls.begin(), host.Calls.end(), "desktop"), 0);
}

TEST_F(OptionsButtons, NoticeChoicesMadeWhileTheDialogIsOpenSurviveOkAndCancel)
{
    Settings().ShowFanWarning = 1;
    Settings().ShowAdminNotice = 1;
    options->Open();
    EXPECT_FALSE(NoticeOkClick(monitor->State(), NoticeKind::FanWarning, false)); // box clear: nothing
    EXPECT_FALSE(SavedSettings());
    EXPECT_TRUE(NoticeOkClick(monitor->State(), NoticeKind::FanWarning, true));
    ASSERT_TRUE(SavedSettings());
    EXPECT_EQ(SavedSettings()->ShowFanWarning, 0);
    EXPECT_EQ(Temp().ShowFanWarning, 1);

    options->CancelClick();
    EXPECT_EQ(Settings().ShowFanWarning, 0);
    options->Open();
    NoticeOkClick(monitor->State(), NoticeKind::AdminNotice, true);
    options->OkClick();
    EXPECT_EQ(Settings().ShowFanWarning, 0);
    EXPECT_EQ(Settings().ShowAdminNotice, 0);
    EXPECT_EQ(SavedSettings()->ShowAdminNotice, 0);
    EXPECT_FALSE(NoticeWanted(Settings(), NoticeKind::FanWarning));
}

// A slot put from the "All sensors" window saves the settings image and nothing of the General
// page: the page may hold a choice from an earlier opening that the user since changed.
TEST_F(OptionsButtons, AssigningASlotKeepsTheStoredNotificationChoice)
{
    ASSERT_TRUE(SetAlarmNotifications(monitor->State().Platform().store, false));
    monitor->State().AlarmNotifications = false;

    ASSERT_TRUE(options->AssignSlot(kSlotSys, 0, 2));

    EXPECT_FALSE(AlarmNotificationsOn(monitor->State().Platform().store));
    EXPECT_FALSE(monitor->State().AlarmNotifications);
    ASSERT_TRUE(SavedSettings());
    EXPECT_EQ(SavedSettings()->Slots[kSlotSys].Channel, 2);
}

TEST_F(OptionsButtons, CancelRestoresTheSavedOpacityAndDropsTheWorkingCopy)
{
    Settings().Alpha = 5;
    options->Open();
    options->Presenter().AlphaMoved(94);
    options->Presenter().RunWithWindowsClick(true);
    Temp().SensorInterval = 77;
    options->CancelClick();
    EXPECT_EQ(host.Calls, (std::vector<std::string>{"opacity 242", "opacity 15", "opacity 242", "hide dialog"}));
    EXPECT_EQ(Settings().SensorInterval, 5);
    EXPECT_EQ(Settings().Alpha, 5);
    EXPECT_TRUE(AutorunEnabled(store)); // the autorun entry is not part of the working copy
    EXPECT_FALSE(SavedSettings());
}

TEST_F(OptionsButtons, ResetAppliesDefaultsAtOnceWithoutSavingAndReleasesLast)
{
    Settings().Alpha = 40;
    Settings().SensorInterval = 20;
    Settings().ShowFanWarning = 0;
    Settings().Slots[kSlotCpu].MaxLimit = 10;
    const uint8_t chipBefore = Settings().Slots[kSlotCpu].Chip;
    options->ResetClick();
    EXPECT_EQ(host.Calls, (std::vector<std::string>{"opacity 255", "hide dialog"}));
    EXPECT_EQ(Settings().Alpha, 0);
    EXPECT_EQ(Settings().SensorInterval, 5);
    EXPECT_EQ(Settings().ShowFanWarning, 0);
    EXPECT_EQ(Settings().Slots[kSlotCpu].Chip, chipBefore);
    EXPECT_NE(Settings().Slots[kSlotCpu].MaxLimit, 10);
    EXPECT_FALSE(SavedSettings());
    EXPECT_EQ(sim->IsaChip()->Peek(0x5A), 255); // the reset's own pass drove it; the release came after
}

// The 9x family never sets the main window's opacity; a stored Alpha must not make Cancel or
// Reset turn the opaque window translucent.
class NineXOptionsButtons : public ::testing::Test, protected testing::MonitorOnBoard
{
protected:
    NineXOptionsButtons()
        : MonitorOnBoard(R"({"family": "9x", "isa": {"model": "W83627HF", "banks": {"1": {"0x50": 40}}}})")
    {
        monitor->StartUp(std::string("/sim"));
        monitor->AlarmWindowCreated();
        monitor->State().Settings.Alpha = 50;
        options = std::make_unique<OptionsController>(*monitor, host);
        options->CreateDialog();
        host.Calls.clear();
    }

    RecordingHost host{files};
    std::unique_ptr<OptionsController> options;
};

TEST_F(NineXOptionsButtons, CancelLeavesTheOpacityAlone)
{
    options->Open();
    options->CancelClick();
    EXPECT_EQ(host.Calls, (std::vector<std::string>{"hide dialog"}));
}

TEST_F(NineXOptionsButtons, ResetLeavesTheOpacityAlone)
{
    options->ResetClick();
    EXPECT_EQ(host.Calls, (std::vector<std::string>{"hide dialog"}));
}

} // namespace
} // namespace calventa::app
