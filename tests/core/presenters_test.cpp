#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "core/alarms.h"
#include "core/fakes.h"
#include "core/main_window_presenter.h"
#include "core/tray_presenter.h"
#include "core/update_cycle.h"
#include "core/value_text.h"

namespace calventa::core {
namespace {

const std::string kDeg = "\xC2\xB0";

// A monitor state on fakes with one chip record and every chip slot switched off.
class PresenterTest : public ::testing::Test
{
protected:
    PresenterTest()
    {
        state.SetDefaultSettings();
        for (int slot = 0; slot < kSlotCount; ++slot) {
            if (KindOfSlot(slot) != SlotKind::Disk) {
                Slot(slot).Chip = kNoChip;
            }
            Slot(slot).Channel = 1;
        }
        state.Chips.ChipCount = 1;
    }
    SensorSlot& Slot(int slot) { return state.Settings.Slots[static_cast<size_t>(slot)]; }
    void Show(int slot, uint8_t channel = 1)
    {
        Slot(slot).Chip = 0;
        Slot(slot).Channel = channel;
    }

    fake::FakeMachine machine;
    MonitorState state{machine.Machine};
    AlarmFlags alarms;
    MainWindowPresenter window;
};

TEST_F(PresenterTest, LayoutOfTheWorkedExample)
{
    Show(kSlotCpu);
    Show(kSlotSys);
    state.Disks.DiskCount = 1;
    for (int slot : {kSlotCpuFan, kSlotSysFan, kSlotAuxFan, kSlotVCoreA, kSlotVCoreB, kSlot3_3V, kSlot5V, kSlot12V,
                     kSlotMinus5V, kSlotMinus12V}) {
        Show(slot);
    }
    window.BuildMainWindow(state, alarms);
    const MainWindowLayout& layout = window.Layout();
    EXPECT_EQ(layout.Panels[kPanelTemperatures].Top, 3);
    EXPECT_EQ(layout.Panels[kPanelTemperatures].Height, 78);
    EXPECT_EQ(layout.Panels[kPanelFans].Top, 84);
    EXPECT_EQ(layout.Panels[kPanelFans].Height, 78);
    EXPECT_EQ(layout.Panels[kPanelVoltages].Top, 165);
    EXPECT_EQ(layout.Panels[kPanelVoltages].Height, 142);
    EXPECT_EQ(layout.Height, 330);
    ASSERT_EQ(layout.Rows.size(), 13u);
    EXPECT_EQ(layout.Rows[2].Slot, kSlotHd0);
    EXPECT_EQ(layout.Rows[2].Y, 56);
    EXPECT_EQ(layout.Rows[11].Slot, kSlotMinus5V); // slot order, whatever the channels
    EXPECT_EQ(layout.Rows[11].ValueLeft, 78);
    EXPECT_EQ(layout.Rows[0].ValueLeft, 64);
}

TEST_F(PresenterTest, NoRowsLeaveOnlyTheFrame)
{
    window.BuildMainWindow(state, alarms);
    EXPECT_TRUE(window.Layout().Rows.empty());
    EXPECT_EQ(window.Layout().Height, 23);
    for (const MainWindowPanel& panel : window.Layout().Panels) {
        EXPECT_FALSE(panel.Visible);
    }
}

TEST_F(PresenterTest, DiskRowsNeedTheirDiskListed)
{
    for (int k = 0; k < kMaxDisks; ++k) {
        Slot(kSlotHd0 + k).Enabled = 1;
    }
    state.Disks.DiskCount = 2;
    state.Disks.Temperature[1] = 38;
    window.BuildMainWindow(state, alarms);
    ASSERT_EQ(window.Layout().Rows.size(), 2u);
    EXPECT_EQ(window.Value(kSlotHd0 + 1).Text, "38 " + kDeg + "C / 101 " + kDeg + "F");
    EXPECT_FALSE(window.Value(kSlotHd0 + 2).Shown);
}

TEST_F(PresenterTest, ASleepingDisksLastValueIsGreyedAndNeitherRaisesNorClearsItsAlarm)
{
    alarms.AlarmWindowReady = true;
    for (int k = 0; k < 2; ++k) {
        Slot(kSlotHd0 + k).Enabled = 1;
        Slot(kSlotHd0 + k).AlarmEnabled = 1;
        Slot(kSlotHd0 + k).MinLimit = 0;
        Slot(kSlotHd0 + k).MaxLimit = 50;
    }
    state.Disks.DiskCount = 2;
    state.Disks.Temperature = {61, 62};
    state.Disks.ReadState[0] = DiskReadState::Asleep;
    state.Disks.ReadState[1] = DiskReadState::PowerModeUnknown;
    window.BuildMainWindow(state, alarms);
    EXPECT_FALSE(alarms.NewAlarm); // above the limit, but not a reading of this pass
    EXPECT_EQ(Slot(kSlotHd0).AlarmActive, 0);
    const MainWindowValue& asleep = window.Value(kSlotHd0);
    EXPECT_EQ(asleep.Text, "61 " + kDeg + "C / 142 " + kDeg + "F");
    EXPECT_TRUE(asleep.Stale);
    EXPECT_FALSE(asleep.Red);
    EXPECT_EQ(asleep.Note, kDiskAsleepNote);
    EXPECT_EQ(window.Value(kSlotHd0 + 1).Note, kDiskPowerModeUnknownNote);

    // Awake and hot: the alarm is raised; asleep again, it stays raised, however cool it is.
    state.Disks.ReadState[0] = DiskReadState::Current;
    window.RefreshMainWindow(state, alarms);
    EXPECT_TRUE(alarms.NewAlarm);
    EXPECT_EQ(Slot(kSlotHd0).AlarmActive, 1);
    EXPECT_FALSE(window.Value(kSlotHd0).Stale);
    EXPECT_TRUE(window.Value(kSlotHd0).Note.empty());
    state.Disks.ReadState[0] = DiskReadState::Asleep;
    state.Disks.Temperature[0] = 20;
    window.RefreshMainWindow(state, alarms);
    EXPECT_EQ(Slot(kSlotHd0).AlarmActive, 1);
    EXPECT_TRUE(window.Value(kSlotHd0).Red);
    EXPECT_TRUE(window.Value(kSlotHd0).Stale);
}

TEST_F(PresenterTest, SaturatedTemperaturesReadOutOfRangeInEveryText)
{
    // A correction of 1e9 saturates the corrected reading at the int32 limit.
    Show(kSlotCpu);
    Show(kSlotSys, 2);
    Slot(kSlotHd0).Enabled = 1;
    state.Chips.Records[0].Temps[0] = std::numeric_limits<int32_t>::max();
    state.Chips.Records[0].Temps[1] = std::numeric_limits<int32_t>::min();
    state.Disks.DiskCount = 1;
    state.Disks.Temperature[0] = std::numeric_limits<int32_t>::max();
    window.BuildMainWindow(state, alarms);
    EXPECT_EQ(window.Value(kSlotCpu).Text, "out of range");
    EXPECT_EQ(window.Value(kSlotSys).Text, "out of range");
    EXPECT_EQ(window.Value(kSlotHd0).Text, "out of range");
    EXPECT_TRUE(window.Value(kSlotCpu).Red); // still beyond its limit
    EXPECT_EQ(ShowTray(state).Tip, "CPU: out of range\r\nSYS: out of range");

    SensorSlot& cpu = Slot(kSlotCpu);
    cpu.AlarmEnabled = 1;
    cpu.AlarmActive = 1;
    cpu.AlarmValue = 2147483648.0f;
    const AlarmWindowContent content = CheckAlarms(state.Settings, {1280, 1024}, ".");
    ASSERT_FALSE(content.Lines.empty());
    EXPECT_EQ(content.Lines[0], "CPU temperature is out of range");
}

TEST_F(PresenterTest, FanRowUnderFanControlHasAPowerLine)
{
    Show(kSlotCpu);
    Show(kSlotSysFan, 2);
    state.Chips.Records[0].Fans[1] = 2657;
    state.Settings.FanControl[1] = {kSourceCpu, 45, 1, 0};
    state.FanDuty.Set(2, 70);
    window.BuildMainWindow(state, alarms);
    EXPECT_TRUE(window.Layout().Rows[1].HasPowerLine);
    EXPECT_EQ(window.Layout().Panels[kPanelFans].Height, 24 + 32 + 6);
    EXPECT_EQ(window.Value(kSlotSysFan).Text, "2657 RPM");
    EXPECT_EQ(window.Value(kSlotSysFan).Power, "Power = 70%");

    Slot(kSlotCpu).Enabled = 0; // the channel stops, and so does its power line
    window.BuildMainWindow(state, alarms);
    EXPECT_FALSE(window.Layout().Rows[0].HasPowerLine);
    EXPECT_TRUE(window.Value(kSlotSysFan).Power.empty());
}

TEST_F(PresenterTest, ValuesOutsideTheirLimitsTurnRed)
{
    Show(kSlotCpu);
    Show(kSlot12V);
    Slot(kSlot12V).AlarmEnabled = 1;
    state.Chips.Records[0].Temps[0] = 70; // equal to the limit: out of range
    state.Chips.Records[0].Volts[0] = 11.5f;
    window.BuildMainWindow(state, alarms);
    EXPECT_TRUE(window.Value(kSlotCpu).Red);
    EXPECT_FALSE(window.Value(kSlot12V).Red);
    EXPECT_EQ(window.Value(kSlot12V).Text, "11.50 V");
    EXPECT_FALSE(alarms.NewAlarm); // no alarm window yet
    alarms.AlarmWindowReady = true;
    EXPECT_TRUE(window.RefreshMainWindow(state, alarms));
    state.Chips.Records[0].Temps[0] = 69;
    EXPECT_FALSE(window.RefreshMainWindow(state, alarms));
    EXPECT_FALSE(window.Value(kSlotCpu).Red);
}

// The numbers beside the texts, for outputs that need them unformatted: the value each text
// shows, none where the text shows none.
TEST_F(PresenterTest, ReadingsAreTheNumbersTheTextsShow)
{
    Show(kSlotCpu);
    Show(kSlotSys, 2);
    Show(kSlot3_3V);
    Show(kSlot12V, 2);
    Show(kSlotCpuFan);
    Show(kSlotSysFan, 2);
    Slot(kSlotHd0).Enabled = 1;
    state.Disks.DiskCount = 1;
    state.Disks.Temperature[0] = 41;
    state.Chips.Records[0].Temps[0] = -12;
    state.Chips.Records[0].Temps[1] = std::numeric_limits<int32_t>::max();
    state.Chips.Records[0].Volts[0] = 3.3f;
    state.Chips.Records[0].Volts[1] = std::numeric_limits<float>::quiet_NaN();
    state.Chips.Records[0].Fans[0] = 4412;
    state.Chips.Records[0].Fans[1] = 2657;
    state.Settings.FanControl[1] = {kSourceCpu, 45, 1, 0};
    state.FanDuty.Set(2, 70);
    window.BuildMainWindow(state, alarms);

    EXPECT_EQ(window.Value(kSlotCpu).Reading, -12.0);
    EXPECT_EQ(window.Value(kSlotSys).Text, "out of range");
    EXPECT_FALSE(window.Value(kSlotSys).Reading.has_value());
    EXPECT_EQ(window.Value(kSlotHd0).Reading, 41.0);
    EXPECT_EQ(window.Value(kSlot3_3V).Reading, 3.3); // the float's own decimal, not 3.2999999523
    EXPECT_EQ(window.Value(kSlot12V).Text, "0.00 V");
    EXPECT_EQ(window.Value(kSlot12V).Reading, 0.0);
    EXPECT_EQ(window.Value(kSlotCpuFan).Reading, 4412.0);
    EXPECT_FALSE(window.Value(kSlotCpuFan).PowerPercent.has_value());
    EXPECT_EQ(window.Value(kSlotSysFan).PowerPercent, 70);

    state.Chips.Records[0].SetMissing(ChannelKind::Temperature, 1); // a failed kernel read
    state.Chips.Records[0].Bus = kBusKernel;
    window.RefreshMainWindow(state, alarms);
    EXPECT_EQ(window.Value(kSlotCpu).Text, kNoReadingText);
    EXPECT_FALSE(window.Value(kSlotCpu).Reading.has_value());
}

// --- alarm evaluation ---------------------------------------------------------------------

class AlarmTest : public ::testing::Test
{
protected:
    AlarmTest()
    {
        slot.Enabled = 1;
        slot.AlarmEnabled = 1;
        slot.MinLimit = 11;
        slot.MaxLimit = 14;
        flags.AlarmWindowReady = true;
    }
    bool Evaluate(double v)
    {
        flags.NewAlarm = false;
        return EvaluateAlarm(slot, flags, v);
    }
    SensorSlot slot;
    AlarmFlags flags;
};

TEST_F(AlarmTest, LimitsAreExclusiveAndWholeVolts)
{
    EXPECT_TRUE(Evaluate(11.0));
    EXPECT_TRUE(flags.NewAlarm);
    EXPECT_FALSE(Evaluate(11.01));
    EXPECT_EQ(slot.AlarmActive, 0);
    EXPECT_TRUE(Evaluate(14.0));
}

TEST_F(AlarmTest, ReRaisesOnlyOnAStrictlyHigherValueForBothLimits)
{
    EXPECT_TRUE(Evaluate(16));
    EXPECT_TRUE(flags.NewAlarm);
    EXPECT_TRUE(Evaluate(16));
    EXPECT_FALSE(flags.NewAlarm);
    EXPECT_TRUE(Evaluate(17));
    EXPECT_TRUE(flags.NewAlarm);
    EXPECT_TRUE(Evaluate(15));
    EXPECT_FALSE(flags.NewAlarm);
    EXPECT_FLOAT_EQ(slot.AlarmValue, 15.0f);

    EXPECT_TRUE(Evaluate(5)); // below the low limit and falling: still latched, nothing new
    EXPECT_FALSE(flags.NewAlarm);
    EXPECT_TRUE(Evaluate(4));
    EXPECT_FALSE(flags.NewAlarm);
    EXPECT_TRUE(Evaluate(6)); // rising but still below: raises again
    EXPECT_TRUE(flags.NewAlarm);
}

TEST_F(AlarmTest, NothingIsRaisedBeforeTheAlarmWindowExists)
{
    flags.AlarmWindowReady = false;
    EXPECT_TRUE(Evaluate(20));
    EXPECT_FALSE(flags.NewAlarm);
    EXPECT_EQ(slot.AlarmActive, 0);
    EXPECT_FLOAT_EQ(slot.AlarmValue, 20.0f);
}

TEST_F(AlarmTest, SwitchedOffAlarmClearsTheLatchAndPaintsBlack)
{
    Evaluate(20);
    slot.AlarmEnabled = 0;
    EXPECT_FALSE(Evaluate(20));
    EXPECT_EQ(slot.AlarmActive, 0);
}

TEST(AlarmWindow, LinesInWindowOrderWithTheirTexts)
{
    SettingsBlock block;
    SetDefaultSettings(block, {1280, 1024}, kDefaultMainWindowWidth);
    auto latch = [&](int slot, float value) {
        SensorSlot& s = block.Slots[static_cast<size_t>(slot)];
        s.Chip = 0;
        s.AlarmEnabled = 1;
        s.AlarmActive = 1;
        s.AlarmValue = value;
    };
    latch(kSlotCpu, 75);
    latch(kSlotHd0, 61);
    latch(kSlotMinus5V, -4.5f);
    latch(kSlotMinus12V, -8.1f);
    latch(kSlot12V, 10.9f);
    latch(kSlotCpuFan, 0);
    latch(kSlotAuxFan2, 512.2f);
    block.Slots[kSlotSys].Chip = 0; // enabled but not latched: no line
    const AlarmWindowContent content = CheckAlarms(block, {1280, 1024}, ".");
    const std::vector<std::string> expected = {
        "CPU temperature is 75 " + kDeg + "C / 167 " + kDeg + "F",
        "HD0 temperature is 61 " + kDeg + "C / 142 " + kDeg + "F",
        "+12V voltage is 10.90 V",
        "-12V voltage is -8.10 V",
        "-5V voltage is -4.50 V",
        "CPU fan is 0 RPM",
        "Aux fan2 is 513 RPM",
    };
    EXPECT_EQ(content.Lines, expected);
    EXPECT_EQ(content.Height, 88 + 16 * 7);
    EXPECT_EQ(content.CloseButtonTop, 32 + 16 * 7 + 4);
    EXPECT_EQ(content.Left, 1280 - 200 - 16);
    EXPECT_EQ(content.Top, 1024 - content.Height - 56);
}

TEST(AlarmWindow, EmptyListStillHasItsGeometry)
{
    SettingsBlock block;
    const AlarmWindowContent content = CheckAlarms(block, {800, 600}, ".");
    EXPECT_TRUE(content.Lines.empty());
    EXPECT_EQ(content.Height, 88);
}

// --- tray ---------------------------------------------------------------------------------

TEST_F(PresenterTest, TrayTipJoinsTheBoardTemperaturesByFamily)
{
    Show(kSlotCpu);
    Show(kSlotAux, 2);
    Slot(kSlotAux).Enabled = 0; // Enabled plays no part in the tip
    state.Chips.Records[0].Temps[0] = 45;
    state.Chips.Records[0].Temps[1] = 23;
    const std::string cpu = "CPU: 45 " + kDeg + "C / 113 " + kDeg + "F";
    const std::string aux = "AUX: 23 " + kDeg + "C / 74 " + kDeg + "F";
    EXPECT_EQ(ShowTray(state).Tip, cpu + "\r\n" + aux);
    machine.Facts.FamilyValue = platform::PlatformFamily::Windows9x;
    EXPECT_EQ(ShowTray(state).Tip, cpu + "   " + aux + "   ");
}

TEST_F(PresenterTest, TrayIconDigits)
{
    Show(kSlotCpu);
    state.Chips.Records[0].Temps[0] = 45;
    TrayContent tray = ShowTray(state);
    ASSERT_TRUE(tray.Icon);
    EXPECT_EQ(tray.Icon->Text, "45");
    EXPECT_EQ(tray.Icon->PointSize, 8);
    EXPECT_EQ(tray.Icon->X, 2);
    EXPECT_EQ(tray.Icon->Y, 0);
    EXPECT_EQ(tray.Icon->Color, 0x00FF0000);

    state.Settings.TrayFahrenheit = 1;
    state.Chips.Records[0].Temps[0] = 37;
    tray = ShowTray(state);
    EXPECT_EQ(tray.Icon->Text, "99");
    EXPECT_EQ(tray.Icon->PointSize, 7);
    EXPECT_EQ(tray.Icon->X, 3);
    EXPECT_EQ(tray.Icon->Y, 2);
    state.Chips.Records[0].Temps[0] = 38;
    tray = ShowTray(state);
    EXPECT_EQ(tray.Icon->Text, "101");
    EXPECT_EQ(tray.Icon->X, 1);
}

TEST_F(PresenterTest, TrayShowsTheApplicationIconWithoutItsSource)
{
    Show(kSlotCpu);
    state.Settings.TraySource = kSourceSys;
    EXPECT_FALSE(ShowTray(state).Icon);
    state.Settings.TraySource = 99;
    EXPECT_FALSE(ShowTray(state).Icon);
}

// The tray while alarms start, hold and clear, pass by pass as the main window tests them.
class TrayAlarmMark : public PresenterTest
{
protected:
    TrayAlarmMark()
    {
        Show(kSlotCpu);
        Show(kSlotSys, 2);
        state.Settings.TraySource = kSourceCpu;
        state.Settings.TrayColor = 0x00FF0000;
        for (const int slot : {kSlotCpu, kSlotSys}) {
            Slot(slot).Enabled = 1;
            Slot(slot).AlarmEnabled = 1;
            Slot(slot).MinLimit = 0;
        }
        Slot(kSlotCpu).MaxLimit = 60;
        Slot(kSlotSys).MaxLimit = 50;
        alarms.AlarmWindowReady = true;
        window.BuildMainWindow(state, alarms);
    }
    // One update pass: new readings, the window's alarm test, then the tray.
    TrayContent Pass(int32_t cpu, int32_t sys)
    {
        state.Chips.Records[0].Temps[0] = cpu;
        state.Chips.Records[0].Temps[1] = sys;
        window.RefreshMainWindow(state, alarms);
        return ShowTray(state);
    }
    const std::string kCpuLine = "CPU: 70 " + kDeg + "C / 158 " + kDeg + "F";
};

TEST_F(TrayAlarmMark, StartsHoldsAfterTheAlarmWindowClosesAndClears)
{
    TrayContent tray = Pass(45, 30);
    EXPECT_TRUE(tray.AlarmSensors.empty());
    EXPECT_EQ(tray.ShownTip, tray.Tip);
    ASSERT_TRUE(tray.Icon);
    EXPECT_EQ(tray.Icon->Color, 0x00FF0000);
    EXPECT_FALSE(tray.Icon->Backdrop);

    tray = Pass(70, 30); // starts
    EXPECT_EQ(tray.AlarmSensors, std::vector<std::string>{"CPU"});
    EXPECT_EQ(tray.ShownTip, "\u26A0 ALARM: CPU\r\n" + tray.Tip);
    EXPECT_EQ(tray.Tip.substr(0, kCpuLine.size()), kCpuLine); // the described tip itself is unchanged
    ASSERT_TRUE(tray.Icon);
    EXPECT_EQ(tray.Icon->Text, "70");
    EXPECT_EQ(tray.Icon->Color, kAlarmDigitColor);
    EXPECT_EQ(tray.Icon->Backdrop, kAlarmBackdropColor);

    // The alarm window's "Close" changes nothing that is latched: the mark holds.
    alarms.AlarmWindowShown = false;
    tray = Pass(70, 55);
    EXPECT_EQ(tray.AlarmSensors, (std::vector<std::string>{"CPU", "SYS"}));
    EXPECT_EQ(tray.ShownTip.substr(0, tray.ShownTip.find('\r')), "\u26A0 ALARM: CPU, SYS");

    tray = Pass(45, 55); // CPU back in range, SYS still out
    EXPECT_EQ(tray.AlarmSensors, std::vector<std::string>{"SYS"});
    EXPECT_EQ(tray.Icon->Backdrop, kAlarmBackdropColor); // any alarm marks the digits

    tray = Pass(45, 30); // clears
    EXPECT_TRUE(tray.AlarmSensors.empty());
    EXPECT_EQ(tray.ShownTip, tray.Tip);
    EXPECT_EQ(tray.Icon->Color, 0x00FF0000);
    EXPECT_FALSE(tray.Icon->Backdrop);
}

TEST_F(TrayAlarmMark, AnAlarmWithoutAlarmTestOrWithTheApplicationIconMarksOnlyTheTip)
{
    Slot(kSlotCpu).AlarmEnabled = 0;
    EXPECT_TRUE(Pass(70, 30).AlarmSensors.empty()); // red in the window, but no alarm of its own

    state.Settings.TraySource = kSourceAux; // no chip: the application's icon
    const TrayContent tray = Pass(70, 55);
    EXPECT_FALSE(tray.Icon);
    EXPECT_EQ(tray.AlarmSensors, std::vector<std::string>{"SYS"});
    EXPECT_EQ(tray.ShownTip.rfind("\u26A0 ALARM: SYS\r\n", 0), 0u);
    machine.Facts.FamilyValue = platform::PlatformFamily::Windows9x;
    EXPECT_EQ(ShowTray(state).ShownTip.rfind("\u26A0 ALARM: SYS   CPU: ", 0), 0u);
}

TEST(TrayAlarmTipLine, NamesWhatFitsAndCountsTheRest)
{
    EXPECT_EQ(AlarmTipLine({"CPU"}), "\u26A0 ALARM: CPU");
    EXPECT_EQ(AlarmTipLine({"CPU", "+12V", "SYS fan"}), "\u26A0 ALARM: CPU, +12V, SYS fan");
    std::vector<std::string> every;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        every.push_back(AlarmCaption(slot));
    }
    const std::string line = AlarmTipLine(every);
    EXPECT_LE(line.size(), kAlarmTipLineMax);
    EXPECT_EQ(line.rfind("\u26A0 ALARM: CPU, SYS, AUX, HD0", 0), 0u) << line;
    // The names given and the count add up to every alarm.
    const size_t named = static_cast<size_t>(std::count(line.begin(), line.end(), ',')) + 1;
    const size_t more = line.find(" and ");
    ASSERT_NE(more, std::string::npos) << line;
    EXPECT_EQ(named + std::stoul(line.substr(more + 5)), every.size()) << line;
    EXPECT_EQ(line.substr(line.size() - 5), " more");
}

TEST(AlarmStarts, EachStartIsToldOnceAndAReturnIsAStartAgain)
{
    SettingsBlock block;
    for (const int slot : {kSlotCpu, kSlot12V}) {
        block.Slots[static_cast<size_t>(slot)].Chip = 0;
        block.Slots[static_cast<size_t>(slot)].Enabled = 1;
        block.Slots[static_cast<size_t>(slot)].AlarmEnabled = 1;
    }
    SensorSlot& cpu = block.Slots[kSlotCpu];
    SensorSlot& volts = block.Slots[kSlot12V];
    AlarmStartWatch watch;
    EXPECT_FALSE(watch.Look(block, "."));

    cpu.AlarmActive = 1;
    cpu.AlarmValue = 75;
    std::optional<AlarmNotice> notice = watch.Look(block, ".");
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->Summary, "Calventa alarm");
    EXPECT_EQ(notice->Body, "CPU temperature is 75 " + kDeg + "C / 167 " + kDeg + "F");

    cpu.AlarmValue = 80; // holds and rises: no new start
    EXPECT_FALSE(watch.Look(block, "."));

    volts.AlarmActive = 1;
    volts.AlarmValue = 13.5f;
    notice = watch.Look(block, ",");
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->Body, "+12V voltage is 13,50 V"); // only the one that started

    cpu.AlarmActive = 0;
    volts.AlarmActive = 0;
    EXPECT_FALSE(watch.Look(block, "."));
    cpu.AlarmActive = 1;
    volts.AlarmActive = 1;
    notice = watch.Look(block, ".");
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->Summary, "Calventa alarms");
    EXPECT_EQ(notice->Body, "CPU temperature is 80 " + kDeg + "C / 176 " + kDeg + "F\n+12V voltage is 13.50 V");
}

TEST(UpdateCycle, IntervalsFromAnEditedFileAreClamped)
{
    SettingsBlock block;
    block.SensorInterval = 0;
    block.DiskInterval = -5;
    EXPECT_EQ(SensorTimerMs(block), 3000);
    EXPECT_EQ(DiskTimerMs(block), 60000);
    block.SensorInterval = 5;
    block.DiskInterval = 99999;
    EXPECT_EQ(SensorTimerMs(block), 5000);
    EXPECT_EQ(DiskTimerMs(block), 1200000);
    EXPECT_EQ(block.SensorInterval, 5); // the block keeps what it holds
}

TEST(UpdateCycle, DiskTimerRunsOnlyWhenADiskRowCanShow)
{
    SettingsBlock block;
    DiskTable disks;
    block.Slots[kSlotHd0 + 2].Enabled = 1;
    disks.DiskCount = 2;
    EXPECT_FALSE(DiskTimerOn(block, disks));
    disks.DiskCount = 3;
    EXPECT_TRUE(DiskTimerOn(block, disks));
}

} // namespace
} // namespace calventa::core
