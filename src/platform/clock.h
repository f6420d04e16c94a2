#pragma once

#include <cstdint>

namespace calventa::platform {

struct LocalDateTime
{
    int year = 1970;
    int month = 1; // 1..12
    int day = 1;   // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    // Local time minus UTC (east of Greenwich positive), so that a time can name its instant;
    // 0 for a clock that keeps no time zone (a board's fixed clock reads as UTC).
    int utcOffsetSeconds = 0;
};

// Wall clock and sleeping. The simulated machine keeps a virtual clock so that the
// 1 ms / 3 ms waits of the SMBus protocol cost nothing in tests but stay observable.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual LocalDateTime Now() = 0;
    virtual void SleepMs(uint32_t milliseconds) = 0;
};

} // namespace calventa::platform
