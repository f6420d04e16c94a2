#include "platform/windows/windows_port_io.h"

#include "platform/windows/win_api.h"

#include "platform/windows/win_text.h"

namespace calventa::platform::windows_backend {

std::string GiveioRefusalNote(uint32_t error, bool sixtyFourBitSystem)
{
    std::string note =
        std::string("Sensors I/O: ") + kGiveioDevice + " cannot be opened (" + SystemErrorText(error) + ")";
    if (sixtyFourBitSystem) {
        note += ": 64-bit Windows loads no unsigned port driver, so the chip search is skipped";
    } else {
        note += ": the giveio driver is not installed or not started (\"calventa install\"), so the chip search is "
                "skipped";
    }
    return note;
}

WindowsPortIo::WindowsPortIo(bool windows9x, std::string device) : m_windows9x(windows9x), m_device(std::move(device))
{
}

bool WindowsPortIo::RequestAccess()
{
    if (m_windows9x) {
        m_granted = true;
        return true;
    }
    const std::wstring wide = WideFromUtf8(m_device);
    HANDLE device = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // A 64-bit build runs on 64-bit Windows only.
        m_notes.push_back(GiveioRefusalNote(error, sizeof(void*) == 8));
        return false;
    }
    // The driver has opened the I/O permission map for this process; the handle is not needed.
    CloseHandle(device);
    m_granted = true;
    return true;
}

uint8_t WindowsPortIo::ReadByte(uint16_t port)
{
    if (!m_granted) {
        return 0xFF;
    }
    uint8_t value = 0;
    __asm__ __volatile__("inb %w1, %b0" : "=a"(value) : "Nd"(port));
    return value;
}

void WindowsPortIo::WriteByte(uint16_t port, uint8_t value)
{
    if (m_granted) {
        __asm__ __volatile__("outb %b0, %w1" : : "a"(value), "Nd"(port));
    }
}

uint32_t WindowsPortIo::ReadDword(uint16_t port)
{
    if (!m_granted) {
        return 0xFFFFFFFFu;
    }
    uint32_t value = 0;
    __asm__ __volatile__("inl %w1, %0" : "=a"(value) : "Nd"(port));
    return value;
}

void WindowsPortIo::WriteDword(uint16_t port, uint32_t value)
{
    if (m_granted) {
        __asm__ __volatile__("outl %0, %w1" : : "a"(value), "Nd"(port));
    }
}

} // namespace calventa::platform::windows_backend
