#include "hardware/port_access.h"

namespace calventa::hardware {

uint8_t IsaReadIndexed(platform::PortIo& ports, uint16_t indexPort, uint16_t dataPort, uint8_t reg)
{
    ports.WriteByte(indexPort, reg);
    return ports.ReadByte(dataPort);
}

void IsaWriteIndexed(platform::PortIo& ports, uint16_t indexPort, uint16_t dataPort, uint8_t reg, uint8_t value)
{
    ports.WriteByte(indexPort, reg);
    ports.WriteByte(dataPort, value);
}

// Another program may sit between its own index write and data access: put the index
// back so that its next data access still reaches the register it selected.
uint8_t IsaReadRegister(platform::PortIo& ports, uint16_t base, uint8_t reg)
{
    const uint8_t savedIndex = ports.ReadByte(base);
    const uint8_t value = IsaReadIndexed(ports, base, static_cast<uint16_t>(base + 1), reg);
    ports.WriteByte(base, savedIndex);
    return value;
}

void IsaWriteRegister(platform::PortIo& ports, uint16_t base, uint8_t reg, uint8_t value)
{
    const uint8_t savedIndex = ports.ReadByte(base);
    IsaWriteIndexed(ports, base, static_cast<uint16_t>(base + 1), reg, value);
    ports.WriteByte(base, savedIndex);
}

uint32_t PciConfigRead(platform::PortIo& ports, uint32_t address)
{
    const uint32_t savedAddress = ports.ReadDword(kPciAddressPort);
    ports.WriteDword(kPciAddressPort, address);
    const uint32_t value = ports.ReadDword(kPciDataPort);
    ports.WriteDword(kPciAddressPort, savedAddress);
    return value;
}

void PciConfigWrite(platform::PortIo& ports, uint32_t address, uint32_t value)
{
    const uint32_t savedAddress = ports.ReadDword(kPciAddressPort);
    ports.WriteDword(kPciAddressPort, address);
    ports.WriteDword(kPciDataPort, value);
    ports.WriteDword(kPciAddressPort, savedAddress);
}

} // namespace calventa::hardware
