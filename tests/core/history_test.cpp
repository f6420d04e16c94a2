#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "case_name.h"
#include "core/alarms.h"
#include "core/fakes.h"
#include "core/history.h"
#include "core/history_presenter.h"
#include "core/main_window_presenter.h"

namespace calventa::core {
namespace {

const std::string kDeg = "\xC2\xB0";
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// A monitor on fakes showing CPU (temperature channel 1), CPU fan and VCoreA of chip 0, one
// disk, and a history fed the way the monitor feeds it, at the fake clock's time.
class HistoryTest : public ::testing::Test
{
protected:
    HistoryTest()
    {
        state.SetDefaultSettings();
        for (int slot = 0; slot < kSlotCount; ++slot) {
            Slot(slot).Chip = KindOfSlot(slot) == SlotKind::Disk ? 0 : kNoChip;
            Slot(slot).Channel = 1;
            Slot(slot).AlarmEnabled = 0;
        }
        state.Chips.ChipCount = 1;
        for (int slot : {kSlotCpu, kSlotCpuFan, kSlotVCoreA}) {
            Slot(slot).Chip = 0;
        }
        state.Disks.DiskCount = 1;
        state.Settings.SensorInterval = 3;
        state.Settings.DiskInterval = 60;
        machine.Time.Current = LocalTimeOfSeconds(kStart);
        window.BuildMainWindow(state, alarms);
    }
    SensorSlot& Slot(int slot) { return state.Settings.Slots[static_cast<size_t>(slot)]; }
    ChipRecord& Chip() { return state.Chips.Records[0]; }
    int64_t Now() { return SecondsOfLocalTime(machine.Time.Current); }
    // Local time moves; the clock's UTC offset stays as a test set it.
    void SetNow(int64_t seconds)
    {
        const int offset = machine.Time.Current.utcOffsetSeconds;
        machine.Time.Current = LocalTimeOfSeconds(seconds);
        machine.Time.Current.utcOffsetSeconds = offset;
    }

    // One update pass `seconds` after the previous one, with CPU at `celsius`.
    void Pass(int seconds, int32_t celsius, int32_t fanRpm = 2000)
    {
        SetNow(Now() + seconds);
        Chip().SetTemp(1, celsius);
        Chip().SetFan(1, fanRpm);
        Chip().SetVolt(1, 1.5f);
        window.RefreshMainWindow(state, alarms);
        RecordShownValues(history, state, window, HistoryPass::Sensors);
    }
    std::vector<HistoryPoint> Last(int slot, int64_t seconds)
    {
        return history.Series(slot, history.LatestTime() - seconds, history.LatestTime());
    }
    static size_t Gaps(const std::vector<HistoryPoint>& points)
    {
        size_t gaps = 0;
        for (const HistoryPoint& p : points) {
            gaps += std::isnan(p.Avg) ? 1 : 0;
        }
        return gaps;
    }
    static void ExpectIncreasingTimes(const std::vector<HistoryPoint>& points)
    {
        for (size_t i = 1; i < points.size(); ++i) {
            ASSERT_LT(points[i - 1].Time, points[i].Time) << "at " << i;
        }
    }

    static constexpr int64_t kStart = 1102514700; // 2004-12-08T14:05:00
    fake::FakeMachine machine;
    MonitorState state{machine.Machine};
    AlarmFlags alarms;
    MainWindowPresenter window;
    SensorHistory history;
};

TEST_F(HistoryTest, TwentyFiveHoursStayWithinTheBoundsAndKeepTheirSpans)
{
    const int64_t begin = Now();
    for (int i = 0; i < 25 * 3600 / 3; ++i) {
        Pass(3, 40 + i % 20);
    }
    EXPECT_EQ(history.LatestTime(), begin + 25 * 3600);

    const std::vector<HistoryPoint> hour = Last(kSlotCpu, 3600);
    EXPECT_EQ(hour.size(), 1201u); // both ends included
    EXPECT_EQ(hour.front().Time, history.LatestTime() - 3600);
    EXPECT_EQ(Gaps(hour), 0u);
    ExpectIncreasingTimes(hour);

    const std::vector<HistoryPoint> day = Last(kSlotCpu, 24 * 3600);
    // 1440 closed minutes in the ring (the oldest falls just outside) and the running one.
    EXPECT_GE(day.size(), 1440u);
    EXPECT_LE(day.size(), SensorHistory::kMinuteSamples + 1);
    EXPECT_GE(day.front().Time, history.LatestTime() - 24 * 3600);
    EXPECT_EQ(Gaps(day), 0u);
    ExpectIncreasingTimes(day);
    for (const HistoryPoint& p : day) {
        EXPECT_EQ(p.Time % 60, 0);
    }
    // Nothing older than 24 hours is left.
    EXPECT_LE(history.Series(kSlotCpu, begin, history.LatestTime()).size(), SensorHistory::kMinuteSamples + 1);
}

TEST_F(HistoryTest, AMinuteSampleHoldsTheMinutesMinimumMeanAndMaximum)
{
    // Passes at seconds 3, 6, …, 57 of the first minute, then into the next one.
    for (int i = 1; i <= 19; ++i) {
        Pass(3, i == 7 ? 80 : 40 + i % 2);
    }
    Pass(3, 50); // second 0 of the next minute closes the first
    const std::vector<HistoryPoint> day = Last(kSlotCpu, 24 * 3600);
    ASSERT_EQ(day.size(), 2u);
    EXPECT_EQ(day[0].Time, kStart);
    EXPECT_FLOAT_EQ(day[0].Min, 40.0f);
    EXPECT_FLOAT_EQ(day[0].Max, 80.0f);
    // Ten odd passes at 41 (one of them replaced by 80), nine even ones at 40.
    EXPECT_FLOAT_EQ(day[0].Avg, (9 * 41.0f + 80.0f + 9 * 40.0f) / 19.0f);
    EXPECT_FLOAT_EQ(day[1].Avg, 50.0f); // the running minute
}

TEST_F(HistoryTest, AClockJumpForwardLeavesAGap)
{
    for (int i = 0; i < 100; ++i) {
        Pass(3, 40);
    }
    Pass(2 * 3600, 60); // suspended two hours
    Pass(3, 61);
    const std::vector<HistoryPoint> hour = Last(kSlotCpu, 3600);
    ASSERT_EQ(hour.size(), 2u); // nothing of before the suspend is within the last hour
    const std::vector<HistoryPoint> day = Last(kSlotCpu, 24 * 3600);
    ExpectIncreasingTimes(day);
    ASSERT_EQ(Gaps(day), 1u);
    EXPECT_FLOAT_EQ(day.back().Avg, 60.5f);
    EXPECT_TRUE(std::isnan(day[day.size() - 2].Avg));
}

TEST_F(HistoryTest, AClockJumpBackKeepsTheRecordInOrderWithAGap)
{
    for (int i = 0; i < 100; ++i) {
        Pass(3, 40);
    }
    const int64_t before = Now();
    Pass(-3600, 70); // set back an hour
    for (int i = 0; i < 3; ++i) {
        Pass(3, 71);
    }
    EXPECT_EQ(history.LatestTime(), before - 3600 + 9);
    const std::vector<HistoryPoint> recent = Last(kSlotCpu, 600);
    ExpectIncreasingTimes(recent);
    EXPECT_EQ(Gaps(recent), 1u);
    EXPECT_FLOAT_EQ(recent.back().Avg, 71.0f);
    EXPECT_EQ(recent.back().Time, history.LatestTime());
    // The samples before the jump are still there, just before the gap.
    size_t old = 0;
    for (const HistoryPoint& p : recent) {
        old += p.Avg == 40.0f ? 1 : 0;
    }
    EXPECT_EQ(old, 100u);
    const std::vector<HistoryPoint> day = Last(kSlotCpu, 24 * 3600);
    ExpectIncreasingTimes(day);
    EXPECT_GE(Gaps(day), 1u);
}

TEST_F(HistoryTest, ARowReadLessOftenStillBreaksAtAClockJump)
{
    history.Record(kStart, 60, {{kSlotHd0, 0, 40.0f}});
    history.Record(kStart + 30, 3, {{kSlotCpu, 1, 50.0f}});
    history.Record(kStart + 10, 3, {{kSlotCpu, 1, 51.0f}}); // set back 20 s
    history.Record(kStart + 40, 60, {{kSlotHd0, 0, 41.0f}});
    const std::vector<HistoryPoint> points = Last(kSlotHd0, 600);
    ASSERT_EQ(points.size(), 3u);
    EXPECT_TRUE(std::isnan(points[1].Avg));
    EXPECT_EQ(points[2].Time, kStart + 40);
}

TEST_F(HistoryTest, MissedPassesAreAGapAndCloseOnesReplaceTheLast)
{
    Pass(3, 40);
    Pass(3, 41);
    Pass(1, 42); // an extra pass (options "OK") a second later
    std::vector<HistoryPoint> points = Last(kSlotCpu, 600);
    ASSERT_EQ(points.size(), 2u);
    EXPECT_FLOAT_EQ(points.back().Avg, 42.0f);
    Pass(20, 43); // six passes of 3 s missed
    points = Last(kSlotCpu, 600);
    ASSERT_EQ(points.size(), 4u);
    EXPECT_TRUE(std::isnan(points[2].Avg));
    EXPECT_FLOAT_EQ(points[3].Avg, 43.0f);
    Pass(2, 44); // exactly the least spacing: a sample of its own
    points = Last(kSlotCpu, 600);
    ASSERT_EQ(points.size(), 5u);
    EXPECT_FLOAT_EQ(points[3].Avg, 43.0f);
    EXPECT_FLOAT_EQ(points[4].Avg, 44.0f);
    EXPECT_EQ(points[4].Time - points[3].Time, SensorHistory::kMinSpacingSeconds);
}

TEST_F(HistoryTest, AStoppedFanIsAReadingOfZeroNotAGap)
{
    Pass(3, 40, 2000);
    Pass(3, 40, 0);
    Pass(3, 40, 1500);
    const std::vector<HistoryPoint> points = Last(kSlotCpuFan, 600);
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(Gaps(points), 0u);
    EXPECT_FLOAT_EQ(points[1].Min, 0.0f);
    const HistoryStats stats = history.Stats(kSlotCpuFan);
    EXPECT_FLOAT_EQ(stats.Min, 0.0f);
    EXPECT_FLOAT_EQ(stats.Max, 2000.0f);
    const HistoryContent content = BuildHistoryContent(history, state, window, HistorySpan::Day);
    ASSERT_EQ(content.Table.size(), 4u);
    EXPECT_EQ(content.Table[2].Min, "0 RPM");
    EXPECT_FLOAT_EQ(content.Plots[kPanelFans].Lines[0].Points.back().Min, 0.0f); // the running minute
}

struct BadReading
{
    const char* Name;
    int Slot;
    float Value;
};

class HistoryBadReadingTest : public HistoryTest, public ::testing::WithParamInterface<BadReading>
{
};

TEST_P(HistoryBadReadingTest, IsAGapAndLeavesTheExtremesAlone)
{
    const BadReading& bad = GetParam();
    history.Record(kStart, 3, {{bad.Slot, 1, 10.0f}});
    history.Record(kStart + 3, 3, {{bad.Slot, 1, bad.Value}});
    history.Record(kStart + 6, 3, {{bad.Slot, 1, 12.0f}});
    const std::vector<HistoryPoint> points = history.Series(bad.Slot, kStart, kStart + 6);
    ASSERT_EQ(points.size(), 3u);
    EXPECT_TRUE(std::isnan(points[1].Avg));
    const HistoryStats stats = history.Stats(bad.Slot);
    EXPECT_FLOAT_EQ(stats.Min, 10.0f);
    EXPECT_FLOAT_EQ(stats.Max, 12.0f);
}

INSTANTIATE_TEST_SUITE_P(
    Readings, HistoryBadReadingTest,
    ::testing::Values(BadReading{"NaN temperature", kSlotCpu, kNaN},
                      BadReading{"temperature above 1000 C", kSlotCpu, 1001.0f},
                      BadReading{"saturated temperature", kSlotSys, 2147483647.0f},
                      BadReading{"disk below absolute zero", kSlotHd0, -274.0f},
                      BadReading{"infinite voltage", kSlotVCoreA, std::numeric_limits<float>::infinity()},
                      BadReading{"voltage of 150 V", kSlot12V, 150.0f},
                      BadReading{"negative fan speed", kSlotCpuFan, -1.0f},
                      BadReading{"fan at 1350000 RPM", kSlotSysFan, 1350000.0f}),
    [](const ::testing::TestParamInfo<BadReading>& param) { return testnames::CaseName(param.param.Name); });

TEST_F(HistoryTest, ExtremesSinceStartAndReset)
{
    for (int32_t t : {45, 52, 38, 47}) {
        Pass(3, t);
    }
    HistoryStats stats = history.Stats(kSlotCpu);
    EXPECT_FLOAT_EQ(stats.Current, 47.0f);
    EXPECT_FLOAT_EQ(stats.Min, 38.0f);
    EXPECT_FLOAT_EQ(stats.Max, 52.0f);
    history.ResetStats();
    Pass(3, 49);
    stats = history.Stats(kSlotCpu);
    EXPECT_FLOAT_EQ(stats.Min, 47.0f);
    EXPECT_FLOAT_EQ(stats.Max, 49.0f);
    EXPECT_TRUE(std::isnan(history.Stats(kSlotSys).Current)); // never shown
}

TEST_F(HistoryTest, OnlyShownRowsRecordAndAFailedReadIsAGap)
{
    Pass(3, 40);
    EXPECT_TRUE(history.Has(kSlotCpu));
    EXPECT_TRUE(history.Has(kSlotVCoreA));
    EXPECT_FALSE(history.Has(kSlotSys));
    EXPECT_FALSE(history.Has(kSlotHd0)); // disks come with the disk pass
    Chip().SetMissing(ChannelKind::Temperature, 1);
    window.RefreshMainWindow(state, alarms);
    SetNow(Now() + 3);
    RecordShownValues(history, state, window, HistoryPass::Sensors);
    EXPECT_TRUE(std::isnan(history.Stats(kSlotCpu).Current));
    EXPECT_FLOAT_EQ(history.Stats(kSlotCpu).Max, 40.0f);

    state.Disks.Temperature[0] = 35;
    RecordShownValues(history, state, window, HistoryPass::Disks);
    EXPECT_FLOAT_EQ(history.Stats(kSlotHd0).Current, 35.0f);
    state.Disks.ReadState[0] = DiskReadState::Asleep; // the last value, not a reading
    SetNow(Now() + 60);
    RecordShownValues(history, state, window, HistoryPass::Disks);
    EXPECT_TRUE(std::isnan(history.Stats(kSlotHd0).Current));
}

TEST_F(HistoryTest, ARowThatVanishesKeepsItsSeriesAndAnotherSensorStartsANewOne)
{
    Pass(3, 40);
    Pass(3, 41);
    Slot(kSlotCpu).Enabled = 0;
    window.BuildMainWindow(state, alarms);
    Pass(30, 42);
    Slot(kSlotCpu).Enabled = 1;
    window.BuildMainWindow(state, alarms);
    Pass(3, 43);
    std::vector<HistoryPoint> points = Last(kSlotCpu, 600);
    ASSERT_EQ(points.size(), 4u); // 40, 41, gap, 43
    EXPECT_TRUE(std::isnan(points[2].Avg));
    EXPECT_FLOAT_EQ(history.Stats(kSlotCpu).Min, 40.0f);

    Slot(kSlotCpu).Channel = 2;
    Chip().SetTemp(2, 30);
    window.RefreshMainWindow(state, alarms);
    SetNow(Now() + 3);
    RecordShownValues(history, state, window, HistoryPass::Sensors);
    points = Last(kSlotCpu, 600);
    ASSERT_EQ(points.size(), 1u);
    EXPECT_FLOAT_EQ(history.Stats(kSlotCpu).Min, 30.0f);
}

TEST_F(HistoryTest, ContentShowsTheChosenUnitLimitsAndCaptions)
{
    Slot(kSlotCpu).AlarmEnabled = 1;
    Slot(kSlotCpu).MinLimit = 0;
    Slot(kSlotCpu).MaxLimit = 70;
    state.Settings.TrayFahrenheit = 1;
    window.BuildMainWindow(state, alarms);
    Pass(3, 45);
    HistoryContent content = BuildHistoryContent(history, state, window, HistorySpan::TenMinutes);
    ASSERT_EQ(content.Table.size(), 4u);
    EXPECT_EQ(content.Table[1].Current, "n/a"); // HD0 before its first disk pass
    state.Disks.Temperature[0] = 35;
    RecordShownValues(history, state, window, HistoryPass::Disks);
    Pass(3, 50);
    content = BuildHistoryContent(history, state, window, HistorySpan::TenMinutes);
    const HistoryPlot& temps = content.Plots[kPanelTemperatures];
    EXPECT_EQ(temps.Unit, kDeg + "F");
    EXPECT_EQ(PlotHeading(temps), "Temperatures (" + kDeg + "F)");
    EXPECT_EQ(PlotHeading(content.Plots[kPanelFans]), "Fans (RPM)");
    ASSERT_EQ(temps.Lines.size(), 2u); // CPU and HD0
    EXPECT_EQ(temps.Lines[0].Caption, "CPU");
    EXPECT_EQ(temps.Lines[1].Caption, "HD0");
    ASSERT_EQ(temps.Lines[0].Points.size(), 2u);
    EXPECT_FLOAT_EQ(temps.Lines[0].Points[1].Avg, 122.0f);
    EXPECT_TRUE(temps.Lines[0].HasLimits);
    EXPECT_FLOAT_EQ(temps.Lines[0].HighLimit, 158.0f);
    EXPECT_FALSE(temps.Lines[1].HasLimits);
    ASSERT_EQ(temps.Lines[1].Points.size(), 1u); // the disk's line is in the same unit
    EXPECT_FLOAT_EQ(temps.Lines[1].Points[0].Avg, 95.0f);
    EXPECT_FLOAT_EQ(temps.Lines[1].Points[0].Max, 95.0f);
    ASSERT_EQ(content.Plots[kPanelVoltages].Lines.size(), 1u);
    EXPECT_EQ(content.Plots[kPanelVoltages].Lines[0].Caption, "VCoreA");
    ASSERT_EQ(content.Table.size(), 4u);
    EXPECT_EQ(content.Table[0].Current, "122 " + kDeg + "F");
    EXPECT_EQ(content.Table[0].Min, "113 " + kDeg + "F");
    EXPECT_EQ(content.Table[1].Current, "95 " + kDeg + "F");
    EXPECT_EQ(content.Table[2].Max, "2000 RPM");
    EXPECT_EQ(content.Table[3].Current, "1.50 V");
    EXPECT_EQ(content.To - content.From, 600);

    state.Settings.TrayFahrenheit = 0;
    content = BuildHistoryContent(history, state, window, HistorySpan::Day);
    EXPECT_EQ(content.Table[0].Max, "50 " + kDeg + "C");
    EXPECT_EQ(PlotHeading(content.Plots[kPanelTemperatures]), "Temperatures (" + kDeg + "C)");
    EXPECT_FLOAT_EQ(content.Plots[kPanelTemperatures].Lines[0].Points.back().Avg, 47.5f);
}

TEST_F(HistoryTest, CsvHasIsoTimesACaptionPerColumnAndEmptyCellsForGaps)
{
    Pass(3, 45);
    state.Disks.Temperature[0] = 35;
    RecordShownValues(history, state, window, HistoryPass::Disks);
    Pass(3, 46);
    Pass(20, 47); // missed passes: a gap, no line of its own
    const std::string csv = HistoryCsv(BuildHistoryContent(history, state, window, HistorySpan::TenMinutes));
    EXPECT_EQ(csv, "Time,CPU (" + kDeg + "C),HD0 (" + kDeg +
                       "C),CPU (RPM),VCoreA (V)\r\n"
                       "2004-12-08T14:05:03+00:00,45,35,2000,1.5\r\n"
                       "2004-12-08T14:05:06+00:00,46,,2000,1.5\r\n"
                       "2004-12-08T14:05:26+00:00,47,,2000,1.5\r\n");
}

// Times are kept as instants: the CSV names each in the clock's local time with its offset, and
// a change of daylight saving time is neither a jump nor a gap.
TEST_F(HistoryTest, CsvTimesCarryTheClocksUtcOffsetAcrossADaylightSavingChange)
{
    machine.Time.Current.utcOffsetSeconds = 3600;
    Pass(3, 45);
    Pass(3, 46);
    machine.Time.Current.utcOffsetSeconds = 7200; // clocks go forward: local time leaps an hour
    Pass(3603, 47);
    const std::string csv = HistoryCsv(BuildHistoryContent(history, state, window, HistorySpan::TenMinutes));
    EXPECT_EQ(csv, "Time,CPU (" + kDeg + "C),HD0 (" + kDeg +
                       "C),CPU (RPM),VCoreA (V)\r\n"
                       "2004-12-08T15:05:03+02:00,45,,2000,1.5\r\n"
                       "2004-12-08T15:05:06+02:00,46,,2000,1.5\r\n"
                       "2004-12-08T15:05:09+02:00,47,,2000,1.5\r\n");
    EXPECT_EQ(Gaps(Last(kSlotCpu, 600)), 0u);

    machine.Time.Current.utcOffsetSeconds = -(9 * 3600 + 30 * 60);
    Pass(-(11 * 3600 + 30 * 60) + 3, 48);
    const std::string west = HistoryCsv(BuildHistoryContent(history, state, window, HistorySpan::TenMinutes));
    EXPECT_NE(west.find("\r\n2004-12-08T03:35:12-09:30,48,"), std::string::npos) << west;
}

TEST(HistoryCsvTest, AnOffsetBeyondEighteenHoursIsBounded)
{
    EXPECT_EQ(IsoTimeWithOffset(0, 0), "1970-01-01T00:00:00+00:00");
    EXPECT_EQ(IsoTimeWithOffset(0, 99 * 3600), "1970-01-01T18:00:00+18:00");
    EXPECT_EQ(IsoTimeWithOffset(86400, std::numeric_limits<int32_t>::min()), "1970-01-01T06:00:00-18:00");
}

// Each plot is scaled to its own rows' readings: a 1.5 V core and a 12 V rail are not squeezed
// onto a range set by the temperatures or by alarm limits far away.
TEST_F(HistoryTest, EachPlotsAxisSpansItsOwnRowsWithAMarginAndRoundSteps)
{
    Slot(kSlotCpu).AlarmEnabled = 1;
    Slot(kSlotCpu).MinLimit = -10;
    Slot(kSlotCpu).MaxLimit = 90;
    Slot(kSlot12V).Chip = 0;
    Slot(kSlot12V).Channel = 2;
    window.BuildMainWindow(state, alarms);
    for (int i = 0; i < 20; ++i) {
        Chip().SetVolt(2, 12.0f + 0.05f * static_cast<float>(i % 3));
        Pass(3, 40 + i % 10, 2000 + 100 * i);
    }
    const HistoryContent content = BuildHistoryContent(history, state, window, HistorySpan::TenMinutes);

    const HistoryAxis& temps = content.Plots[kPanelTemperatures].Axis;
    EXPECT_LE(temps.Low, 40.0);
    EXPECT_GE(temps.High, 49.0);
    EXPECT_GT(temps.Low, 30.0) << "the limits at -10 and 90 do not widen it";
    EXPECT_LT(temps.High, 60.0);

    const HistoryAxis& fans = content.Plots[kPanelFans].Axis;
    EXPECT_LE(fans.Low, 2000.0);
    EXPECT_GE(fans.High, 3900.0);
    EXPECT_LT(fans.High - fans.Low, 3000.0);

    const HistoryAxis& volts = content.Plots[kPanelVoltages].Axis;
    EXPECT_LT(volts.Low, 1.5);
    EXPECT_GE(volts.Low, 0.0) << "no negative range without a negative reading";
    EXPECT_GT(volts.High, 12.1);
    EXPECT_LE(volts.High, 15.0);

    for (const HistoryPlot& plot : content.Plots) {
        const HistoryAxis& axis = plot.Axis;
        ASSERT_GE(axis.Ticks.size(), 4u) << plot.Title;
        EXPECT_LE(axis.Ticks.size(), 9u) << plot.Title;
        EXPECT_DOUBLE_EQ(axis.Ticks.front().Value, axis.Low);
        EXPECT_DOUBLE_EQ(axis.Ticks.back().Value, axis.High);
        const double step = axis.Ticks[1].Value - axis.Ticks[0].Value;
        const double power = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
        const double mantissa = step / power;
        EXPECT_TRUE(std::fabs(mantissa - 1) < 1e-9 || std::fabs(mantissa - 2) < 1e-9 || std::fabs(mantissa - 5) < 1e-9)
            << plot.Title << " step " << step;
        for (size_t k = 1; k < axis.Ticks.size(); ++k) {
            EXPECT_NEAR(axis.Ticks[k].Value - axis.Ticks[k - 1].Value, step, step * 1e-9) << plot.Title;
        }
    }
    EXPECT_EQ(volts.Ticks[1].Label, "2");
}

struct AxisCase
{
    const char* Name;
    SlotKind Kind;
    std::vector<float> Values; // one line's readings
    double Low;
    double High;
    std::vector<std::string> Labels;
};

class HistoryAxisTest : public ::testing::TestWithParam<AxisCase>
{
};

TEST_P(HistoryAxisTest, RangeAndLabels)
{
    const AxisCase& c = GetParam();
    HistoryLine line;
    for (size_t i = 0; i < c.Values.size(); ++i) {
        line.Points.push_back({static_cast<int64_t>(i), c.Values[i], c.Values[i], c.Values[i]});
    }
    const HistoryAxis axis = HistoryAxisOf({line}, c.Kind, ",");
    EXPECT_NEAR(axis.Low, c.Low, 1e-9);
    EXPECT_NEAR(axis.High, c.High, 1e-9);
    std::vector<std::string> labels;
    for (const HistoryTick& tick : axis.Ticks) {
        labels.push_back(tick.Label);
    }
    EXPECT_EQ(labels, c.Labels);
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, HistoryAxisTest,
    ::testing::Values(AxisCase{"core voltage ripple in decimal commas",
                               SlotKind::Voltage,
                               {1.49f, 1.52f, 1.5f},
                               1.35,
                               1.65,
                               {"1,35", "1,40", "1,45", "1,50", "1,55", "1,60", "1,65"}},
                      AxisCase{"a steady temperature sits mid plot",
                               SlotKind::Temperature,
                               {45.0f, 45.0f},
                               42.0,
                               48.0,
                               {"42", "43", "44", "45", "46", "47", "48"}},
                      AxisCase{"rails of both signs",
                               SlotKind::Voltage,
                               {-12.1f, 1.5f, 12.2f},
                               -15.0,
                               15.0,
                               {"-15", "-10", "-5", "0", "5", "10", "15"}},
                      AxisCase{"fans",
                               SlotKind::Fan,
                               {2950.0f, 6210.0f},
                               2500.0,
                               6500.0,
                               {"2500", "3000", "3500", "4000", "4500", "5000", "5500", "6000", "6500"}},
                      AxisCase{
                          "no reading in the span", SlotKind::Fan, {NAN}, 0.0, 200.0, {"0", "50", "100", "150", "200"}},
                      AxisCase{"a stopped fan keeps the axis at zero",
                               SlotKind::Fan,
                               {0.0f, 1000.0f},
                               0.0,
                               1200.0,
                               {"0", "200", "400", "600", "800", "1000", "1200"}},
                      AxisCase{"a gap and a NaN minute are left out",
                               SlotKind::Temperature,
                               {30.0f, NAN, 70.0f},
                               20.0,
                               80.0,
                               {"20", "30", "40", "50", "60", "70", "80"}}),
    [](const ::testing::TestParamInfo<AxisCase>& param) { return testnames::CaseName(param.param.Name); });

// Time marks fall on round local times whatever the offset, and the span's marks are the same
// in every plot.
TEST_F(HistoryTest, TimeMarksFallOnRoundLocalTimes)
{
    machine.Time.Current.utcOffsetSeconds = 5 * 3600 + 45 * 60;
    for (int i = 0; i < 5; ++i) {
        Pass(3, 45);
    }
    HistoryContent content = BuildHistoryContent(history, state, window, HistorySpan::TenMinutes);
    std::vector<std::string> labels;
    for (const HistoryTimeTick& tick : content.TimeTicks) {
        EXPECT_GE(tick.Time, content.From);
        EXPECT_LE(tick.Time, content.To);
        labels.push_back(tick.Label);
    }
    // The latest pass is at 14:05:15 local: the ten minutes before hold 13:56, 13:58 .. 14:04.
    EXPECT_EQ(labels, (std::vector<std::string>{"13:56", "13:58", "14:00", "14:02", "14:04"}));
    EXPECT_EQ(content.TimeTicks[2].Time + content.UtcOffset, SecondsOfLocalTime({2004, 12, 8, 14, 0, 0}));

    content = BuildHistoryContent(history, state, window, HistorySpan::Day);
    labels.clear();
    for (const HistoryTimeTick& tick : content.TimeTicks) {
        labels.push_back(tick.Label);
    }
    EXPECT_EQ(labels, (std::vector<std::string>{"16:00", "20:00", "00:00", "04:00", "08:00", "12:00"}));
}

TEST(HistoryCsvTest, CaptionsWithCommasOrQuotesAreQuoted)
{
    HistoryContent content;
    content.Plots[0] = {"Temperatures", "C", {}, {}};
    HistoryLine line;
    line.Caption = "a,\"b\"";
    line.Points = {{0, 1.0f, 1.23456f, 2.0f}};
    content.Plots[0].Lines.push_back(line);
    EXPECT_EQ(HistoryCsv(content), "Time,\"a,\"\"b\"\" (C)\"\r\n1970-01-01T00:00:00+00:00,1.235\r\n");
}

struct TimeCase
{
    const char* Name;
    platform::LocalDateTime When;
    int64_t Seconds;
    const char* Iso;
};

class LocalTimeTest : public ::testing::TestWithParam<TimeCase>
{
};

TEST_P(LocalTimeTest, SecondsAndIsoText)
{
    const TimeCase& c = GetParam();
    EXPECT_EQ(SecondsOfLocalTime(c.When), c.Seconds);
    EXPECT_EQ(IsoTimeOfSeconds(c.Seconds), c.Iso);
}

INSTANTIATE_TEST_SUITE_P(
    Dates, LocalTimeTest,
    ::testing::Values(
        TimeCase{"epoch", {1970, 1, 1, 0, 0, 0}, 0, "1970-01-01T00:00:00"},
        TimeCase{"leap day 2004", {2004, 2, 29, 23, 59, 59}, 1078099199, "2004-02-29T23:59:59"},
        TimeCase{"demo board time", {2004, 12, 8, 14, 5, 33}, 1102514733, "2004-12-08T14:05:33"},
        TimeCase{"year 2100 is no leap year", {2100, 3, 1, 0, 0, 0}, 4107542400, "2100-03-01T00:00:00"},
        TimeCase{"fields beyond their ranges are clamped", {1970, 13, 0, 25, 61, 99}, 28943999, "1970-12-01T23:59:59"}),
    [](const ::testing::TestParamInfo<TimeCase>& param) { return testnames::CaseName(param.param.Name); });

} // namespace
} // namespace calventa::core
