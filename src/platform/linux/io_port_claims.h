#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace calventa::platform::linux_backend {

// One line of /proc/ioports: "  0295-0296 : w83627hf" (two spaces per nesting level).
struct IoPortRange
{
    uint32_t first = 0;
    uint32_t last = 0;
    int depth = 0; // leading spaces: a child is indented further than its parent
    std::string name;

    bool operator==(const IoPortRange&) const = default;
};

// Every well-formed line, in file order; malformed lines are skipped.
std::vector<IoPortRange> ParseIoPorts(std::string_view text);

// Names the kernel gives to buses, bridge windows, PnP and reserved regions rather than to a
// driver that owns the ports: "PCI Bus 0000:00", "PCI conf1", "0000:00:1f.3", "pnp 00:07",
// "reserved".
bool IsPlaceholderOwner(std::string_view name);

// The port ranges that kernel drivers have claimed. A driver such as w83627hf or i801_smbus
// talks to its chip on its own schedule; our index/data accesses in between would corrupt
// both, so these ports are never touched.
class IoPortClaims
{
public:
    IoPortClaims() = default;
    explicit IoPortClaims(std::string_view ioportsText);

    // The deepest driver range containing the port, nullopt when no driver claims it.
    std::optional<IoPortRange> OwnerOf(uint16_t port) const;
    // Without CAP_SYS_ADMIN the kernel shows every range as 0000-0000, so owners are unknown.
    bool OwnersHidden() const { return m_ownersHidden; }

private:
    std::vector<IoPortRange> m_drivers;
    bool m_ownersHidden = false;
};

// "Port 0295-0296 claimed by w83627hf, not used"
std::string ClaimNote(const IoPortRange& range);

// One note per distinct driver range that the given ports fall into, in their order.
std::vector<std::string> ClaimNotes(const IoPortClaims& claims, std::span<const uint16_t> ports);

// The active mode of /sys/kernel/security/lockdown ("none integrity [confidentiality]"),
// nullopt when it is [none] or unreadable as such.
std::optional<std::string> ActiveLockdownMode(std::string_view lockdownText);

} // namespace calventa::platform::linux_backend
