#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/monitor_state.h"
#include "platform/clock.h"

namespace calventa::core {

class MainWindowPresenter;

// Seconds since 1970-01-01 of a local date and time read as if it were UTC; fields out of
// their ranges are clamped, so garbage from a clock never overflows.
int64_t SecondsOfLocalTime(const platform::LocalDateTime& when);
platform::LocalDateTime LocalTimeOfSeconds(int64_t seconds);
// "2004-12-08T14:05:33" for such seconds.
std::string IsoTimeOfSeconds(int64_t seconds);
// A clock's UTC offset bounded to the ±18 h that ISO 8601 texts carry, so that a clock's garbage
// cannot move a time by more.
int32_t BoundedUtcOffset(int32_t seconds);
// "2026-12-10T17:05:00+01:00": the UTC instant `utcSeconds` as local time at `utcOffsetSeconds`.
std::string IsoTimeWithOffset(int64_t utcSeconds, int32_t utcOffsetSeconds);

// A recorded value; NaN means no reading (a gap in a plot). Full-resolution samples carry
// one value in all three, minute samples the minute's minimum, mean and maximum.
struct HistoryPoint
{
    int64_t Time = 0; // UTC seconds, see SensorHistory::Record
    float Min = 0.0f;
    float Avg = 0.0f;
    float Max = 0.0f;
};

// Current value and the extremes since start (or since the last reset); NaN where none.
struct HistoryStats
{
    float Current;
    float Min;
    float Max;
};

// Which rows a pass refreshed: the update pass reads the chips, the disk pass the disks.
enum class HistoryPass { Sensors, Disks };

// The values every shown row of the main window took. Each slot keeps the passes of the last
// hour at full resolution and one minimum/mean/maximum sample a minute for the last 24 hours.
//
// Memory bound: a slot's storage is allocated when its row first shows a value and never
// grows. The full-resolution ring holds kFullSamples = 1800 samples of 8 bytes: passes closer
// than kMinSpacingSeconds (2 s) apart replace the previous sample, and the shortest sensor
// interval is 3 s, so the ring always spans at least one hour. The minute ring holds
// kMinuteSamples = 1440 samples of 16 bytes. That is 37,440 bytes a slot (and a few dozen of
// bookkeeping), 1,010,880 bytes for all 27 slots, whatever the uptime.
//
// Time comes from the platform clock as UTC seconds (its local time less its UTC offset), so a
// change of daylight saving time is no jump. The clock may still jump: a jump forward
// (suspend, a clock set ahead) is a gap; a jump back moves the whole record back with the
// clock, so the newest sample stays the latest, and leaves a gap too.
class SensorHistory
{
public:
    static constexpr int kMinSpacingSeconds = 2;
    static constexpr size_t kFullSamples = 3600 / kMinSpacingSeconds;
    static constexpr size_t kMinuteSamples = 24 * 60;
    static constexpr int64_t kFullSpanSeconds = 3600;
    // A jump forward beyond this is taken for a broken clock rather than a long suspend.
    static constexpr int64_t kMaxForwardJumpSeconds = 366LL * 24 * 3600;

    SensorHistory();
    ~SensorHistory();
    SensorHistory(const SensorHistory&) = delete;
    SensorHistory& operator=(const SensorHistory&) = delete;

    // One value per slot, NaN where the row shows but has no reading; slots whose rows do
    // not show are left out (their series keep what they had). `source` identifies the
    // sensor behind the slot: a slot pointed at another sensor starts a new series.
    struct Value
    {
        int Slot = 0;
        uint32_t Source = 0;
        float Reading = 0.0f;
    };
    // `now` in UTC seconds; `intervalSeconds` is the pass's timer interval, so that a pass
    // that did not come within twice of it is shown as a gap.
    void Record(int64_t now, int intervalSeconds, const std::vector<Value>& values);
    // The clock's UTC offset at the latest pass (bounded), in which the record's times are shown.
    void SetUtcOffset(int32_t seconds) { m_utcOffset = BoundedUtcOffset(seconds); }
    int32_t UtcOffset() const { return m_utcOffset; }

    // Samples of a slot with From <= Time <= To, oldest first; a NaN point separates runs
    // that must not be joined. Spans up to one hour come at full resolution, longer ones as
    // minute samples (the running minute included).
    std::vector<HistoryPoint> Series(int slot, int64_t from, int64_t to) const;

    HistoryStats Stats(int slot) const;
    // Minimum and maximum start again from the current values.
    void ResetStats();
    // Whether the slot ever recorded a value.
    bool Has(int slot) const;
    // Changes whenever samples of the slot that Series gave may have changed since (its series
    // started again, the record was cleared, the clock jumped back), never by a new sample: a
    // view may keep what it drew of a series while this stays the same.
    uint64_t Revision(int slot) const;
    // UTC seconds of the latest pass, or 0 before the first.
    int64_t LatestTime() const { return m_latest; }

private:
    struct SlotSeries;
    // The record's own time of a pass at clock second `now`; counts the clock's jumps.
    int64_t RecordTime(int64_t now);
    void Clear();

    std::array<std::unique_ptr<SlotSeries>, kSlotCount> m_series;
    int64_t m_origin = 0; // clock seconds of relative time 0
    int64_t m_latest = 0;
    bool m_started = false;
    uint32_t m_jumps = 0;
    uint32_t m_seriesMade = 0; // numbers each new series, for Revision
    int32_t m_utcOffset = 0;
};

// Feeds the history from what the main window shows after a pass, at the platform clock's
// time (and UTC offset): the chip rows after an update pass, the disk rows after a disk pass. Values no sensor can give
// (temperatures beyond what a value text shows, fan speeds above 100,000 RPM, voltages beyond ±100 V, NaN) are recorded
// as gaps.
void RecordShownValues(SensorHistory& history, const MonitorState& state, const MainWindowPresenter& mainWindow,
                       HistoryPass pass);

} // namespace calventa::core
