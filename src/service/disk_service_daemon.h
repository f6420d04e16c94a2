#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "core/disk_table.h"
#include "disks/disk_reader.h"
#include "platform/program_store.h"
#include "platform/smart_device.h"

namespace calventa::service {

struct DaemonOptions
{
    std::string socketPath;
    uint32_t requestTimeoutMs = 2000; // a client that connects must send its code by then
    size_t maxPendingClients = 8;     // beyond that the longest waiting one is dropped
};

// calventasvc: reads the disks directly for monitors that may not open them. A request on
// its socket is one control code; 234 lists the disks, 235 reads their temperatures again.
// The disk table goes into "sysdata" of the program key (610 bytes after a scan, 601 after
// a temperature read, raw readings without corrections) before the reply is sent.
class DiskServiceDaemon
{
public:
    DiskServiceDaemon(platform::SmartDevices& drives, platform::ProgramStore& store, DaemonOptions options);
    ~DiskServiceDaemon();
    DiskServiceDaemon(const DiskServiceDaemon&) = delete;
    DiskServiceDaemon& operator=(const DiskServiceDaemon&) = delete;

    // Does the work of one control code; 0 once "sysdata" is written, else the error number.
    uint32_t HandleControl(uint32_t code);

    // Creates the socket (and its directory), open to every user's monitor. False, with a
    // one-line reason, when another daemon answers there or the socket cannot be made.
    bool Listen(std::string& error);

    // Answers requests until stopFd becomes readable, then closes and removes the socket.
    // Never busy-waits: it sleeps in poll until a client, the stop descriptor or the oldest
    // client's deadline. False when it had to stop for another reason (no socket, poll failed).
    bool Serve(int stopFd);

    const core::DiskTable& Table() const { return m_table; }

private:
    struct Client
    {
        int fd = -1;
        std::chrono::steady_clock::time_point deadline;
    };

    bool ServeUntilStopped(int stopFd);
    void StopListening();
    uint32_t Publish(size_t imageSize);
    void Scan();
    void AcceptClients();
    // False when the client is done with (answered, rejected or gone).
    bool ServeClient(int fd);
    void DropClient(size_t index);

    disks::DiskReader m_reader;
    platform::ProgramStore& m_store;
    DaemonOptions m_options;
    core::DiskTable m_table;
    bool m_scanned = false;
    int m_listenFd = -1;
    std::vector<Client> m_clients;
};

} // namespace calventa::service
