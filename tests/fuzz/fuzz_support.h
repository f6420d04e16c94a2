#pragma once

// What the fuzz targets share: a check that makes libFuzzer report the input, the splitting
// of one input into the files it stands for, and the machine pieces a target needs besides
// the one it feeds.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/disk_table.h"
#include "platform/disk_service.h"

namespace calventa::fuzz {

// A broken promise of the code under test: abort, so libFuzzer keeps the input as a finding.
#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);                         \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (0)

using Bytes = std::span<const uint8_t>;

// An input that stands for several files separates them with this line; the dictionaries
// name it, so the fuzzer moves text across it as a whole.
inline constexpr std::string_view kPartMarker = "\n--cv-part--\n";

// The parts of an input, in order; an input without a marker is one part.
inline std::vector<Bytes> SplitParts(Bytes input)
{
    std::vector<Bytes> parts;
    const auto marker =
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(kPartMarker.data()), kPartMarker.size());
    for (;;) {
        const auto found = std::search(input.begin(), input.end(), marker.begin(), marker.end());
        if (found == input.end()) {
            parts.push_back(input);
            return parts;
        }
        const auto length = static_cast<size_t>(found - input.begin());
        parts.push_back(input.first(length));
        input = input.subspan(length + marker.size());
    }
}

inline std::string_view Text(Bytes bytes)
{
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// A fixed-size page from the input at `offset`: what the input does not reach stays zero.
template <size_t N> std::array<uint8_t, N> PageAt(Bytes input, size_t offset)
{
    std::array<uint8_t, N> page{};
    if (offset < input.size()) {
        const size_t count = std::min(N, input.size() - offset);
        std::copy_n(input.begin() + static_cast<std::ptrdiff_t>(offset), count, page.begin());
    }
    return page;
}

// Reads the input front to back; past its end every read gives 0.
class Reader
{
public:
    explicit Reader(Bytes input) : m_input(input) {}

    bool Empty() const { return m_offset >= m_input.size(); }
    uint8_t Byte() { return m_offset < m_input.size() ? m_input[m_offset++] : 0; }
    uint16_t U16() { return static_cast<uint16_t>(Byte() | Byte() << 8); }
    uint32_t U32() { return static_cast<uint32_t>(U16()) | static_cast<uint32_t>(U16()) << 16; }
    // Up to `count` bytes; fewer at the end of the input.
    Bytes Take(size_t count)
    {
        const size_t start = std::min(m_offset, m_input.size());
        const size_t taken = std::min(count, m_input.size() - start);
        m_offset = start + taken;
        return m_input.subspan(start, taken);
    }
    Bytes Rest() { return Take(m_input.size()); }

private:
    Bytes m_input;
    size_t m_offset = 0;
};

// Whatever bytes a disk table came from, its counts and strings stay within their fields and
// every accessor answers for any entry.
inline void CheckDiskTable(const core::DiskTable& table)
{
    FUZZ_CHECK(table.DiskCount <= core::kMaxDisks);
    FUZZ_CHECK(table.DriveCount <= core::kMaxDisks);
    for (size_t i = 0; i < core::kMaxDisks; ++i) {
        FUZZ_CHECK(table.Model[i].size() <= core::kDiskModelMax);
        FUZZ_CHECK(table.Serial[i].size() <= core::kDiskSerialMax);
        FUZZ_CHECK(table.Firmware[i].size() <= core::kDiskFirmwareMax);
    }
    for (int n = -1; n <= core::kMaxDisks; ++n) {
        (void)table.Listed(n);
        (void)table.ListsDrive(n);
        (void)table.ListsNvmeController(n);
        (void)table.IsNvme(n);
        (void)table.TemperatureOf(n);
        (void)table.Current(n);
    }
}

// A machine without a disk service.
class NoServices final : public platform::ServiceManager
{
public:
    std::unique_ptr<platform::ServiceManagerConnection> Connect() override { return nullptr; }
};

} // namespace calventa::fuzz
