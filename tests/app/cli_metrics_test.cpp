// The exposition text of calventa-cli: escaping, sample values, and the samples a monitor's
// rows give (the same numbers the window shows).
#include "cli/cli_metrics.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>

#include <gtest/gtest.h>

#include "../disks/disk_fakes.h"
#include "cli/cli_output.h"
#include "case_name.h"
#include "core/settings_block.h"
#include "monitor_on_board.h"

namespace calventa::app {
namespace {

struct TextCase
{
    const char* name;
    std::string input;
    std::string expected;
};

class LabelEscaping : public ::testing::TestWithParam<TextCase>
{
};

TEST_P(LabelEscaping, GivesValidUtf8WithTheThreeEscapes)
{
    EXPECT_EQ(EscapeLabelValue(GetParam().input), GetParam().expected);
}

const std::string kReplacement = "\xEF\xBF\xBD";

INSTANTIATE_TEST_SUITE_P(
    Texts, LabelEscaping,
    ::testing::Values(TextCase{"plain", "SIM DISK 1", "SIM DISK 1"}, TextCase{"backslash", R"(C:\disk)", R"(C:\\disk)"},
                      TextCase{"double quote", R"(say "hi")", R"(say \"hi\")"},
                      TextCase{"line feed", "a\nb", R"(a\nb)"},
                      TextCase{"degree sign kept",
                               "45 \xC2\xB0"
                               "C",
                               "45 \xC2\xB0"
                               "C"},
                      TextCase{"lone continuation byte", "a\x80z", "a" + kReplacement + "z"},
                      TextCase{"sequence cut at the end", "ab\xE2\x82", "ab" + kReplacement + kReplacement},
                      TextCase{"overlong slash", "\xC0\xAF", kReplacement + kReplacement},
                      TextCase{"surrogate", "\xED\xA0\x80", kReplacement + kReplacement + kReplacement},
                      TextCase{"beyond U+10FFFF", "\xF4\x90\x80\x80",
                               kReplacement + kReplacement + kReplacement + kReplacement}),
    [](const ::testing::TestParamInfo<TextCase>& info) { return testnames::CaseName(info.param.name); });

struct ValueCase
{
    const char* name;
    double value;
    const char* expected;
};

class SampleValues : public ::testing::TestWithParam<ValueCase>
{
};

TEST_P(SampleValues, ShortestTextThatReadsBack)
{
    EXPECT_EQ(SampleValue(GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, SampleValues,
    ::testing::Values(ValueCase{"whole", 45, "45"}, ValueCase{"negative", -12.02982, "-12.02982"},
                      ValueCase{"needs seventeen digits", 0.1 + 0.2, "0.30000000000000004"},
                      ValueCase{"ratio", 0.7, "0.7"}, ValueCase{"zero", 0.0, "0"},
                      ValueCase{"not a number", std::numeric_limits<double>::quiet_NaN(), "NaN"},
                      ValueCase{"plus infinity", std::numeric_limits<double>::infinity(), "+Inf"},
                      ValueCase{"minus infinity", -std::numeric_limits<double>::infinity(), "-Inf"}),
    [](const ::testing::TestParamInfo<ValueCase>& info) { return testnames::CaseName(info.param.name); });

// The lines of one metric family, and the families in the order they appear.
std::vector<std::string> Lines(const std::string& text, const std::string& prefix)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with(prefix)) {
            lines.push_back(line);
        }
    }
    return lines;
}

// A kernel board: temperature and fan inputs, one disk whose model needs escaping.
constexpr const char* kBoard = R"({
  "port_access": false,
  "disks": [ { "drive": 0, "model": "SIM \"FAST\" DISK", "serial": "S\\N1", "temperature": 39, "attribute_entry": 0 } ],
  "kernel": { "devices": [ { "name": "nct6798", "bus_path": "platform/nct6775.656",
    "inputs": [ { "kind": "temp", "number": 1, "label": "SYSTIN", "value": 45 },
                { "kind": "temp", "number": 2, "label": "CPUTIN", "value": 71 },
                { "kind": "in", "number": 0, "label": "Vcore", "value": 1.152 },
                { "kind": "fan", "number": 1, "value": 900 } ],
    "pwm": [ { "number": 1, "enable": 5, "value": 100 } ] } ] } })";

class MetricsOnBoard : public ::testing::Test
{
protected:
    explicit MetricsOnBoard(const char* json = kBoard)
        : drives(disks::testing::Board(json)), diskPlatform{drives, services}, board(json), monitor(*board.monitor)
    {
        monitor.AttachDisks(diskPlatform, notices, messages);
        monitor.StartUp(std::string("/sim"));
        monitor.AlarmWindowCreated();
    }

    sim::SimDisks drives;
    disks::testing::FakeServiceManager services;
    disks::testing::RecordingNotices notices;
    disks::testing::RecordingMessages messages;
    platform::DiskPlatform diskPlatform;
    testing::MonitorOnBoard board;
    Monitor& monitor;
};

TEST_F(MetricsOnBoard, EveryShownRowHasItsWindowValueAndEachFamilyStaysTogether)
{
    const std::string text = CliMetrics(monitor);
    const auto& window = monitor.MainWindow();
    ASSERT_FALSE(window.Layout().Rows.empty());
    for (const core::MainWindowRow& row : window.Layout().Rows) {
        const core::MainWindowValue& value = window.Value(row.Slot);
        const std::string slotLabel = std::string("slot=\"") + core::SlotName(row.Slot) + "\"";
        bool found = false;
        for (const std::string& line : Lines(text, "calventa_")) {
            if (line.find(slotLabel) != std::string::npos && !line.starts_with("calventa_alarm") &&
                !line.starts_with("calventa_fan_duty")) {
                EXPECT_FALSE(found) << "two samples for " << slotLabel;
                found = true;
                ASSERT_TRUE(value.Reading.has_value()) << line;
                EXPECT_EQ(std::stod(line.substr(line.rfind(' ') + 1)), *value.Reading) << line;
            }
        }
        EXPECT_EQ(found, value.Reading.has_value()) << slotLabel;
        EXPECT_EQ(Lines(text, "calventa_alarm{" + slotLabel + "} ").size(), 1u) << slotLabel;
    }
    // Each family: HELP, TYPE, then its samples with nothing of another family between.
    std::vector<std::string> seen;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const std::string name =
            line.starts_with("# ") ? line.substr(7, line.find(' ', 7) - 7) : line.substr(0, line.find_first_of("{ "));
        if (seen.empty() || seen.back() != name) {
            EXPECT_EQ(std::count(seen.begin(), seen.end(), name), 0) << name << " split";
            seen.push_back(name);
            EXPECT_TRUE(line.starts_with("# HELP " + name + " ")) << line;
        }
    }
}

TEST_F(MetricsOnBoard, DiskRowsCarryDriveModelAndSerialEscaped)
{
    const auto lines = Lines(CliMetrics(monitor), "calventa_disk_temperature_celsius{");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], R"(calventa_disk_temperature_celsius{slot="HD0",drive="0",kind="ata",)"
                        R"(model="SIM \"FAST\" DISK",serial="S\\N1"} 39)");
}

// An ATA disk and an NVMe controller whose entry in the drive list carries the NVMe flag.
constexpr const char* kDiskBoard = R"({
  "port_access": false,
  "disks": [ { "drive": 0, "model": "SIM SATA", "serial": "SA1", "temperature": 41 },
             { "kind": "nvme", "drive": 1, "model": "SIM NVME", "serial": "NV1", "temperature": 38 } ],
  "kernel": { "devices": [ { "name": "coretemp", "bus_path": "platform/coretemp.0",
    "inputs": [ { "kind": "temp", "number": 1, "label": "Package id 0", "value": 47 } ] } ] } })";

class MetricsOnDiskBoard : public MetricsOnBoard
{
protected:
    MetricsOnDiskBoard() : MetricsOnBoard(kDiskBoard) {}
};

TEST_F(MetricsOnDiskBoard, EachDiskIsLabelledWithTheDriveAndKindTheJsonNames)
{
    const auto lines = Lines(CliMetrics(monitor), "calventa_disk_temperature_celsius{");
    const nlohmann::ordered_json disks = CliJson(monitor, nullptr, false)["disks"];
    ASSERT_EQ(disks.size(), 2u);
    ASSERT_EQ(lines.size(), disks.size());
    for (const auto& disk : disks) {
        const std::string labels = "drive=\"" + std::to_string(disk["drive"].get<int>()) + "\",kind=\"" +
                                   disk["kind"].get<std::string>() + "\",model=\"" + disk["model"].get<std::string>() +
                                   "\"";
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [&](const std::string& line) { return line.find(labels) != std::string::npos; }),
                  1)
            << labels;
    }
    EXPECT_EQ(lines[1], R"(calventa_disk_temperature_celsius{slot="HD1",drive="1",kind="nvme",)"
                        R"(model="SIM NVME",serial="NV1"} 38)");
}

TEST_F(MetricsOnBoard, AKernelDeviceIsAChipWithItsBusPath)
{
    const auto lines = Lines(CliMetrics(monitor), "calventa_chip_info{");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0],
              R"(calventa_chip_info{chip="0",name="nct6798",bus="kernel",bus_path="platform/nct6775.656"} 1)");
}

TEST_F(MetricsOnBoard, AFailedReadLeavesOutTheSampleButNotTheAlarm)
{
    const std::string before = CliMetrics(monitor);
    const auto shown = Lines(before, "calventa_temperature_celsius{slot=\"Sys\"");
    ASSERT_EQ(shown.size(), 1u) << before;
    board.sim->SetKernelInput(0, 0, std::nullopt); // SYSTIN, the Sys row
    monitor.UpdatePass();
    const std::string after = CliMetrics(monitor);
    EXPECT_TRUE(Lines(after, "calventa_temperature_celsius{slot=\"Sys\"").empty()) << after;
    EXPECT_EQ(Lines(after, "calventa_alarm{slot=\"Sys\"} 0").size(), 1u) << after;
}

TEST_F(MetricsOnBoard, ARowOutsideItsLimitsHasItsAlarmAtOne)
{
    monitor.State().Settings.Slots[core::kSlotSys].AlarmEnabled = 1;
    board.sim->SetKernelInput(0, 0, 95.0); // above Sys's default maximum
    monitor.UpdatePass();
    ASSERT_TRUE(monitor.MainWindow().Value(core::kSlotSys).Red);
    EXPECT_EQ(Lines(CliMetrics(monitor), "calventa_alarm{slot=\"Sys\"} 1").size(), 1u);
}

TEST(Metrics, FanControlGivesTheDutyAsARatio)
{
    testing::MonitorOnBoard board(testing::kWinbondAt40);
    core::SettingsBlock& settings = board.monitor->State().Settings;
    board.monitor->StartUp(std::string("/sim"));
    settings.FanControl[0] = {core::kSourceCpu, 40, 1, 0};
    board.monitor->BuildMainWindow();
    board.monitor->UpdatePass();
    const auto& fan = board.monitor->MainWindow().Value(core::kSlotCpuFan);
    ASSERT_TRUE(fan.PowerPercent.has_value());
    const auto lines = Lines(CliMetrics(*board.monitor), "calventa_fan_duty_ratio{slot=\"CpuFan\"");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(lines[0].rfind(' ') + 1), SampleValue(*fan.PowerPercent / 100.0));
}

} // namespace
} // namespace calventa::app
