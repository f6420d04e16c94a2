// The account of a start-up that found nothing: what was looked at, why nothing came back, and
// where the window and the tray tip say it.
#include <gtest/gtest.h>

#include "core/fakes.h"
#include "core/findings.h"
#include "core/main_window_presenter.h"
#include "core/tray_presenter.h"

namespace calventa::core {
namespace {

SearchFindings NothingAnywhere()
{
    SearchFindings findings;
    findings.Ports = PortSearchOutcome::Refused;
    findings.PortNotes = {"iopl refused port access (Operation not permitted): it needs CAP_SYS_RAWIO"};
    findings.Disks = DiskSearchOutcome::ServiceNotInstalled;
    return findings;
}

TEST(NothingFoundReport, AnyFindAnywhereLeavesTheReportEmpty)
{
    SearchFindings ports = NothingAnywhere();
    ports.Ports = PortSearchOutcome::Found;
    SearchFindings kernel = NothingAnywhere();
    kernel.KernelDevices = 1;
    SearchFindings disks = NothingAnywhere();
    disks.Disks = DiskSearchOutcome::Found;
    for (const SearchFindings& findings : {ports, kernel, disks}) {
        EXPECT_TRUE(BuildNothingFoundReport(findings).Empty());
    }
    EXPECT_FALSE(BuildNothingFoundReport(NothingAnywhere()).Empty());
}

TEST(NothingFoundReport, SaysWhyForEachPlaceLookedAtWithTheNextStep)
{
    const NothingFoundReport report = BuildNothingFoundReport(NothingAnywhere());
    ASSERT_EQ(report.Lines.size(), 3u);
    EXPECT_EQ(report.Lines[0].Short, "no sensor driver loaded");
    EXPECT_EQ(report.Lines[0].Text, "No devices in /sys/class/hwmon: no sensor driver is loaded for this board. "
                                    "Run sudo sensors-detect and load the kernel module it names.");
    // The system's own reason is carried through.
    EXPECT_EQ(report.Lines[1].Short, "port access refused");
    EXPECT_NE(report.Lines[1].Text.find("(iopl refused port access (Operation not permitted): it needs CAP_SYS_RAWIO)"),
              std::string::npos);
    EXPECT_EQ(report.Lines[2].Short, "disk service not installed");
    EXPECT_NE(report.Lines[2].Text.find("sudo calventasvc --install"), std::string::npos);
    EXPECT_EQ(report.Tip("\r\n"),
              "No sensors found\r\nno sensor driver loaded\r\nport access refused\r\ndisk service not installed");
}

TEST(NothingFoundReport, EachDiskOutcomeHasItsOwnStep)
{
    struct Case
    {
        DiskSearchOutcome Disks;
        const char* Short;
        const char* Step;
    };
    for (const Case& c :
         {Case{DiskSearchOutcome::ServiceNotRunning, "disk service not running", "sudo systemctl start calventasvc"},
          Case{DiskSearchOutcome::ServiceUnknown, "disk service unreachable", "systemctl status calventasvc"},
          Case{DiskSearchOutcome::NoDrive, "no drive", "No drive answered"}}) {
        SearchFindings findings = NothingAnywhere();
        findings.Disks = c.Disks;
        const NothingFoundReport report = BuildNothingFoundReport(findings);
        ASSERT_EQ(report.Lines.size(), 3u);
        EXPECT_EQ(report.Lines[2].Short, c.Short);
        EXPECT_NE(report.Lines[2].Text.find(c.Step), std::string::npos) << report.Lines[2].Text;
    }
    // A monitor that never looked at drives says nothing about them.
    SearchFindings findings = NothingAnywhere();
    findings.Disks = DiskSearchOutcome::NotLooked;
    EXPECT_EQ(BuildNothingFoundReport(findings).Lines.size(), 2u);
}

TEST(NothingFoundReport, PortsThatAnsweredNothingNameTheRangesADriverHolds)
{
    SearchFindings findings = NothingAnywhere();
    findings.Ports = PortSearchOutcome::NothingAnswered;
    findings.PortNotes = {"Port 0295-0296 claimed by w83627hf, not used"};
    const NothingFoundReport report = BuildNothingFoundReport(findings);
    EXPECT_EQ(report.Lines[1].Short, "no chip on the ports");
    EXPECT_EQ(report.Lines[1].Text, "No monitoring chip answered on the ISA ports 0x295/0x296 or on the SMBus "
                                    "(Port 0295-0296 claimed by w83627hf, not used).");
}

TEST(NothingFoundReport, AnIdentifiedChipNamesItsKernelModule)
{
    EXPECT_EQ(KernelModuleOfChip("W83627THF"), "w83627hf");
    EXPECT_EQ(KernelModuleOfChip("W83627EHF"), "w83627ehf");
    EXPECT_EQ(KernelModuleOfChip("AS99127F rev2"), "w83781d");
    EXPECT_EQ(KernelModuleOfChip("ITE8712F"), "it87");
    EXPECT_EQ(KernelModuleOfChip("LM75"), "lm75");
    EXPECT_EQ(KernelModuleOfChip("nct6798"), "");
    EXPECT_EQ(NoHwmonDevicesText("ASB100"), "No devices in /sys/class/hwmon: no sensor driver is loaded for this "
                                            "board. Load the asb100 kernel module: sudo modprobe asb100.");
}

TEST(FoldText, BreaksAtSpacesWithinTheWidthAndKeepsALongWordWhole)
{
    EXPECT_EQ(FoldText("one two three four", 9), (std::vector<std::string>{"one two", "three", "four"}));
    EXPECT_EQ(FoldText("a /sys/class/hwmon b", 5), (std::vector<std::string>{"a", "/sys/class/hwmon", "b"}));
    EXPECT_EQ(FoldText("  spaced   out ", 40), (std::vector<std::string>{"spaced out"}));
    EXPECT_TRUE(FoldText("", 10).empty());
}

class NothingFoundWindow : public ::testing::Test
{
protected:
    NothingFoundWindow()
    {
        state.SetDefaultSettings();
        for (int slot = 0; slot < kSlotCount; ++slot) {
            if (KindOfSlot(slot) != SlotKind::Disk) {
                state.Settings.Slots[static_cast<size_t>(slot)].Chip = kNoChip;
            }
        }
    }

    fake::FakeMachine machine;
    MonitorState state{machine.Machine};
    AlarmFlags alarms;
    MainWindowPresenter window;
};

TEST_F(NothingFoundWindow, AWindowWithoutRowsShowsTheReportFoldedInAPanel)
{
    const NothingFoundReport report = BuildNothingFoundReport(NothingAnywhere());
    window.SetNothingFound(report);
    window.BuildMainWindow(state, alarms);
    const MainWindowLayout& layout = window.Layout();
    ASSERT_TRUE(layout.Notice.Visible);
    EXPECT_EQ(layout.Notice.Lines.front(), "No sensors found:");
    std::string joined;
    for (const std::string& line : layout.Notice.Lines) {
        EXPECT_LE(line.size(), static_cast<size_t>(kNoticeCharactersPerLine)) << line;
        joined += (joined.empty() ? "" : " ") + line;
    }
    std::string whole = "No sensors found:";
    for (const FindingLine& line : report.Lines) {
        whole += " " + line.Text;
    }
    EXPECT_EQ(joined, whole); // nothing lost in the fold
    EXPECT_EQ(layout.Notice.Top, 3);
    EXPECT_EQ(layout.Notice.Height,
              2 * kNoticeFirstLineY + static_cast<int>(layout.Notice.Lines.size()) * kNoticeLineHeight);
    EXPECT_EQ(layout.Height, 3 + layout.Notice.Height + 3 + 20);
}

TEST_F(NothingFoundWindow, RowsOrAnEmptyReportKeepTheDescribedWindow)
{
    window.BuildMainWindow(state, alarms);
    EXPECT_FALSE(window.Layout().Notice.Visible);
    EXPECT_EQ(window.Layout().Height, 23);

    window.SetNothingFound(BuildNothingFoundReport(NothingAnywhere()));
    state.Disks.DiskCount = 1; // HD0 is enabled by default: one row
    window.BuildMainWindow(state, alarms);
    EXPECT_FALSE(window.Layout().Notice.Visible);
}

TEST_F(NothingFoundWindow, TheTrayTipSaysWhyOnlyWhereNoTemperatureFillsIt)
{
    const NothingFoundReport report = BuildNothingFoundReport(NothingAnywhere());
    EXPECT_EQ(ShowTray(state).Tip, "");
    EXPECT_EQ(ShowTray(state, report).Tip, report.Tip("\r\n"));
    EXPECT_FALSE(ShowTray(state, report).Icon.has_value());

    state.Chips.ChipCount = 1;
    state.Settings.Slots[kSlotCpu].Chip = 0;
    state.Settings.Slots[kSlotCpu].Channel = 1;
    EXPECT_EQ(ShowTray(state, report).Tip, ShowTray(state).Tip);
    EXPECT_NE(ShowTray(state, report).Tip.find("CPU: "), std::string::npos);
}

} // namespace
} // namespace calventa::core
