#pragma once

// A local user who attacks the disk service: a forked child that becomes nobody and, until
// told to stop, floods the socket with connections that never ask, requests it does not
// wait for, requests it waits for, and rubbish. Forked before the test starts any thread,
// so the child never meets a lock held by a thread that did not come along.

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/linux/linux_disk_service.h"
#include "platform/linux_test_support.h"

namespace calventa::service::testing {

struct HostileCounts
{
    uint64_t connections = 0; // connect() that succeeded
    uint64_t requests = 0;    // control codes sent
    uint64_t answers = 0;     // replies read (to the requests it waited for)
};

class HostileUser
{
public:
    // What the child does in each round of its loop.
    enum class Style {
        Mixed,      // hold idle connections, spam 234/235 without waiting, ask and wait, send rubbish
        AskAndWait, // one request after another, each waiting for its reply
    };

    explicit HostileUser(Style style = Style::Mixed) : m_style(style)
    {
        if (pipe2(m_go, O_CLOEXEC) != 0 || pipe2(m_result, O_CLOEXEC) != 0) {
            return;
        }
        m_child = fork();
        if (m_child == 0) {
            close(m_go[1]);
            close(m_result[0]);
            platform::linux_backend::testing::BecomeUnprivileged();
            Run();
            _exit(0);
        }
        close(m_go[0]);
        close(m_result[1]);
        m_go[0] = m_result[1] = -1;
    }
    ~HostileUser() { Stop(); }
    HostileUser(const HostileUser&) = delete;
    HostileUser& operator=(const HostileUser&) = delete;

    bool Started() const { return m_child > 0; }

    // Starts the flood on the socket, for at most limitMs.
    void Attack(const std::string& socketPath, uint32_t limitMs = 60000)
    {
        std::array<char, 112> message{};
        std::memcpy(message.data(), &limitMs, sizeof limitMs);
        std::strncpy(message.data() + sizeof limitMs, socketPath.c_str(), message.size() - sizeof limitMs - 1);
        [[maybe_unused]] const ssize_t n = write(m_go[1], message.data(), message.size());
    }

    // Ends the flood and returns what the child counted.
    HostileCounts Stop()
    {
        if (m_child <= 0) {
            return m_counts;
        }
        close(m_go[1]); // the child polls for this
        m_go[1] = -1;
        HostileCounts counts;
        if (read(m_result[0], &counts, sizeof counts) == static_cast<ssize_t>(sizeof counts)) {
            m_counts = counts;
        }
        close(m_result[0]);
        m_result[0] = -1;
        waitpid(m_child, nullptr, 0);
        m_child = -1;
        return m_counts;
    }

private:
    static uint64_t NowMs()
    {
        timespec now = {};
        clock_gettime(CLOCK_MONOTONIC, &now);
        return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
    }

    int Connect()
    {
        const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) {
            return -1;
        }
        if (connect(fd, reinterpret_cast<const sockaddr*>(&m_address), sizeof m_address) != 0) {
            close(fd);
            return -1;
        }
        ++m_counts.connections;
        return fd;
    }

    void Send(int fd, uint32_t code)
    {
        const auto message = platform::linux_backend::EncodeServiceMessage(code);
        if (send(fd, message.data(), message.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(message.size())) {
            ++m_counts.requests;
        }
    }

    void AskAndWait(uint32_t code, int waitMs = 5000)
    {
        const int fd = Connect();
        if (fd < 0) {
            return;
        }
        Send(fd, code);
        pollfd entry = {fd, POLLIN, 0};
        uint8_t reply[1024];
        if (poll(&entry, 1, waitMs) > 0 && recv(fd, reply, sizeof reply, 0) > 0) {
            ++m_counts.answers;
        }
        close(fd);
    }

    bool StopAsked()
    {
        pollfd entry = {m_go[0], POLLIN, 0};
        return poll(&entry, 1, 0) != 0 || NowMs() >= m_endMs;
    }

    // Child only: no allocation, no locks.
    void Run()
    {
        std::array<char, 112> message{};
        if (read(m_go[0], message.data(), message.size()) != static_cast<ssize_t>(message.size())) {
            return;
        }
        uint32_t limitMs = 0;
        std::memcpy(&limitMs, message.data(), sizeof limitMs);
        m_endMs = NowMs() + limitMs;
        m_address.sun_family = AF_UNIX;
        std::memcpy(m_address.sun_path, message.data() + sizeof limitMs,
                    std::min(sizeof m_address.sun_path - 1, message.size() - sizeof limitMs));

        std::array<int, 200> idle;
        idle.fill(-1);
        size_t nextIdle = 0;
        for (uint64_t round = 0; !StopAsked(); ++round) {
            if (m_style == Style::AskAndWait) {
                AskAndWait(round % 2 == 0 ? 234 : 235);
                continue;
            }
            // Connections that never ask, held until the slot comes round again.
            if (idle[nextIdle] >= 0) {
                close(idle[nextIdle]);
            }
            idle[nextIdle] = Connect();
            nextIdle = (nextIdle + 1) % idle.size();
            // Requests it does not wait for.
            for (int i = 0; i < 4; ++i) {
                const int fd = Connect();
                if (fd >= 0) {
                    Send(fd, (round + static_cast<uint64_t>(i)) % 2 == 0 ? 234 : 235);
                    close(fd);
                }
            }
            // Rubbish.
            if (const int fd = Connect(); fd >= 0) {
                const uint8_t junk[7] = {234, 0, 0, 0, 1, 2, 3};
                [[maybe_unused]] const ssize_t n = send(fd, junk, sizeof junk, MSG_NOSIGNAL);
                close(fd);
            }
            // A short wait: the flood must not slow itself down to the daemon's pace.
            AskAndWait(round % 2 == 0 ? 235 : 234, 5);
        }
        for (const int fd : idle) {
            if (fd >= 0) {
                close(fd);
            }
        }
        [[maybe_unused]] const ssize_t n = write(m_result[1], &m_counts, sizeof m_counts);
    }

    Style m_style;
    int m_go[2] = {-1, -1};
    int m_result[2] = {-1, -1};
    pid_t m_child = -1;
    HostileCounts m_counts;
    sockaddr_un m_address = {};
    uint64_t m_endMs = 0;
};

} // namespace calventa::service::testing
