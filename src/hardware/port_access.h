#pragma once

#include <cstdint>

#include "platform/port_io.h"

namespace calventa::hardware {

inline constexpr uint16_t kIsaBase = 0x295; // index port; the data port is base + 1
inline constexpr uint16_t kPciAddressPort = 0xCF8;
inline constexpr uint16_t kPciDataPort = 0xCFC;

// Configuration address of mechanism #1: enable bit, bus, device, function, register.
constexpr uint32_t PciAddress(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset)
{
    return 0x80000000u | (bus & 0xFF) << 16 | (device & 0x1F) << 11 | (function & 0x07) << 8 | (offset & 0xFC);
}

uint8_t IsaReadIndexed(platform::PortIo& ports, uint16_t indexPort, uint16_t dataPort, uint8_t reg);
void IsaWriteIndexed(platform::PortIo& ports, uint16_t indexPort, uint16_t dataPort, uint8_t reg, uint8_t value);

// Indexed access through base/base+1 that leaves the index port as it was found.
uint8_t IsaReadRegister(platform::PortIo& ports, uint16_t base, uint8_t reg);
void IsaWriteRegister(platform::PortIo& ports, uint16_t base, uint8_t reg, uint8_t value);

// PCI configuration access that leaves the address port as it was found.
uint32_t PciConfigRead(platform::PortIo& ports, uint32_t address);
void PciConfigWrite(platform::PortIo& ports, uint32_t address, uint32_t value);

} // namespace calventa::hardware
