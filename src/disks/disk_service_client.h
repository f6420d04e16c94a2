#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/disk_table.h"
#include "core/startup_log.h"
#include "platform/clock.h"
#include "platform/disk_service.h"
#include "platform/program_store.h"

namespace calventa::disks {

enum class ServiceDetection {
    Detected,
    NoServiceManager, // the manager could not be reached; nothing is logged
    NoService,
    StatusQueryFailed,
    NotRunning,
};

enum class SysdataRead {
    Taken,
    Missing, // no key, no value, or a value that is not binary: the table is left as it was
    TooLong, // longer than the request accepts: not taken
};

struct ServiceRequestResult
{
    bool delivered = false;
    uint32_t error = 0; // the system's error number when not delivered
    SysdataRead sysdata = SysdataRead::Missing;
    bool fromReply = false; // the image came with the reply, not from "sysdata"
};

// "sysdata" of the program key (opened for reading, created when missing) over the table,
// when it is binary and at most maxBytes long.
SysdataRead ReadSysdata(platform::ProgramStore& store, size_t maxBytes, core::DiskTable& table);

// The monitor's side of the disk service: finds it running, asks it to scan or to read the
// temperatures, and takes the table the reply carries, or, from a service that sends none,
// the one it leaves in "sysdata".
class DiskServiceClient
{
public:
    DiskServiceClient(platform::ServiceManager& services, platform::ProgramStore& store, platform::Clock& clock,
                      core::StartupLog& log);

    // Writes the detection's log lines; keeps the service handle when the service runs.
    ServiceDetection Detect();
    bool IsOpen() const { return m_service != nullptr; }

    // Control code 234, then the reply's image or "sysdata", of at most 610 bytes
    // (DriveCount included).
    ServiceRequestResult RequestScan(core::DiskTable& table);
    // Control code 235, then the reply's image, or after 100 ms for the service to write,
    // "sysdata", of at most 601 bytes.
    ServiceRequestResult RequestTemperatures(core::DiskTable& table);

    void Close();

private:
    platform::ServiceManager& m_services;
    platform::ProgramStore& m_store;
    platform::Clock& m_clock;
    core::StartupLog& m_log;
    std::unique_ptr<platform::ServiceHandle> m_service;
};

} // namespace calventa::disks
