#pragma once

#include <string>
#include <vector>

#include "platform/port_io.h"

namespace calventa::platform::windows_backend {

inline constexpr const char* kGiveioDevice = "\\\\.\\giveio";

// The start-up log's line for a giveio device that would not open, with the system's error:
// on 64-bit Windows no unsigned driver loads, so there the line says that.
std::string GiveioRefusalNote(uint32_t error, bool sixtyFourBitSystem);

// Port instructions (in/out) once the giveio driver has granted the process the ports, which
// it does when the process opens its device. Before that, or when it refused, no instruction
// is executed (it would fault): reads give all ones as an empty bus does, writes are dropped.
class WindowsPortIo final : public PortIo
{
public:
    explicit WindowsPortIo(bool windows9x = false, std::string device = kGiveioDevice);

    bool RequestAccess() override;
    std::string AccessMethod() const override { return "giveio"; }
    std::vector<std::string> AccessNotes() const override { return m_notes; }

    uint8_t ReadByte(uint16_t port) override;
    void WriteByte(uint16_t port, uint8_t value) override;
    uint32_t ReadDword(uint16_t port) override;
    void WriteDword(uint16_t port, uint32_t value) override;

private:
    bool m_windows9x;
    std::string m_device;
    bool m_granted = false;
    std::vector<std::string> m_notes;
};

} // namespace calventa::platform::windows_backend
