#pragma once

#include <string>
#include <vector>

#include "platform/linux/io_port_claims.h"
#include "platform/port_io.h"

namespace calventa::platform::linux_backend {

inline constexpr const char* kDefaultIoportsPath = "/proc/ioports";
inline constexpr const char* kDefaultLockdownPath = "/sys/kernel/security/lockdown";
inline constexpr const char* kDefaultProcessStatusPath = "/proc/self/status";

// The capabilities port access needs that the CapEff line of a /proc/<pid>/status text
// leaves out, as "CAP_SYS_ADMIN and CAP_SYS_RAWIO"; empty when both are there or the line
// is missing or malformed.
std::string MissingPortCapabilities(const std::string& statusText);

// Port instructions after iopl(3) (root or CAP_SYS_RAWIO). Ports inside a range that
// /proc/ioports shows claimed by a kernel driver are never touched: reads give all ones, as
// an empty bus does, and writes are dropped. So are all accesses before access is granted.
class LinuxPortIo final : public PortIo
{
public:
    explicit LinuxPortIo(std::string ioportsPath = kDefaultIoportsPath, std::string lockdownPath = kDefaultLockdownPath,
                         std::string statusPath = kDefaultProcessStatusPath);

    // Reads the port owners, then raises the I/O privilege level. Refuses (false) when the
    // owners cannot be read or are hidden (without CAP_SYS_ADMIN), since then no driver's
    // ports could be kept clear, even for a process that could raise the level. Every
    // refusal leaves a note naming its cause.
    bool RequestAccess() override;
    std::string AccessMethod() const override { return "iopl"; }
    // Why access was refused, and one line per driver range touched so far. The fixed ISA
    // and PCI configuration ports are checked at RequestAccess; others (the SMBus host's
    // base) when they are first used, so callers may ask again after the chip search.
    std::vector<std::string> AccessNotes() const override { return m_notes; }
    bool OwnedByKernelDriver(uint16_t port) override;

    uint8_t ReadByte(uint16_t port) override;
    void WriteByte(uint16_t port, uint8_t value) override;
    uint32_t ReadDword(uint16_t port) override;
    void WriteDword(uint16_t port, uint32_t value) override;

private:
    // True when the width bytes from port may be accessed; notes a driver that owns one.
    bool Usable(uint16_t port, unsigned width);
    void AddNote(std::string note);
    // MissingPortCapabilities of this process; empty when its status cannot be read.
    std::string MissingCapabilities() const;

    std::string m_ioportsPath;
    std::string m_lockdownPath;
    std::string m_statusPath;
    IoPortClaims m_claims;
    bool m_granted = false;
    std::vector<std::string> m_notes;
};

} // namespace calventa::platform::linux_backend
