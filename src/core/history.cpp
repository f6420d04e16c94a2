#include "core/history.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "core/main_window_presenter.h"
#include "core/update_cycle.h"
#include "core/value_text.h"

namespace calventa::core {

namespace {

constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();
constexpr int32_t kHighestPlausibleRpm = 100000;
constexpr float kHighestPlausibleVolts = 100.0f;
// Relative times are stored in 32 bits; a record that would outgrow them starts afresh.
constexpr int64_t kLatestRelative = std::numeric_limits<int32_t>::max() - SensorHistory::kMaxForwardJumpSeconds;

int64_t FloorDiv(int64_t a, int64_t b)
{
    const int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysOfDate(int64_t year, int64_t month, int64_t day)
{
    year -= month <= 2 ? 1 : 0;
    const int64_t era = FloorDiv(year, 400);
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void DateOfDays(int64_t days, int64_t& year, int64_t& month, int64_t& day)
{
    days += 719468;
    const int64_t era = FloorDiv(days, 146097);
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t mp = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
}

bool Plausible(SlotKind kind, float value)
{
    if (!std::isfinite(value)) {
        return false;
    }
    switch (kind) {
    case SlotKind::Temperature:
    case SlotKind::Disk:
        return value >= static_cast<float>(kLowestShownCelsius) && value <= static_cast<float>(kHighestShownCelsius);
    case SlotKind::Fan:
        return value >= 0.0f && value <= static_cast<float>(kHighestPlausibleRpm);
    case SlotKind::Voltage:
        return std::fabs(value) <= kHighestPlausibleVolts;
    }
    return false;
}

struct FullSample
{
    int32_t Time;
    float Value; // NaN: no reading, or the gap marker between two runs
};

struct MinuteSample
{
    int32_t Time;
    float Min;
    float Avg;
    float Max;
};

// A ring of fixed size that overwrites its oldest entry. Entries are left uninitialised
// until written (and never read before), so a new ring's pages cost no memory until the
// record fills them.
template <typename T, size_t N> struct Ring
{
    std::array<T, N> Items;
    size_t Next = 0;
    size_t Count = 0;

    void Push(const T& item)
    {
        Items[Next] = item;
        Next = (Next + 1) % N;
        Count = std::min(Count + 1, N);
    }
    T& Last() { return Items[(Next + N - 1) % N]; }
    const T& At(size_t oldestFirst) const { return Items[(Next + N - Count + oldestFirst) % N]; }
};

} // namespace

int64_t SecondsOfLocalTime(const platform::LocalDateTime& when)
{
    const int64_t year = std::clamp(when.year, 1, 9999);
    const int64_t month = std::clamp(when.month, 1, 12);
    const int64_t day = std::clamp(when.day, 1, 31);
    const int64_t hour = std::clamp(when.hour, 0, 23);
    const int64_t minute = std::clamp(when.minute, 0, 59);
    const int64_t second = std::clamp(when.second, 0, 59);
    return DaysOfDate(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

platform::LocalDateTime LocalTimeOfSeconds(int64_t seconds)
{
    const int64_t days = FloorDiv(seconds, 86400);
    const int64_t rest = seconds - days * 86400;
    int64_t year = 0;
    int64_t month = 0;
    int64_t day = 0;
    DateOfDays(days, year, month, day);
    return {static_cast<int>(year),        static_cast<int>(month),          static_cast<int>(day),
            static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60)};
}

std::string IsoTimeOfSeconds(int64_t seconds)
{
    const platform::LocalDateTime t = LocalTimeOfSeconds(seconds);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return text;
}

int32_t BoundedUtcOffset(int32_t seconds)
{
    constexpr int32_t kMostOffset = 18 * 3600;
    return std::clamp(seconds, -kMostOffset, kMostOffset);
}

std::string IsoTimeWithOffset(int64_t utcSeconds, int32_t utcOffsetSeconds)
{
    const int32_t offset = BoundedUtcOffset(utcOffsetSeconds);
    const int32_t minutes = (offset < 0 ? -offset : offset) / 60;
    char zone[16];
    std::snprintf(zone, sizeof zone, "%c%02d:%02d", offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return IsoTimeOfSeconds(utcSeconds + offset) + zone;
}

struct SensorHistory::SlotSeries
{
    uint32_t Source = 0;
    uint32_t Number = 0; // of this series among those the record made
    uint32_t Jumps = 0;  // clock jumps before the newest sample
    Ring<FullSample, kFullSamples> Full;
    Ring<MinuteSample, kMinuteSamples> Minutes;
    int64_t LastTime = 0; // of the newest full-resolution sample
    bool HasLast = false;
    // The running minute.
    int64_t Minute = 0;
    bool MinuteOpen = false;
    bool MinuteAfterGap = false;
    float MinuteMin = 0.0f;
    float MinuteMax = 0.0f;
    double MinuteSum = 0.0;
    int MinuteCount = 0;
    HistoryStats Stats{kNoValue, kNoValue, kNoValue};

    MinuteSample RunningMinute() const
    {
        const auto time = static_cast<int32_t>(Minute * 60);
        if (MinuteCount == 0) {
            return {time, kNoValue, kNoValue, kNoValue};
        }
        return {time, MinuteMin, static_cast<float>(MinuteSum / MinuteCount), MinuteMax};
    }

    void CloseMinute()
    {
        if (!MinuteOpen) {
            return;
        }
        if (MinuteAfterGap && Minutes.Count > 0) {
            Minutes.Push({static_cast<int32_t>(Minute * 60 - 1), kNoValue, kNoValue, kNoValue});
        }
        Minutes.Push(RunningMinute());
        MinuteOpen = false;
    }

    void Add(int64_t time, float value, bool gap)
    {
        if (HasLast && !gap && time - LastTime < kMinSpacingSeconds) {
            Full.Last().Value = value; // a pass right after another: the newer value stands
        } else {
            if (gap && HasLast) {
                Full.Push({static_cast<int32_t>(LastTime + 1), kNoValue});
            }
            Full.Push({static_cast<int32_t>(time), value});
            LastTime = time;
            HasLast = true;
        }

        const int64_t minute = FloorDiv(time, 60);
        if (MinuteOpen && minute != Minute) {
            CloseMinute();
        }
        if (!MinuteOpen) {
            MinuteOpen = true;
            Minute = minute;
            MinuteAfterGap = false;
            MinuteCount = 0;
            MinuteSum = 0.0;
        }
        MinuteAfterGap = MinuteAfterGap || gap;
        if (!std::isnan(value)) {
            MinuteMin = MinuteCount == 0 ? value : std::min(MinuteMin, value);
            MinuteMax = MinuteCount == 0 ? value : std::max(MinuteMax, value);
            MinuteSum += value;
            ++MinuteCount;
        }

        Stats.Current = value;
        if (!std::isnan(value)) {
            Stats.Min = std::isnan(Stats.Min) ? value : std::min(Stats.Min, value);
            Stats.Max = std::isnan(Stats.Max) ? value : std::max(Stats.Max, value);
        }
    }
};

SensorHistory::SensorHistory() = default;
SensorHistory::~SensorHistory() = default;

void SensorHistory::Clear()
{
    for (auto& series : m_series) {
        series.reset();
    }
    m_started = false;
}

int64_t SensorHistory::RecordTime(int64_t now)
{
    if (m_started && now - m_origin > kLatestRelative) {
        Clear();
    }
    if (!m_started) {
        m_started = true;
        m_origin = now - (now % 60 + 60) % 60; // minutes of the record are the clock's minutes
        m_latest = now;
        return now - m_origin;
    }
    const int64_t step = now - m_latest;
    if (step < 0 || step > kMaxForwardJumpSeconds) {
        // The clock went back (or leapt absurdly): move what was recorded along with it, so
        // that the newest sample stays the latest, and leave a gap.
        const int64_t lastRelative = m_latest - m_origin;
        m_origin = now - (lastRelative + kMinSpacingSeconds);
        ++m_jumps;
    }
    m_latest = now;
    return now - m_origin;
}

void SensorHistory::Record(int64_t now, int intervalSeconds, const std::vector<Value>& values)
{
    const int64_t time = RecordTime(now);
    // Twice the interval and a second of rounding: a pass later than that was missed.
    const int64_t longestStep = 2 * static_cast<int64_t>(std::max(intervalSeconds, 1)) + 1;
    for (const Value& v : values) {
        if (v.Slot < 0 || v.Slot >= kSlotCount) {
            continue;
        }
        auto& series = m_series[static_cast<size_t>(v.Slot)];
        if (!series || series->Source != v.Source) {
            series = std::make_unique_for_overwrite<SlotSeries>();
            series->Source = v.Source;
            series->Number = ++m_seriesMade;
        }
        // A row read less often than the jumps came (a disk) still breaks at the jump.
        const bool gap = series->HasLast && (series->Jumps != m_jumps || time - series->LastTime > longestStep);
        series->Jumps = m_jumps;
        const float reading = Plausible(KindOfSlot(v.Slot), v.Reading) ? v.Reading : kNoValue;
        series->Add(time, reading, gap);
    }
}

std::vector<HistoryPoint> SensorHistory::Series(int slot, int64_t from, int64_t to) const
{
    std::vector<HistoryPoint> points;
    if (slot < 0 || slot >= kSlotCount || !m_series[static_cast<size_t>(slot)] || from > to) {
        return points;
    }
    const SlotSeries& series = *m_series[static_cast<size_t>(slot)];
    const int64_t first = from - m_origin;
    const int64_t last = to - m_origin;
    auto add = [&](int64_t time, float min, float avg, float max) {
        if (time >= first && time <= last) {
            points.push_back({time + m_origin, min, avg, max});
        }
    };
    if (to - from <= kFullSpanSeconds) {
        for (size_t i = 0; i < series.Full.Count; ++i) {
            const FullSample& s = series.Full.At(i);
            add(s.Time, s.Value, s.Value, s.Value);
        }
        return points;
    }
    for (size_t i = 0; i < series.Minutes.Count; ++i) {
        const MinuteSample& s = series.Minutes.At(i);
        add(s.Time, s.Min, s.Avg, s.Max);
    }
    if (series.MinuteOpen) {
        if (series.MinuteAfterGap && series.Minutes.Count > 0) {
            add(series.Minute * 60 - 1, kNoValue, kNoValue, kNoValue);
        }
        const MinuteSample running = series.RunningMinute();
        add(running.Time, running.Min, running.Avg, running.Max);
    }
    return points;
}

HistoryStats SensorHistory::Stats(int slot) const
{
    if (!Has(slot)) {
        return {kNoValue, kNoValue, kNoValue};
    }
    return m_series[static_cast<size_t>(slot)]->Stats;
}

void SensorHistory::ResetStats()
{
    for (auto& series : m_series) {
        if (series) {
            series->Stats.Min = series->Stats.Current;
            series->Stats.Max = series->Stats.Current;
        }
    }
}

bool SensorHistory::Has(int slot) const
{
    return slot >= 0 && slot < kSlotCount && m_series[static_cast<size_t>(slot)] != nullptr;
}

uint64_t SensorHistory::Revision(int slot) const
{
    const uint32_t number = Has(slot) ? m_series[static_cast<size_t>(slot)]->Number : 0;
    return static_cast<uint64_t>(m_jumps) << 32 | number;
}

void RecordShownValues(SensorHistory& history, const MonitorState& state, const MainWindowPresenter& mainWindow,
                       HistoryPass pass)
{
    const platform::LocalDateTime local = state.Platform().clock.Now();
    const int32_t offset = BoundedUtcOffset(local.utcOffsetSeconds);
    const int64_t now = SecondsOfLocalTime(local) - offset;
    std::vector<SensorHistory::Value> values;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const SlotKind kind = KindOfSlot(slot);
        if ((kind == SlotKind::Disk) != (pass == HistoryPass::Disks) || !mainWindow.Value(slot).Shown) {
            continue;
        }
        const SensorSlot& s = state.Settings.Slots[static_cast<size_t>(slot)];
        SensorHistory::Value value{slot, static_cast<uint32_t>(s.Chip) << 8 | s.Channel, kNoValue};
        if (kind == SlotKind::Disk) {
            const int disk = slot - kSlotHd0;
            if (state.Disks.Current(disk)) {
                value.Reading = static_cast<float>(state.Disks.TemperatureOf(disk));
            }
        } else if (HasCurrentReading(state, slot)) {
            switch (kind) {
            case SlotKind::Temperature:
                value.Reading = static_cast<float>(state.Chips.Temp(s.Chip, s.Channel));
                break;
            case SlotKind::Fan:
                value.Reading = static_cast<float>(state.Chips.Fan(s.Chip, s.Channel));
                break;
            case SlotKind::Voltage:
                value.Reading = state.Chips.Volt(s.Chip, s.Channel);
                break;
            case SlotKind::Disk:
                break;
            }
        }
        values.push_back(value);
    }
    const int interval =
        pass == HistoryPass::Disks ? DiskTimerMs(state.Settings) / 1000 : SensorTimerMs(state.Settings) / 1000;
    history.Record(now, interval, values);
    history.SetUtcOffset(offset);
}

} // namespace calventa::core
