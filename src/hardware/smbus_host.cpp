#include "hardware/smbus_host.h"

namespace calventa::hardware {

SmbusHost::SmbusHost(platform::PortIo& ports, platform::Clock& clock) : m_ports(ports), m_clock(clock) {}

uint8_t SmbusHost::In(uint16_t offset)
{
    return m_ports.ReadByte(static_cast<uint16_t>(m_basePort + offset));
}

void SmbusHost::Out(uint16_t offset, uint8_t value)
{
    m_ports.WriteByte(static_cast<uint16_t>(m_basePort + offset), value);
}

int32_t SmbusHost::SmbusReadByte(uint8_t address, uint8_t reg)
{
    uint8_t value = 0;
    return SmbusReadByteData(m_basePort, address, reg, value) ? value : -1;
}

int32_t SmbusHost::SmbusWriteByte(uint8_t address, uint8_t reg, uint8_t value)
{
    return SmbusWriteByteData(m_basePort, address, reg, value) ? 0 : -1;
}

bool SmbusHost::SmbusWaitIdle()
{
    for (int poll = 0; poll < kIdlePolls; ++poll) {
        if ((In(smbus_reg::kHostStatus) & kStatusBusy) == 0) {
            return true;
        }
        m_clock.SleepMs(1);
    }
    return false;
}

// Bit 0 of host control belongs to whoever set it up (interrupt enable): carry it through.
void SmbusHost::Abort()
{
    const uint8_t control = In(smbus_reg::kHostControl);
    Out(smbus_reg::kHostControl, static_cast<uint8_t>((control & kControlKeep) | kControlAbort));
}

// A second abort is allowed for a host that another user left in a transaction.
bool SmbusHost::AbortAndWaitIdle()
{
    if (SmbusWaitIdle()) {
        return true;
    }
    Abort();
    return SmbusWaitIdle();
}

void SmbusHost::SetProtocol()
{
    const uint8_t control = In(smbus_reg::kHostControl);
    Out(smbus_reg::kHostControl, static_cast<uint8_t>((control & kControlKeep) | kControlByteData));
}

// Status left over from an earlier transaction is cleared by writing it back; a status
// that will not clear means the host is unusable and nothing is started.
bool SmbusHost::ClearStatusBeforeStart()
{
    if (In(smbus_reg::kHostStatus) == 0) {
        return true;
    }
    const uint8_t status = In(smbus_reg::kHostStatus);
    Out(smbus_reg::kHostStatus, status);
    return In(smbus_reg::kHostStatus) == 0;
}

bool SmbusHost::StartAndFinish()
{
    const uint8_t control = In(smbus_reg::kHostControl);
    Out(smbus_reg::kHostControl, static_cast<uint8_t>(control | kControlStart));
    m_clock.SleepMs(3);
    if (!SmbusWaitIdle()) {
        return false;
    }
    const uint8_t status = In(smbus_reg::kHostStatus);
    Out(smbus_reg::kHostStatus, status);
    return (status & kStatusErrors) == 0;
}

bool SmbusHost::SmbusReadByteData(uint16_t base, uint8_t address, uint8_t reg, uint8_t& value)
{
    m_basePort = base;
    Abort();
    if (!AbortAndWaitIdle()) {
        return false;
    }
    SetProtocol();
    Out(smbus_reg::kSlaveAddress, static_cast<uint8_t>(address << 1 | 1));
    Out(smbus_reg::kHostCommand, reg);
    if (!ClearStatusBeforeStart() || !StartAndFinish()) {
        return false;
    }
    value = In(smbus_reg::kHostData0);
    return true;
}

bool SmbusHost::SmbusWriteByteData(uint16_t base, uint8_t address, uint8_t reg, uint8_t value)
{
    Abort(); // on the base held so far; callers always pass that same base
    m_basePort = base;
    if (!AbortAndWaitIdle()) {
        return false;
    }
    Out(smbus_reg::kHostData0, value);
    Out(smbus_reg::kHostData1, 0);
    SetProtocol();
    Out(smbus_reg::kSlaveAddress, static_cast<uint8_t>(address << 1));
    Out(smbus_reg::kHostCommand, reg);
    return ClearStatusBeforeStart() && StartAndFinish();
}

} // namespace calventa::hardware
