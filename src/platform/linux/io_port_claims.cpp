#include "platform/linux/io_port_claims.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace calventa::platform::linux_backend {

namespace {

constexpr uint32_t kLastPort = 0xFFFF;
constexpr size_t kMaxHexDigits = 8;

bool IsHex(char c)
{
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

uint32_t HexValue(char c)
{
    if (c >= '0' && c <= '9') {
        return static_cast<uint32_t>(c - '0');
    }
    return static_cast<uint32_t>(std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
}

// Consumes 1..8 hex digits from the front of text.
std::optional<uint32_t> TakeHex(std::string_view& text)
{
    size_t digits = 0;
    uint32_t value = 0;
    while (digits < text.size() && IsHex(text[digits])) {
        if (digits == kMaxHexDigits) {
            return std::nullopt;
        }
        value = value * 16 + HexValue(text[digits]);
        ++digits;
    }
    if (digits == 0) {
        return std::nullopt;
    }
    text.remove_prefix(digits);
    return value;
}

std::string_view TrimRight(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())) != 0) {
        text.remove_suffix(1);
    }
    return text;
}

std::optional<IoPortRange> ParseLine(std::string_view line)
{
    IoPortRange range;
    while (!line.empty() && line.front() == ' ') {
        ++range.depth;
        line.remove_prefix(1);
    }
    const auto first = TakeHex(line);
    if (!first || line.empty() || line.front() != '-') {
        return std::nullopt;
    }
    line.remove_prefix(1);
    const auto last = TakeHex(line);
    if (!last || *first > *last || !line.starts_with(" : ")) {
        return std::nullopt;
    }
    line.remove_prefix(3);
    range.first = *first;
    range.last = *last;
    range.name = std::string(TrimRight(line));
    if (range.name.empty()) {
        return std::nullopt;
    }
    return range;
}

// "0000:00:1f.3": PCI domain, bus, device and function.
bool IsPciAddress(std::string_view name)
{
    const size_t colon = name.find(':');
    if (colon == 0 || colon == std::string_view::npos) {
        return false;
    }
    const std::string_view rest = name.substr(colon);
    return rest.size() == 8 && std::all_of(name.begin(), name.begin() + colon, IsHex) && rest[0] == ':' &&
           IsHex(rest[1]) && IsHex(rest[2]) && rest[3] == ':' && IsHex(rest[4]) && IsHex(rest[5]) && rest[6] == '.' &&
           rest[7] >= '0' && rest[7] <= '7';
}

} // namespace

std::vector<IoPortRange> ParseIoPorts(std::string_view text)
{
    std::vector<IoPortRange> ranges;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (auto range = ParseLine(line)) {
            ranges.push_back(std::move(*range));
        }
    }
    return ranges;
}

bool IsPlaceholderOwner(std::string_view name)
{
    return name.starts_with("PCI Bus") || name.starts_with("PCI CardBus") || name.starts_with("PCI conf") ||
           name.starts_with("pnp ") || name == "reserved" || name == "Reserved" || IsPciAddress(name);
}

IoPortClaims::IoPortClaims(std::string_view ioportsText)
{
    const std::vector<IoPortRange> ranges = ParseIoPorts(ioportsText);
    m_ownersHidden = ranges.size() > 1 && std::all_of(ranges.begin(), ranges.end(),
                                                      [](const auto& r) { return r.first == 0 && r.last == 0; });
    for (const auto& range : ranges) {
        if (range.first <= kLastPort && !IsPlaceholderOwner(range.name)) {
            m_drivers.push_back(range);
        }
    }
}

std::optional<IoPortRange> IoPortClaims::OwnerOf(uint16_t port) const
{
    const IoPortRange* owner = nullptr;
    for (const auto& range : m_drivers) {
        if (range.first <= port && port <= range.last && (owner == nullptr || range.depth > owner->depth)) {
            owner = &range;
        }
    }
    return owner == nullptr ? std::nullopt : std::optional<IoPortRange>(*owner);
}

std::string ClaimNote(const IoPortRange& range)
{
    char ports[24];
    std::snprintf(ports, sizeof ports, "%04x-%04x", range.first, std::min(range.last, kLastPort));
    return "Port " + std::string(ports) + " claimed by " + range.name + ", not used";
}

std::vector<std::string> ClaimNotes(const IoPortClaims& claims, std::span<const uint16_t> ports)
{
    std::vector<std::string> notes;
    for (const uint16_t port : ports) {
        if (const auto owner = claims.OwnerOf(port)) {
            std::string note = ClaimNote(*owner);
            if (std::find(notes.begin(), notes.end(), note) == notes.end()) {
                notes.push_back(std::move(note));
            }
        }
    }
    return notes;
}

std::optional<std::string> ActiveLockdownMode(std::string_view lockdownText)
{
    const size_t open = lockdownText.find('[');
    const size_t close = lockdownText.find(']', open == std::string_view::npos ? 0 : open);
    if (open == std::string_view::npos || close == std::string_view::npos || close == open + 1) {
        return std::nullopt;
    }
    const std::string_view mode = lockdownText.substr(open + 1, close - open - 1);
    if (mode == "none") {
        return std::nullopt;
    }
    return std::string(mode);
}

} // namespace calventa::platform::linux_backend
