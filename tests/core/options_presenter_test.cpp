#include "core/options_presenter.h"

#include <gtest/gtest.h>

#include "case_name.h"

#include <limits>

#include "core/fakes.h"
#include "core/notice_presenter.h"
#include "core/program_store_access.h"
#include "core/value_text.h"

namespace calventa::core {
namespace {

class RecordingHost : public OptionsHost
{
public:
    void SetMainWindowOpacity(int opacity) override { Opacity.push_back(opacity); }
    void ShowFanWarning() override { ++Warnings; }
    void ShowMessage(const std::string& text) override { Messages.push_back(text); }
    void SetTimerIntervals(int, int) override {}
    void HideMainWindow() override {}
    void RestoreMainWindowParent() override {}
    void SetMainWindowStaysOnTop(bool) override {}
    void ReapplyMainWindowFrame() override {}
    void PutMainWindowOnDesktop() override {}
    void ShowMainWindowUnlessMinimized() override {}
    void HideOptionsDialog() override {}

    std::vector<int> Opacity;
    int Warnings = 0;
    std::vector<std::string> Messages;
};

ChipRecord Chip(const std::string& name, uint8_t temps, uint8_t volts, uint8_t fans, uint8_t pwms)
{
    ChipRecord chip;
    chip.Name = name;
    chip.TempCount = temps;
    chip.VoltCount = volts;
    chip.FanCount = fans;
    chip.PwmCount = pwms;
    return chip;
}

// An LM75 (one temperature) in record 0 and a W83627HF in record 1; every slot unassigned
// unless a test assigns it.
class OptionsPages : public ::testing::Test
{
protected:
    OptionsPages()
    {
        SetDefaultSettings(state.Settings, {1024, 768}, kDefaultMainWindowWidth);
        for (SensorSlot& slot : state.Settings.Slots) {
            slot.Chip = kNoChip;
        }
        state.Chips.ChipCount = 2;
        state.Chips.Records[0] = Chip("LM75", 1, 0, 0, 0);
        state.Chips.Records[1] = Chip("W83627HF", 3, 9, 3, 2);
        state.Chips.Records[1].SetTemp(2, 45);
        state.Chips.Records[1].SetVolt(1, 1.5f);
        state.Chips.Records[1].SetFan(1, 4412);
    }

    void Assign(int slot, uint8_t chip, uint8_t channel)
    {
        state.Settings.Slots[static_cast<size_t>(slot)].Chip = chip;
        state.Settings.Slots[static_cast<size_t>(slot)].Channel = channel;
    }
    void Create()
    {
        state.CopyToTempParam();
        presenter.CreateDialog();
    }
    // Clicks the tree node with the text; fails the test when there is none.
    void Click(const std::string& text)
    {
        const auto& tree = presenter.Tree();
        for (size_t i = 0; i < tree.size(); ++i) {
            if (tree[i].Text == text) {
                presenter.TreeClick(static_cast<int>(i));
                return;
            }
        }
        ADD_FAILURE() << "no node " << text;
    }
    std::vector<std::string> ChildrenOf(int parent) const
    {
        std::vector<std::string> texts;
        for (const TreeNode& node : presenter.Tree()) {
            if (node.Parent == parent) {
                texts.push_back(node.Text);
            }
        }
        return texts;
    }
    SensorSlot& Temp(int slot) { return state.TempParam.Slots[static_cast<size_t>(slot)]; }

    fake::FakeMachine machine;
    MonitorState state{machine.Machine};
    RecordingHost host;
    OptionsPresenter presenter{state, host};
};

TEST_F(OptionsPages, WithoutChipsOnlyDiskNodesAndSensorsNotFound)
{
    state.Chips.ChipCount = 0;
    state.Disks.DiskCount = 2;
    state.Disks.Model[1] = "SIM DISK 2";
    Assign(kSlotHd0 + 1, 1, 0);
    Create();
    EXPECT_EQ(ChildrenOf(1), (std::vector<std::string>{"HD0", "HD1"}));
    EXPECT_TRUE(ChildrenOf(2).empty());
    EXPECT_TRUE(ChildrenOf(3).empty());
    Click("Voltages");
    EXPECT_EQ(presenter.TopPage(), OptionsPage::Summary);
    EXPECT_EQ(presenter.Summary().Title, "Voltages");
    EXPECT_EQ(presenter.Summary().Line, "Sensors not found");
    Click("Temperatures");
    EXPECT_EQ(presenter.Summary().Line, ""); // the disks count as temperature sensors

    Click("HD1");
    const SensorPage& page = presenter.Sensor();
    EXPECT_EQ(page.Title, "Temperatures (HD1)");
    EXPECT_EQ(page.FrameTitle, "Hard Disk");
    EXPECT_EQ(page.SensorList.Entries, (std::vector<std::string>{"SIM DISK 2"}));
    EXPECT_FALSE(page.ListsEnabled);
    EXPECT_EQ(page.ListsColor, kDialogColor);
    EXPECT_EQ(page.MinText, GetFahrString(Temp(kSlotHd0 + 1).MinLimit));
}

TEST_F(OptionsPages, TreeOrderAndIconsFollowTheAssignedSlots)
{
    Assign(kSlotCpuFan, 1, 1);
    Assign(kSlotAuxFan2, 1, 3);
    Assign(kSlot12V, 1, 6);
    Assign(kSlotSys, 0, 1);
    Create();
    EXPECT_EQ(ChildrenOf(1), (std::vector<std::string>{"Sys"}));
    EXPECT_EQ(ChildrenOf(2), (std::vector<std::string>{"+12V"}));
    EXPECT_EQ(ChildrenOf(3), (std::vector<std::string>{"CpuFan", "AuxFan2"}));
    // Fans are added first, then voltages, then temperatures.
    EXPECT_EQ(presenter.Tree()[4].Text, "CpuFan");
    EXPECT_EQ(presenter.Tree().back().Text, "Sys");
    EXPECT_EQ(presenter.Tree().back().Icon, kIconSys);
    EXPECT_EQ(presenter.TempSensorCount(), 4);
    EXPECT_EQ(presenter.VoltSensorCount(), 9);
}

TEST_F(OptionsPages, ChipListHoldsOnlyChipsOfThePageKindAndStoresTheirTableIndex)
{
    Assign(kSlot12V, kNoChip - 1, 6); // a chip index no search filled
    Create();
    Click("+12V");
    const SensorPage& page = presenter.Sensor();
    EXPECT_EQ(page.Title, "Voltages (+12V)");
    EXPECT_EQ(page.ChipList.Entries, (std::vector<std::string>{"W83627HF"}));
    EXPECT_EQ(page.ChipList.Selected, kNoSelection);
    EXPECT_TRUE(page.SensorList.Entries.empty());

    presenter.ChipChosen(0);
    EXPECT_EQ(Temp(kSlot12V).Chip, 1);
    EXPECT_EQ(page.FrameTitle, "Sensor (W83627HF Sensor 6)");
    ASSERT_EQ(page.SensorList.Entries.size(), 9u);
    EXPECT_EQ(page.SensorList.Entries[0], "Sensor 1 (1.50)");
    EXPECT_EQ(page.SensorList.Selected, 5);
    presenter.SensorChosen(1);
    EXPECT_EQ(Temp(kSlot12V).Channel, 2);
    EXPECT_EQ(page.FrameTitle, "Sensor (W83627HF Sensor 2)");
    presenter.ChipChosen(1); // no such entry
    EXPECT_EQ(Temp(kSlot12V).Chip, 1);
}

TEST_F(OptionsPages, ChoosingAChipWithFewerChannelsKeepsTheChannelWithoutSelection)
{
    Assign(kSlotCpu, 1, 3);
    Create();
    Click("Cpu");
    const SensorPage& page = presenter.Sensor();
    EXPECT_EQ(page.ChipList.Entries, (std::vector<std::string>{"LM75", "W83627HF"}));
    EXPECT_EQ(page.ChipList.Selected, 1);
    EXPECT_EQ(page.SensorList.Entries[1], "Sensor 2 (45 \u00B0C / 113 \u00B0F)");
    presenter.ChipChosen(0);
    EXPECT_EQ(Temp(kSlotCpu).Chip, 0);
    EXPECT_EQ(Temp(kSlotCpu).Channel, 3);
    EXPECT_EQ(page.SensorList.Entries.size(), 1u);
    EXPECT_EQ(page.SensorList.Selected, kNoSelection);
}

TEST_F(OptionsPages, LimitsStepByPageKindAndOnlyFanLimitsStopAtZero)
{
    Assign(kSlotCpu, 1, 2);
    Assign(kSlotCpuFan, 1, 1);
    state.Settings.Slots[kSlotCpuFan].MinLimit = 150;
    state.Settings.Slots[kSlotCpu].MinLimit = 0;
    Create();
    Click("CpuFan");
    EXPECT_EQ(presenter.Sensor().SensorList.Entries[0], "Sensor 1 (4412 RPM)");
    EXPECT_FALSE(presenter.Sensor().CorrectionFrameVisible);
    presenter.MinSpin(false);
    EXPECT_EQ(presenter.Sensor().MinText, "50 RPM");
    presenter.MinSpin(false);
    presenter.MinSpin(false);
    EXPECT_EQ(Temp(kSlotCpuFan).MinLimit, 0);
    presenter.MaxSpin(true);
    EXPECT_EQ(Temp(kSlotCpuFan).MaxLimit, state.Settings.Slots[kSlotCpuFan].MaxLimit + 100);

    Click("Cpu");
    presenter.MinSpin(false);
    presenter.MinSpin(false);
    EXPECT_EQ(Temp(kSlotCpu).MinLimit, -2);
    EXPECT_EQ(presenter.Sensor().MinText, GetFahrString(-2));
    const int32_t max = Temp(kSlotCpu).MaxLimit;
    for (int i = 0; i < 3; ++i) {
        presenter.MinSpin(true);
    }
    EXPECT_EQ(Temp(kSlotCpu).MinLimit, 1);
    EXPECT_EQ(Temp(kSlotCpu).MaxLimit, max);
}

TEST_F(OptionsPages, CorrectionStepsFollowThePageKindAfterADiskPage)
{
    state.Disks.DiskCount = 1;
    Assign(kSlotHd0, 0, 0);
    Assign(kSlot3_3V, 1, 2);
    Create();
    Click("HD0");
    presenter.CorrectionSpin(true);
    EXPECT_EQ(presenter.Sensor().CorrectionText, "+1\u00B0C");
    Click("+3.3V");
    EXPECT_EQ(presenter.Sensor().CorrectionText, "+0.0V");
    for (int i = 0; i < 10; ++i) {
        presenter.CorrectionSpin(true);
    }
    EXPECT_EQ(presenter.Sensor().CorrectionText, "+1.0V");
    EXPECT_NEAR(Temp(kSlot3_3V).Correction, 1.0f, 1e-6f);
    for (int i = 0; i < 12; ++i) {
        presenter.CorrectionSpin(false);
    }
    EXPECT_EQ(presenter.Sensor().CorrectionText, "-0.2V");
    EXPECT_EQ(state.Settings.Slots[kSlot3_3V].Correction, 0.0f); // the live block waits for "OK"
}

struct CorrectionCase
{
    float value;
    const char* temperature;
    const char* voltage;
    const char* fan;
};

class CorrectionTexts : public ::testing::TestWithParam<CorrectionCase>
{
};

TEST_P(CorrectionTexts, AreRoundedUpOrToThreeDigitsWithOneDecimal)
{
    const CorrectionCase& c = GetParam();
    EXPECT_EQ(TemperatureCorrectionText(c.value), c.temperature);
    EXPECT_EQ(VoltageCorrectionText(c.value, ","), c.voltage);
    EXPECT_EQ(FanCorrectionText(c.value), c.fan);
}

INSTANTIATE_TEST_SUITE_P(Values, CorrectionTexts,
                         ::testing::Values(CorrectionCase{0.0f, "+0\u00B0C", "+0,0V", "+0 RPM"},
                                           CorrectionCase{0.1f, "+1\u00B0C", "+0,1V", "+1 RPM"},
                                           CorrectionCase{-0.2f, "0\u00B0C", "-0,2V", "0 RPM"},
                                           CorrectionCase{-2.0f, "-2\u00B0C", "-2,0V", "-2 RPM"},
                                           CorrectionCase{12.34f, "+13\u00B0C", "+12,3V", "+13 RPM"},
                                           CorrectionCase{-300.0f, "-300\u00B0C", "-300,0V", "-300 RPM"},
                                           CorrectionCase{std::numeric_limits<float>::quiet_NaN(), "0\u00B0C", "0,0V",
                                                          "0 RPM"}),
                         [](const ::testing::TestParamInfo<CorrectionCase>& info) {
                             const auto& c = info.param;
                             (void)c;
                             return calventa::testnames::CaseName(c.voltage) + "_Volt";
                         });

TEST_F(OptionsPages, FanControlFrameNeedsFanControlModeOnlyWhenThePageOpens)
{
    Assign(kSlotCpuFan, 1, 1);
    state.Settings.FanControl[0] = {kSourceCpu, 40, 0, 1};
    Create();
    Click("CpuFan");
    EXPECT_FALSE(presenter.Sensor().FanFrameVisible);
    presenter.ChipChosen(0); // W83627HF, the only chip with fans, has two PWM outputs
    EXPECT_TRUE(presenter.Sensor().FanFrameVisible);

    state.Flags.FanControlMode = true;
    Click("CpuFan");
    const SensorPage& page = presenter.Sensor();
    EXPECT_TRUE(page.FanFrameVisible);
    EXPECT_EQ(page.RegisterList.Entries, (std::vector<std::string>{"Reg 1", "Reg 2"}));
    EXPECT_EQ(page.RegisterList.Selected, 1);
    EXPECT_EQ(page.SourceSelected, 0);
    EXPECT_EQ(page.NominalText, GetFahrString(40));
    presenter.RegisterChosen(0);
    EXPECT_EQ(state.TempParam.FanControl[0].PwmRegister, 0);

    state.TempParam.FanControl[0].PwmRegister = kNoChip;
    Click("CpuFan");
    EXPECT_FALSE(presenter.Sensor().FanFrameVisible);
}

TEST_F(OptionsPages, NominalIsCappedBySourceOnlyAtTheNextUpStep)
{
    Assign(kSlotCpuFan, 1, 1);
    state.Settings.FanControl[0] = {kSourceCpu, 60, 0, 0};
    Create();
    Click("CpuFan");
    presenter.NominalSpin(true);
    EXPECT_EQ(state.TempParam.FanControl[0].Nominal, 60);
    presenter.SourceChosen(2);
    EXPECT_EQ(state.TempParam.FanControl[0].Source, kSourceAux);
    EXPECT_EQ(state.TempParam.FanControl[0].Nominal, 60);
    presenter.NominalSpin(true);
    EXPECT_EQ(state.TempParam.FanControl[0].Nominal, 45);
    EXPECT_EQ(presenter.Sensor().NominalText, GetFahrString(45));
    state.TempParam.FanControl[0].Nominal = 11;
    presenter.NominalSpin(false);
    presenter.NominalSpin(false);
    EXPECT_EQ(state.TempParam.FanControl[0].Nominal, 10);
}

TEST_F(OptionsPages, FanWarningOnlyOnAUserTickWhileTheLiveBlockAsksForIt)
{
    Assign(kSlotCpuFan, 1, 1);
    state.Settings.FanControl[0] = {kSourceCpu, 40, 1, 0};
    state.Settings.ShowFanWarning = 1;
    Create();
    Click("CpuFan"); // fills the ticked box
    EXPECT_EQ(host.Warnings, 0);
    EXPECT_TRUE(presenter.Sensor().FanControlEnabled);
    presenter.FanControlClick(false);
    EXPECT_EQ(state.TempParam.FanControl[0].Enabled, 0);
    EXPECT_EQ(host.Warnings, 0);
    presenter.FanControlClick(true);
    EXPECT_EQ(host.Warnings, 1);
    EXPECT_EQ(state.TempParam.FanControl[0].Enabled, 1);

    presenter.FanControlClick(false);
    NoticeOkClick(state, NoticeKind::FanWarning, true); // the working copy still says 1
    presenter.FanControlClick(true);
    EXPECT_EQ(host.Warnings, 1);
    EXPECT_EQ(state.TempParam.FanControl[0].Enabled, 1);
}

TEST_F(OptionsPages, ReopeningKeepsAStaleSensorPageAboveTheGeneralPage)
{
    Assign(kSlotCpu, 1, 2);
    Create();
    EXPECT_EQ(presenter.TopPage(), OptionsPage::General);
    Click("Cpu");
    EXPECT_FALSE(presenter.PageVisible(OptionsPage::General));
    const std::string before = presenter.Sensor().MinText;

    state.Settings.Slots[kSlotCpu].MinLimit += 5;
    state.CopyToTempParam();
    presenter.ShowMainOptions();
    EXPECT_TRUE(presenter.PageVisible(OptionsPage::General));
    EXPECT_EQ(presenter.TopPage(), OptionsPage::Sensor);
    EXPECT_EQ(presenter.Sensor().MinText, before);
    Click("General");
    EXPECT_EQ(presenter.TopPage(), OptionsPage::General);
}

TEST_F(OptionsPages, IntervalSpinsClampOnlyTheirFirstStepIntoTheRange)
{
    state.Settings.DiskInterval = 30;
    state.Settings.SensorInterval = 600;
    Create();
    EXPECT_EQ(presenter.General().DiskIntervalText, "30");
    presenter.DiskIntervalSpin(false);
    EXPECT_EQ(state.TempParam.DiskInterval, 60);
    state.TempParam.DiskInterval = 30;
    presenter.DiskIntervalSpin(true);
    EXPECT_EQ(presenter.General().DiskIntervalText, "31");
    presenter.SensorIntervalSpin(true);
    EXPECT_EQ(state.TempParam.SensorInterval, 600);
    state.TempParam.SensorInterval = 3;
    presenter.SensorIntervalSpin(false);
    EXPECT_EQ(state.TempParam.SensorInterval, 3);
}

TEST_F(OptionsPages, TrackBarSetsOpacityAtOnceAndNotOnWindows9x)
{
    state.Settings.Alpha = 5;
    Create();
    EXPECT_EQ(host.Opacity, (std::vector<int>{242}));
    presenter.AlphaMoved(94);
    presenter.AlphaMoved(0);
    EXPECT_EQ(host.Opacity, (std::vector<int>{242, 15, 255}));
    EXPECT_EQ(state.TempParam.Alpha, 0);
    EXPECT_EQ(state.Settings.Alpha, 5);

    machine.Facts.FamilyValue = platform::PlatformFamily::Windows9x;
    state.CopyToTempParam();
    presenter.ShowMainOptions();
    EXPECT_FALSE(presenter.General().AlphaEnabled);
    EXPECT_EQ(state.TempParam.Alpha, 0);
}

TEST_F(OptionsPages, GeneralPageFillsFromTheWorkingCopy)
{
    state.Settings.WindowMode = 1;
    state.Settings.WindowStyle = 1;
    state.Settings.TraySource = kSourceAux;
    state.Settings.TrayFahrenheit = 1;
    state.Settings.TrayColor = 0x0000FF;
    Create();
    const GeneralPage& page = presenter.General();
    EXPECT_EQ(page.WindowMode, 1);
    EXPECT_FALSE(page.StyleNormalChecked);
    EXPECT_FALSE(page.StyleFrameVisible);
    EXPECT_EQ(page.TraySourceSelected, 2);
    EXPECT_TRUE(page.Fahrenheit);
    EXPECT_EQ(page.TrayColor, 0x0000FF);
    presenter.WindowModeClick(0);
    presenter.TraySourceChosen(1);
    presenter.TrayUnitClick(false);
    presenter.TrayColorChosen(0x00FF00);
    presenter.StartMinimizedClick(true);
    EXPECT_EQ(state.TempParam.WindowMode, 0);
    EXPECT_EQ(state.TempParam.TraySource, kSourceSys);
    EXPECT_EQ(state.TempParam.TrayFahrenheit, 0);
    EXPECT_EQ(state.TempParam.TrayColor, 0x00FF00);
    EXPECT_EQ(state.TempParam.StartMinimized, 1);
    EXPECT_EQ(state.Settings.WindowMode, 1);
}

TEST_F(OptionsPages, RunWithWindowsShowsTheEntryAndIsUsableOnlyWithWriteAccess)
{
    auto& autorun = machine.Store.Keys[platform::StoreKeyId::Autorun];
    autorun.Values[kAutorunValue] = std::string("/old/calventa");
    autorun.WriteAllowed = false;
    Create();
    EXPECT_TRUE(presenter.General().RunWithWindows);
    EXPECT_FALSE(presenter.General().RunWithWindowsEnabled);

    autorun.WriteAllowed = true;
    presenter.ShowMainOptions();
    EXPECT_TRUE(presenter.General().RunWithWindowsEnabled);
    EXPECT_FALSE(autorun.Values.contains(kAutorunProbeValue));
    presenter.RunWithWindowsClick(false);
    EXPECT_FALSE(presenter.General().RunWithWindows);
    EXPECT_FALSE(autorun.Values.contains(kAutorunValue));

    autorun.FailWrites = true;
    presenter.RunWithWindowsClick(true);
    EXPECT_EQ(host.Messages, (std::vector<std::string>{"Failed to set data for 'Calventa'"}));
    EXPECT_TRUE(presenter.General().RunWithWindows); // stays ticked although nothing was written
    autorun.FailWrites = false;
    presenter.RunWithWindowsClick(true);
    EXPECT_EQ(std::get<std::string>(autorun.Values[kAutorunValue]), machine.Facts.Executable);
}

} // namespace
} // namespace calventa::core
