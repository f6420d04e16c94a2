#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/disk_table.h"
#include "disks/disk_reader.h"
#include "platform/program_store.h"
#include "platform/smart_device.h"

namespace calventa::service {

// The answer to one control code: the status for the reply and, when it is 0, the disk table
// image the request produced (also written to "sysdata").
struct ControlAnswer
{
    uint32_t status = 0;
    std::vector<uint8_t> image;
    bool fresh = false; // the drives were asked (not an answer from the last result)
};

// What the disk service does for a control code, whatever carries the request (a socket on
// Linux, the service control manager on Windows): 234 lists the disks, 235 reads their
// temperatures again; the disk table goes into "sysdata" of the program key (610 bytes after
// a scan, 601 after a temperature read, raw readings without corrections). Whoever asks, the
// drives are asked at most once per kind within coalesceMs; a request inside that time is
// answered from the last result. Any other code is refused without touching anything.
class DiskServiceWork
{
public:
    using Clock = std::chrono::steady_clock;

    DiskServiceWork(platform::SmartDevices& drives, platform::ProgramStore& store, uint32_t coalesceMs,
                    std::function<Clock::time_point()> now = {});

    ControlAnswer HandleControl(uint32_t code);

    const core::DiskTable& Table() const { return m_table; }
    // What the disk reader noted (a disk fell asleep or woke) since the last call.
    std::vector<std::string> TakeNotes() { return m_reader.TakeNotes(); }

private:
    struct LastResult
    {
        bool valid = false;
        Clock::time_point at;
        std::vector<uint8_t> image;
    };

    Clock::time_point Now() const;
    uint32_t Publish(const std::vector<uint8_t>& image);
    void Scan();

    disks::DiskReader m_reader;
    platform::ProgramStore& m_store;
    uint32_t m_coalesceMs;
    std::function<Clock::time_point()> m_now;
    core::DiskTable m_table;
    bool m_scanned = false;
    std::array<LastResult, 2> m_last; // scan, temperature read
    std::vector<uint8_t> m_stored;    // what "sysdata" holds as far as this service wrote it
};

} // namespace calventa::service
