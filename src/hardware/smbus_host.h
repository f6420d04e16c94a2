#pragma once

#include <cstdint>

#include "platform/clock.h"
#include "platform/port_io.h"

namespace calventa::hardware {

// Register offsets of the Intel SMBus host controller from its I/O base.
namespace smbus_reg {
inline constexpr uint16_t kHostStatus = 0;   // bit 0 busy, 0x1C error bits, write-back clears
inline constexpr uint16_t kHostControl = 2;  // bit 0 kept on every write
inline constexpr uint16_t kHostCommand = 3;  // device register number
inline constexpr uint16_t kSlaveAddress = 4; // address << 1 | read bit
inline constexpr uint16_t kHostData0 = 5;
inline constexpr uint16_t kHostData1 = 6;
} // namespace smbus_reg

inline constexpr uint8_t kStatusBusy = 0x01;
inline constexpr uint8_t kStatusErrors = 0x1C; // device error, bus collision, failed
inline constexpr uint8_t kControlKeep = 0x01;
inline constexpr uint8_t kControlAbort = 0x02;
inline constexpr uint8_t kControlByteData = 0x08;
inline constexpr uint8_t kControlStart = 0x40;
inline constexpr int kIdlePolls = 50;

// Byte-data read and write transactions on the Intel SMBus host controller. The caller
// holds the SMBus mutex around every sequence of transactions.
class SmbusHost
{
public:
    SmbusHost(platform::PortIo& ports, platform::Clock& clock);

    uint16_t BasePort() const { return m_basePort; }
    void SetBasePort(uint16_t base) { m_basePort = base; }

    // The byte 0..255, or -1 on any failure.
    int32_t SmbusReadByte(uint8_t address, uint8_t reg);
    // 0 on success, -1 on any failure.
    int32_t SmbusWriteByte(uint8_t address, uint8_t reg, uint8_t value);

    bool SmbusReadByteData(uint16_t base, uint8_t address, uint8_t reg, uint8_t& value);
    bool SmbusWriteByteData(uint16_t base, uint8_t address, uint8_t reg, uint8_t value);
    bool SmbusWaitIdle();

private:
    uint8_t In(uint16_t offset);
    void Out(uint16_t offset, uint8_t value);
    void Abort();
    bool AbortAndWaitIdle();
    void SetProtocol();
    bool ClearStatusBeforeStart();
    bool StartAndFinish();

    platform::PortIo& m_ports;
    platform::Clock& m_clock;
    uint16_t m_basePort = 0;
};

} // namespace calventa::hardware
