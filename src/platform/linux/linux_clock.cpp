#include "platform/linux/linux_clock.h"

#include <cerrno>
#include <ctime>

namespace calventa::platform::linux_backend {

LocalDateTime LinuxClock::Now()
{
    const time_t now = time(nullptr);
    tm local = {};
    if (localtime_r(&now, &local) == nullptr) {
        return {};
    }
    return {local.tm_year + 1900,
            local.tm_mon + 1,
            local.tm_mday,
            local.tm_hour,
            local.tm_min,
            local.tm_sec,
            static_cast<int>(local.tm_gmtoff)};
}

void LinuxClock::SleepMs(uint32_t milliseconds)
{
    timespec remaining = {static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

} // namespace calventa::platform::linux_backend
