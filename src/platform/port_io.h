#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace calventa::platform {

// Processor port input/output: the four primitives every bus protocol is built on.
// ISA indexed access, PCI configuration access and SMBus transactions are ordinary
// code on top of these (src/hardware), shared by the real and the simulated machine.
class PortIo
{
public:
    virtual ~PortIo() = default;

    // Obtains the right to execute port instructions. Returns false when the system refuses.
    virtual bool RequestAccess() = 0;
    // Short name of the way access was obtained, shown in the start-up log ("giveio", "iopl").
    virtual std::string AccessMethod() const = 0;
    // Extra start-up log lines of the back end (for example port ranges owned by a kernel driver).
    virtual std::vector<std::string> AccessNotes() const { return {}; }
    // Whether a kernel driver owns the port, so that the program must leave it alone (its
    // reads float high); the back end notes the owner once.
    virtual bool OwnedByKernelDriver(uint16_t /*port*/) { return false; }

    virtual uint8_t ReadByte(uint16_t port) = 0;
    virtual void WriteByte(uint16_t port, uint8_t value) = 0;
    virtual uint32_t ReadDword(uint16_t port) = 0;
    virtual void WriteDword(uint16_t port, uint32_t value) = 0;
};

} // namespace calventa::platform
