#include "core/plot_axes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/alarms.h"
#include "core/fakes.h"
#include "core/history.h"
#include "core/history_export.h"
#include "core/main_window_presenter.h"

namespace calventa::core {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr int64_t kStart = 1102514730; // 2004-12-08T14:05:30

HistoryPlot PlotOf(std::initializer_list<float> values, bool limits = false, float low = 0, float high = 0)
{
    HistoryPlot plot{"Temperatures",
                     "\xC2\xB0"
                     "C",
                     {}};
    HistoryLine line;
    line.Caption = "CPU";
    int64_t time = kStart;
    for (const float value : values) {
        line.Points.push_back({time, value, value, value});
        time += 3;
    }
    line.HasLimits = limits;
    line.LowLimit = low;
    line.HighLimit = high;
    plot.Lines.push_back(line);
    return plot;
}

// The ticks step evenly from Low to High by 1, 2 or 5 times a power of ten.
void ExpectRoundTicks(const PlotAxes& axes)
{
    ASSERT_GE(axes.ValueTicks.size(), 2u);
    EXPECT_EQ(axes.ValueTicks.front().Value, axes.Low);
    EXPECT_NEAR(axes.ValueTicks.back().Value, axes.High, 1e-9);
    const double step = axes.ValueTicks[1].Value - axes.ValueTicks[0].Value;
    const double mantissa = step / std::pow(10.0, std::floor(std::log10(step)));
    EXPECT_TRUE(std::fabs(mantissa - 1) < 1e-9 || std::fabs(mantissa - 2) < 1e-9 || std::fabs(mantissa - 5) < 1e-9)
        << step;
    for (const AxisTick& tick : axes.ValueTicks) {
        EXPECT_NE(tick.Label, "-0");
    }
}

TEST(PlotAxesTest, TheRangeHoldsEveryReadingAndEveryAlarmLimitWithRoundTicks)
{
    const PlotAxes readings = ComputePlotAxes(PlotOf({41, 45, kNaN, 43}), kStart, kStart + 600);
    EXPECT_TRUE(readings.AnyPoint);
    EXPECT_LT(readings.Low, 41);
    EXPECT_GT(readings.High, 45);
    ExpectRoundTicks(readings);

    const PlotAxes withLimits = ComputePlotAxes(PlotOf({41, 45}, true, -10, 70), kStart, kStart + 600);
    EXPECT_LE(withLimits.Low, -10);
    EXPECT_GE(withLimits.High, 70);
    ExpectRoundTicks(withLimits);
    EXPECT_EQ(withLimits.ValueTicks.front().Label, "-50"); // -13.2 .. 73.2 in steps of 50
}

TEST(PlotAxesTest, AFlatLineOrNoReadingStillGetsARangeOfItsOwn)
{
    const PlotAxes flat = ComputePlotAxes(PlotOf({12, 12, 12}), kStart, kStart + 600);
    EXPECT_LT(flat.Low, 12);
    EXPECT_GT(flat.High, 12);
    ExpectRoundTicks(flat);

    const PlotAxes none = ComputePlotAxes(PlotOf({kNaN, kNaN}), kStart, kStart + 600);
    EXPECT_FALSE(none.AnyPoint);
    EXPECT_LE(none.Low, 0);
    EXPECT_GE(none.High, 1);
    ExpectRoundTicks(none);
    EXPECT_FALSE(ComputePlotAxes(HistoryPlot{}, 0, 0).AnyPoint);
}

TEST(PlotAxesTest, TimeTicksFallOnRoundClockTimesInsideTheSpan)
{
    const PlotAxes tenMinutes = ComputePlotAxes(PlotOf({40}), kStart, kStart + 600);
    ASSERT_EQ(tenMinutes.TimeTicks.size(), 5u);
    EXPECT_EQ(tenMinutes.TimeTicks.front().Label, "14:06");
    EXPECT_EQ(tenMinutes.TimeTicks.back().Label, "14:14");
    for (const AxisTick& tick : tenMinutes.TimeTicks) {
        EXPECT_GT(tick.Value, kStart);
        EXPECT_LE(tick.Value, kStart + 600);
    }
    const PlotAxes day = ComputePlotAxes(PlotOf({40}), kStart, kStart + 24 * 3600);
    EXPECT_EQ(day.TimeTicks.front().Label, "16:00");
    EXPECT_EQ(day.TimeTicks.size(), 6u);
    // A clock gone wrong gives labels, never a crash or an endless list.
    EXPECT_LE(ComputePlotAxes(PlotOf({40}), INT64_MIN / 4, INT64_MIN / 4 + 600).TimeTicks.size(), 5u);
    EXPECT_TRUE(ComputePlotAxes(PlotOf({40}), kStart + 600, kStart).TimeTicks.empty());
}

TEST(PlotAxesTest, HeadingNamesThePlotAndItsUnit)
{
    EXPECT_EQ(PlotHeading(PlotOf({1})), "Temperatures (\xC2\xB0"
                                        "C)");
}

// "Export CSV..": the shared writer's bytes in the file, or the user's message when the file
// could not be written.
TEST(HistoryExportTest, WritesTheSharedCsvOrSaysWhyNot)
{
    fake::FakeMachine machine;
    MonitorState state{machine.Machine};
    state.SetDefaultSettings();
    AlarmFlags alarms;
    MainWindowPresenter window;
    window.BuildMainWindow(state, alarms);
    SensorHistory history;
    fake::FakeFileSystem files;

    EXPECT_EQ(ExportHistory(history, state, window, HistorySpan::OneHour, files, "/out/h.csv"), std::nullopt);
    const std::string csv = HistoryCsv(BuildHistoryContent(history, state, window, HistorySpan::OneHour));
    EXPECT_EQ(files.Files.at("/out/h.csv"), std::vector<uint8_t>(csv.begin(), csv.end()));

    files.Uncreatable.insert("/locked/h.csv");
    const std::optional<std::string> error =
        ExportHistory(history, state, window, HistorySpan::OneHour, files, "/locked/h.csv");
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, "The history could not be saved as \"/locked/h.csv\". Choose a folder you may write to.");
    EXPECT_FALSE(files.Files.contains("/locked/h.csv"));
}

} // namespace
} // namespace calventa::core
