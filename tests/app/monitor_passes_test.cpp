#include <gtest/gtest.h>

#include "app/monitor.h"
#include "monitor_on_board.h"

namespace calventa::app {
namespace {

using namespace core;

// Records what the monitor told the windows, in order.
class RecordingView : public MonitorView
{
public:
    void MainWindowChanged(const MainWindowPresenter& presenter, bool relayout) override
    {
        events.push_back(relayout ? "layout" : "refresh");
        rows = presenter.Layout().Rows.size();
    }
    void TrayChanged(const TrayContent& tray) override
    {
        events.push_back("tray");
        tip = tray.Tip;
    }
    void AlarmWindowChanged(const AlarmWindowContent& content, bool isShown) override
    {
        events.push_back(isShown ? "alarm shown" : "alarm hidden");
        lines = content.Lines;
        shown = isShown;
    }
    std::vector<std::string> events;
    std::vector<std::string> lines;
    size_t rows = 0;
    std::string tip;
    bool shown = false;
};

// A W83627HF whose Cpu temperature (bank 1 register 0x50) the test sets.
class MonitorPasses : public ::testing::Test, protected testing::MonitorOnBoard
{
protected:
    MonitorPasses() : MonitorOnBoard(testing::kWinbondAt40)
    {
        monitor->SetView(&view);
        monitor->StartUp(std::string("/sim"));
        monitor->AlarmWindowCreated();
        view.events.clear();
    }
    void SetCpu(uint8_t celsius) { sim->IsaChip()->Poke(0x50, celsius, 1); }
    SensorSlot& Cpu() { return monitor->State().Settings.Slots[kSlotCpu]; }

    RecordingView view;
};

TEST_F(MonitorPasses, StartUpLaysOutTheWindowAndDrawsTheTray)
{
    const MainWindowLayout& layout = monitor->MainWindow().Layout();
    EXPECT_EQ(layout.Rows.size(), 3u + 3u + 9u);
    ASSERT_TRUE(monitor->Tray().Icon);
    EXPECT_EQ(monitor->Tray().Icon->Text, "40");
}

TEST_F(MonitorPasses, UpdatePassRefreshesWindowThenTray)
{
    SetCpu(42);
    monitor->UpdatePass();
    EXPECT_EQ(view.events, (std::vector<std::string>{"refresh", "tray"}));
    EXPECT_EQ(monitor->Tray().Icon->Text, "42");
}

TEST_F(MonitorPasses, AlarmWindowComesUpClosesAndReturnsOnlyOnARise)
{
    SetCpu(75);
    monitor->UpdatePass();
    EXPECT_EQ(view.events, (std::vector<std::string>{"refresh", "alarm shown", "tray", "alarm shown"}));
    ASSERT_EQ(view.lines.size(), 1u);
    EXPECT_EQ(view.lines[0], "CPU temperature is 75 \xC2\xB0"
                             "C / 167 \xC2\xB0"
                             "F");

    monitor->CloseAlarmWindow();
    EXPECT_FALSE(view.shown);
    monitor->UpdatePass(); // same value: stays closed
    EXPECT_FALSE(view.shown);
    EXPECT_EQ(Cpu().AlarmActive, 1);
    SetCpu(76);
    monitor->UpdatePass();
    EXPECT_TRUE(view.shown);

    SetCpu(50); // back in range: the next pass hides the window by itself
    monitor->UpdatePass();
    EXPECT_FALSE(view.shown);
    EXPECT_FALSE(monitor->Alarms().AlarmWindowShown);
}

TEST_F(MonitorPasses, DiskPassRefreshesTheWindowButNotTheTray)
{
    monitor->DiskPass();
    EXPECT_EQ(view.events, (std::vector<std::string>{"refresh"}));
}

TEST_F(MonitorPasses, FanControlRunsAfterTheCorrectionsAndIsReleasedOnClose)
{
    Cpu().Correction = 5.0f; // 40 + 5 against nominal 45: 50 %
    monitor->State().Settings.FanControl[0] = {kSourceCpu, 45, 1, 0};
    monitor->UpdatePass();
    EXPECT_EQ(sim->IsaChip()->Peek(0x5A), 128);
    EXPECT_EQ(monitor->MainWindow().Value(kSlotCpuFan).Power, "Power = 50%");

    sim->IsaChip()->ClearWriteLog();
    monitor->CloseQuery();
    monitor->Close();
    monitor->Close(); // twice is harmless
    const auto& writes = sim->IsaChip()->WriteLog();
    EXPECT_EQ(std::count(writes.begin(), writes.end(), sim::RegisterWrite{0x5A, 0, 255}), 2);
    EXPECT_EQ(sim->MutexStatsFor(platform::kIsaMutexName).depth, 0);
}

} // namespace
} // namespace calventa::app
