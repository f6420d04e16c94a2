// calventa-cli's readable output, built from the same presenters as the window.
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "../case_name.h"
#include "cli/cli_output.h"
#include "monitor_on_board.h"

namespace calventa::app {
namespace {

using namespace core;

// The demo board: a W83627HF on ISA (Cpu 43 °C, fan 1 4219 RPM) and an LM75 on SMBus.
std::string DemoBoard()
{
    std::ifstream file(std::string(CALVENTA_SOURCE_DIR) + "/boards/demo.json");
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

constexpr const char* kDegrees = "\xC2\xB0";

class CliPlainTextTest : public ::testing::Test, protected testing::MonitorOnBoard
{
protected:
    CliPlainTextTest() : MonitorOnBoard(DemoBoard())
    {
        monitor->StartUp(std::string("/sim"));
        monitor->AlarmWindowCreated();
    }
    // Cpu above its upper limit and fan 1 under fan control from it, then one pass.
    void RaiseCpuAlarmWithFanControl()
    {
        SensorSlot& cpu = monitor->State().Settings.Slots[kSlotCpu];
        cpu.MaxLimit = 35;
        cpu.AlarmEnabled = 1;
        monitor->State().Settings.FanControl[0] = {kSourceCpu, 45, 1, 0};
        monitor->UpdatePass();
    }
    size_t At(const std::string& text, const std::string& part) const
    {
        const size_t at = text.find(part);
        EXPECT_NE(at, std::string::npos) << "no \"" << part << "\" in\n" << text;
        return at;
    }
};

TEST_F(CliPlainTextTest, ListsChipsFirstThenEachPanelUnderItsHeading)
{
    const std::string text = CliPlainText(*monitor, false);
    EXPECT_EQ(text.rfind("Chips\n  W83627HF on ISA\n  LM75 on SMBus 0x48\nTemperatures\n", 0), 0u) << text;
    const size_t temperatures = At(text, "\nTemperatures\n");
    const size_t fans = At(text, "\nFans\n");
    const size_t voltages = At(text, "\nVoltages\n");
    const size_t tray = At(text, "\nTray: ");
    EXPECT_LT(temperatures, fans);
    EXPECT_LT(fans, voltages);
    EXPECT_LT(voltages, tray);
    // Fan "CPU :" comes after the Fans heading, temperature "CPU :" before it.
    EXPECT_LT(At(text, std::string("CPU :    43 ") + kDegrees), fans);
    EXPECT_GT(At(text, "CPU :    4219 RPM\n"), fans);
}

TEST_F(CliPlainTextTest, AlignsEveryValueAfterTheWidestCaption)
{
    const std::string text = CliPlainText(*monitor, false);
    // "VCoreA :" is the widest caption: every value starts one column after it.
    const size_t column = std::string("  VCoreA : ").size();
    EXPECT_NE(text.find("\n  VCoreA : 1.50 V\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n  +5V :    5.00 V\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n  SYS :    "), std::string::npos) << text;
    EXPECT_EQ(std::string("  +5V :    ").size(), column);
}

TEST_F(CliPlainTextTest, PutsThePowerLineUnderItsFanInTheValueColumn)
{
    RaiseCpuAlarmWithFanControl();
    const std::string power = monitor->MainWindow().Value(kSlotCpuFan).Power;
    ASSERT_EQ(power.rfind("Power = ", 0), 0u);
    const std::string text = CliPlainText(*monitor, false);
    EXPECT_NE(text.find("  CPU :    4219 RPM\n           " + power + "\n  SYS :"), std::string::npos) << text;
}

TEST_F(CliPlainTextTest, MarksAlarmRowsWithoutColour)
{
    RaiseCpuAlarmWithFanControl();
    const std::string text = CliPlainText(*monitor, false);
    EXPECT_NE(text.find(std::string("\n! CPU :    43 ") + kDegrees + "C"), std::string::npos) << text;
    EXPECT_NE(text.find(std::string("\nAlarms\n! CPU temperature is 43 ") + kDegrees + "C"), std::string::npos) << text;
    EXPECT_NE(text.find("\n  SYS :"), std::string::npos) << text; // rows in range keep the indent
    EXPECT_EQ(text.find('\033'), std::string::npos) << text;
}

TEST_F(CliPlainTextTest, ColoursAlarmRowsRedOnATerminal)
{
    RaiseCpuAlarmWithFanControl();
    const std::string text = CliPlainText(*monitor, true);
    EXPECT_NE(text.find(std::string("\n  CPU :    \033[1;31m43 ") + kDegrees + "C / 110 " + kDegrees + "F\033[0m\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("\n! "), std::string::npos) << text;
    EXPECT_EQ(text.find("SYS :    \033"), std::string::npos) << text;
}

TEST_F(CliPlainTextTest, NoAlarmsHeadingWithoutAlarms)
{
    EXPECT_EQ(CliPlainText(*monitor, true).find("Alarms"), std::string::npos);
}

TEST(CliPlainTextNoChip, SaysNoChipWasFoundAndListsNoDisks)
{
    testing::MonitorOnBoard board(R"({"port_access": false})");
    board.monitor->StartUp(std::string("/sim"));
    const std::string text = CliPlainText(*board.monitor, false);
    EXPECT_EQ(text.rfind("Chips\n  none found\n", 0), 0u) << text;
    EXPECT_EQ(text.find("Disks"), std::string::npos) << text;
    EXPECT_EQ(text.find("Temperatures"), std::string::npos) << text; // no rows, no heading
}

struct ColourCase
{
    const char* name;
    bool terminal;
    const char* noColor;
    bool colour;
};

class PlainTextColour : public ::testing::TestWithParam<ColourCase>
{
};

TEST_P(PlainTextColour, FollowsTheTerminalAndNoColor)
{
    EXPECT_EQ(PlainTextInColour(GetParam().terminal, GetParam().noColor), GetParam().colour);
}

INSTANTIATE_TEST_SUITE_P(Cases, PlainTextColour,
                         ::testing::Values(ColourCase{"terminal", true, nullptr, true},
                                           ColourCase{"pipe", false, nullptr, false},
                                           ColourCase{"terminal with NO_COLOR=1", true, "1", false},
                                           ColourCase{"terminal with NO_COLOR empty", true, "", true},
                                           ColourCase{"pipe with NO_COLOR=1", false, "1", false}),
                         [](const ::testing::TestParamInfo<ColourCase>& testCase) {
                             return testnames::CaseName(testCase.param.name);
                         });

} // namespace
} // namespace calventa::app
