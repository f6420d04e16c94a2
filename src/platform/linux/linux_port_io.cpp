#include "platform/linux/linux_port_io.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/linux/file_io.h"

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#endif

namespace calventa::platform::linux_backend {

namespace {

constexpr size_t kMaxIoportsBytes = 256 * 1024;
constexpr size_t kMaxLockdownBytes = 256;
constexpr size_t kMaxStatusBytes = 16 * 1024;

// Touched by every chip search: the ISA monitor's index/data pair and PCI configuration
// mechanism #1.
constexpr std::array<uint16_t, 4> kSearchPorts = {0x295, 0x296, 0xCF8, 0xCFC};

std::string TextOf(const std::vector<uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

#if defined(__x86_64__) || defined(__i386__)
bool RaiseIoPrivilege()
{
    return iopl(3) == 0;
}
uint8_t PortIn8(uint16_t port)
{
    return inb(port);
}
void PortOut8(uint16_t port, uint8_t value)
{
    outb(value, port);
}
uint32_t PortIn32(uint16_t port)
{
    return inl(port);
}
void PortOut32(uint16_t port, uint32_t value)
{
    outl(value, port);
}
#else
// No port instructions on this processor: access is never granted, so these never run.
bool RaiseIoPrivilege()
{
    errno = ENOSYS;
    return false;
}
uint8_t PortIn8(uint16_t)
{
    return 0xFF;
}
void PortOut8(uint16_t, uint8_t) {}
uint32_t PortIn32(uint16_t)
{
    return 0xFFFFFFFF;
}
void PortOut32(uint16_t, uint32_t) {}
#endif

} // namespace

std::string MissingPortCapabilities(const std::string& statusText)
{
    constexpr int kCapSysRawio = 17; // iopl
    constexpr int kCapSysAdmin = 21; // the owners' addresses in /proc/ioports
    const size_t at = statusText.find("\nCapEff:");
    if (at == std::string::npos) {
        return {};
    }
    const char* start = statusText.c_str() + at + 8;
    char* end = nullptr;
    errno = 0;
    const unsigned long long effective = std::strtoull(start, &end, 16);
    if (end == start || errno != 0) {
        return {};
    }
    std::vector<std::string> missing;
    if ((effective >> kCapSysAdmin & 1) == 0) {
        missing.emplace_back("CAP_SYS_ADMIN");
    }
    if ((effective >> kCapSysRawio & 1) == 0) {
        missing.emplace_back("CAP_SYS_RAWIO");
    }
    return missing.empty() ? std::string() : missing.size() == 1 ? missing[0] : missing[0] + " and " + missing[1];
}

LinuxPortIo::LinuxPortIo(std::string ioportsPath, std::string lockdownPath, std::string statusPath)
    : m_ioportsPath(std::move(ioportsPath)), m_lockdownPath(std::move(lockdownPath)),
      m_statusPath(std::move(statusPath))
{
}

std::string LinuxPortIo::MissingCapabilities() const
{
    const auto status = ReadFileBytes(m_statusPath, kMaxStatusBytes);
    return status ? MissingPortCapabilities(TextOf(*status)) : std::string();
}

bool LinuxPortIo::RequestAccess()
{
    m_granted = false;
    m_notes.clear();
    const auto ioports = ReadFileBytes(m_ioportsPath, kMaxIoportsBytes);
    if (!ioports) {
        AddNote("Cannot read " + m_ioportsPath + ", port access not requested");
        return false;
    }
    m_claims = IoPortClaims(TextOf(*ioports));
    if (m_claims.OwnersHidden()) {
        // CAP_SYS_RAWIO alone would allow iopl, but without the owners no driver's ranges
        // could be kept clear.
        const std::string missing = MissingCapabilities();
        AddNote("Port owners hidden in " + m_ioportsPath + " (reading them needs CAP_SYS_ADMIN" +
                (missing.empty() ? std::string() : "; missing: " + missing) +
                "), port access not requested: the ranges kernel drivers hold are unknown");
        return false;
    }
    for (auto& note : ClaimNotes(m_claims, kSearchPorts)) {
        AddNote(std::move(note));
    }
    if (!RaiseIoPrivilege()) {
        const int error = errno;
        const auto lockdown = ReadFileBytes(m_lockdownPath, kMaxLockdownBytes);
        if (error == EPERM && lockdown) {
            if (const auto mode = ActiveLockdownMode(TextOf(*lockdown))) {
                AddNote("Kernel lockdown (" + *mode + ") refuses port access, even to root");
                return false;
            }
        }
        const bool noRawio = error == EPERM && MissingCapabilities().find("CAP_SYS_RAWIO") != std::string::npos;
        AddNote(std::string("iopl refused port access (") + std::strerror(error) + ")" +
                (noRawio ? ": it needs CAP_SYS_RAWIO, which this process lacks" : ""));
        return false;
    }
    m_granted = true;
    return true;
}

uint8_t LinuxPortIo::ReadByte(uint16_t port)
{
    return Usable(port, 1) ? PortIn8(port) : 0xFF;
}

void LinuxPortIo::WriteByte(uint16_t port, uint8_t value)
{
    if (Usable(port, 1)) {
        PortOut8(port, value);
    }
}

uint32_t LinuxPortIo::ReadDword(uint16_t port)
{
    return Usable(port, 4) ? PortIn32(port) : 0xFFFFFFFF;
}

void LinuxPortIo::WriteDword(uint16_t port, uint32_t value)
{
    if (Usable(port, 4)) {
        PortOut32(port, value);
    }
}

bool LinuxPortIo::OwnedByKernelDriver(uint16_t port)
{
    const auto owner = m_claims.OwnerOf(port);
    if (owner) {
        AddNote(ClaimNote(*owner));
    }
    return owner.has_value();
}

bool LinuxPortIo::Usable(uint16_t port, unsigned width)
{
    if (!m_granted || port + width - 1 > 0xFFFF) {
        return false;
    }
    for (unsigned i = 0; i < width; ++i) {
        if (const auto owner = m_claims.OwnerOf(static_cast<uint16_t>(port + i))) {
            AddNote(ClaimNote(*owner));
            return false;
        }
    }
    return true;
}

void LinuxPortIo::AddNote(std::string note)
{
    if (std::find(m_notes.begin(), m_notes.end(), note) == m_notes.end()) {
        m_notes.push_back(std::move(note));
    }
}

} // namespace calventa::platform::linux_backend
