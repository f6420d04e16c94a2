#pragma once

#include <sys/types.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/disk_table.h"
#include "disks/disk_reader.h"
#include "platform/program_store.h"
#include "platform/smart_device.h"
#include "service/disk_service_work.h"

namespace calventa::service {

struct DaemonOptions
{
    using Clock = std::chrono::steady_clock;

    DaemonOptions() = default;
    DaemonOptions(std::string path) : socketPath(std::move(path)) {} // the defaults on that socket

    std::string socketPath;
    uint32_t requestTimeoutMs = 2000; // a connection must send its code by then
    // Connections held at once: in all (each is a descriptor), and for one user. Root's
    // connections count only towards the first.
    size_t maxConnections = 256;
    size_t maxConnectionsPerUser = 32;
    // A request within this time of the last one of the same kind is answered from that
    // result, without sending the drives a command or writing "sysdata" again.
    uint32_t coalesceMs = 1000;
    // Answers per second for one user (a token bucket of burst answers); root is not bound,
    // it may send the commands itself.
    double userAnswersPerSecond = 10.0;
    double userBurst = 20.0;
    std::function<Clock::time_point()> now; // empty: the steady clock
};

// calventasvc: reads the disks directly for monitors that may not open them. A request on
// its socket is one control code; 234 lists the disks, 235 reads their temperatures again.
// The disk table goes into "sysdata" of the program key (610 bytes after a scan, 601 after
// a temperature read, raw readings without corrections) before the reply is sent; the reply
// carries the same image.
//
// Every local user may connect, so every request is hostile input: the drives are asked at
// most once per kind within coalesceMs whoever asks, each user is answered at a bounded
// rate and holds a bounded number of connections, and a connection whose request has
// arrived is answered before anything is evicted; only connections that have not asked
// (idle) are dropped to make room, those of the user holding the most first.
class DiskServiceDaemon
{
public:
    DiskServiceDaemon(platform::SmartDevices& drives, platform::ProgramStore& store, DaemonOptions options);
    ~DiskServiceDaemon();
    DiskServiceDaemon(const DiskServiceDaemon&) = delete;
    DiskServiceDaemon& operator=(const DiskServiceDaemon&) = delete;

    // Does the work of one control code (or answers from the last result of its kind).
    ControlAnswer HandleControl(uint32_t code);
    // The reply messages to one request message as received (any bytes, any length): the
    // status message and, after a 0, the image message. Anything but one 4-byte code is
    // answered with kErrorInvalidData alone.
    std::vector<std::vector<uint8_t>> AnswerRequest(std::span<const uint8_t> request);

    // Creates the socket (and its directory), open to every user's monitor. False, with a
    // one-line reason, when another daemon answers there or the socket cannot be made.
    bool Listen(std::string& error);

    // Answers requests until stopFd becomes readable, then closes and removes the socket.
    // Never busy-waits: it sleeps in poll until a client, the stop descriptor, an idle
    // connection's deadline or a waiting user's next turn. False when it had to stop for
    // another reason (no socket, poll failed).
    bool Serve(int stopFd);

    const core::DiskTable& Table() const { return m_work.Table(); }
    size_t Connections() const { return m_connections.size(); }
    size_t KnownUsers() const { return m_users.size(); }

private:
    using Clock = DaemonOptions::Clock;

    struct Connection
    {
        int fd = -1;
        uid_t uid = 0;
        Clock::time_point deadline; // an idle connection is dropped then
        bool asked = false;         // its request has arrived and waits for the user's turn
    };
    struct User
    {
        double tokens = 0;
        Clock::time_point refilled;
        size_t connections = 0;
    };
    enum class Pending { Request, Idle, Gone };

    Clock::time_point Now() const;
    bool ServeUntilStopped(int stopFd);
    void StopListening();
    void AcceptClients();
    bool MakeRoomFor(uid_t uid);
    void ServeArrived();
    bool EvictIdle(uid_t uid);
    void ServeConnection(size_t index);
    void DropConnection(size_t index);
    Pending Peek(int fd) const;
    bool Exempt(uid_t uid) const { return uid == 0; }
    User& UserOf(uid_t uid);
    bool MayAnswer(uid_t uid);
    void ChargeAnswer(uid_t uid);
    void ForgetIdleUsers();

    DaemonOptions m_options;
    DiskServiceWork m_work; // the requests' work and their coalescing
    int m_listenFd = -1;
    std::vector<Connection> m_connections; // in the order they were accepted
    std::unordered_map<uid_t, User> m_users;
};

} // namespace calventa::service
