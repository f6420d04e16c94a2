#pragma once

#include "platform/clock.h"

namespace calventa::platform::linux_backend {

// The local wall clock and real sleeping.
class LinuxClock final : public Clock
{
public:
    LocalDateTime Now() override;
    // Sleeps the whole time even when signals interrupt it.
    void SleepMs(uint32_t milliseconds) override;
};

} // namespace calventa::platform::linux_backend
