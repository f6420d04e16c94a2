#include "service/disk_service_daemon.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

#include "platform/disk_service.h"
#include "platform/linux/file_io.h"
#include "platform/linux/linux_disk_service.h"

namespace calventa::service {

namespace {

using Clock = std::chrono::steady_clock;
using platform::linux_backend::DecodeServiceMessage;
using platform::linux_backend::EncodeServiceMessage;
using platform::linux_backend::kServiceMessageSize;

constexpr mode_t kSocketDirectoryMode = 0755;
constexpr mode_t kSocketMode = 0666; // every user's monitor may ask
constexpr auto kAcceptBackoff = std::chrono::milliseconds(100);
constexpr int kAcceptsPerRound = 64; // then the connections already held get their turn

bool FillAddress(const std::string& path, sockaddr_un& address)
{
    address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof(address.sun_path)) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

bool SomeoneAnswers(const sockaddr_un& address)
{
    const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    const bool answers = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    close(fd);
    return answers;
}

std::optional<uid_t> PeerUid(int fd)
{
    ucred credentials = {};
    socklen_t length = sizeof credentials;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 || length != sizeof credentials) {
        return std::nullopt;
    }
    return credentials.uid;
}

} // namespace

DiskServiceDaemon::DiskServiceDaemon(platform::SmartDevices& drives, platform::ProgramStore& store,
                                     DaemonOptions options)
    : m_options(std::move(options)), m_work(drives, store, m_options.coalesceMs, m_options.now)
{
}

DiskServiceDaemon::~DiskServiceDaemon()
{
    StopListening();
}

void DiskServiceDaemon::StopListening()
{
    for (size_t i = m_connections.size(); i > 0; --i) {
        DropConnection(i - 1);
    }
    if (m_listenFd >= 0) {
        close(m_listenFd);
        m_listenFd = -1;
        unlink(m_options.socketPath.c_str());
    }
}

DaemonOptions::Clock::time_point DiskServiceDaemon::Now() const
{
    return m_options.now ? m_options.now() : Clock::now();
}

ControlAnswer DiskServiceDaemon::HandleControl(uint32_t code)
{
    ControlAnswer answer = m_work.HandleControl(code);
    // The journal keeps what the monitor's log would say: a disk fell asleep or woke.
    for (const std::string& note : m_work.TakeNotes()) {
        std::fprintf(stderr, "calventasvc: %s\n", note.c_str());
    }
    return answer;
}

std::vector<std::vector<uint8_t>> DiskServiceDaemon::AnswerRequest(std::span<const uint8_t> request)
{
    const std::optional<uint32_t> code = DecodeServiceMessage(request);
    const ControlAnswer answer = code ? HandleControl(*code) : ControlAnswer{platform::kErrorInvalidData, {}, false};
    const auto status = EncodeServiceMessage(answer.status);
    std::vector<std::vector<uint8_t>> messages{{status.begin(), status.end()}};
    if (answer.status == 0) {
        // A second message, so that a client reading only the status still finds exactly it.
        messages.push_back(platform::linux_backend::EncodeImageMessage(answer.image));
    }
    return messages;
}

bool DiskServiceDaemon::Listen(std::string& error)
{
    sockaddr_un address;
    if (!FillAddress(m_options.socketPath, address)) {
        error = "socket path is empty or too long: " + m_options.socketPath;
        return false;
    }
    const std::string directory = platform::linux_backend::DirectoryOf(m_options.socketPath);
    if (!platform::linux_backend::MakeDirectories(directory, kSocketDirectoryMode)) {
        error = "cannot create " + directory + ": " + std::strerror(errno);
        return false;
    }
    struct stat st = {};
    if (lstat(m_options.socketPath.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            error = m_options.socketPath + " exists and is not a socket";
            return false;
        }
        if (SomeoneAnswers(address)) {
            error = "another calventasvc answers on " + m_options.socketPath;
            return false;
        }
        unlink(m_options.socketPath.c_str()); // left behind by a daemon that died
    }
    const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        error = "cannot bind " + m_options.socketPath + ": " + std::strerror(errno);
        close(fd);
        return false;
    }
    // Connections wait in the kernel while the daemon reads the drives. The queue is as long as
    // the connections it may hold: a longer one only lets a flood park thousands of connections
    // ahead of an honest one, which then waits behind them all; a full queue makes a client's
    // non-blocking connect fail with EAGAIN, and the client tries again until its timeout.
    const int backlog = static_cast<int>(std::clamp<size_t>(m_options.maxConnections, 1, SOMAXCONN));
    if (chmod(m_options.socketPath.c_str(), kSocketMode) != 0 || listen(fd, backlog) != 0) {
        error = "cannot open " + m_options.socketPath + " to clients: " + std::strerror(errno);
        close(fd);
        unlink(m_options.socketPath.c_str());
        return false;
    }
    m_listenFd = fd;
    return true;
}

bool DiskServiceDaemon::Serve(int stopFd)
{
    const bool stopped = ServeUntilStopped(stopFd);
    // Monitors asking from now on find the service stopped instead of waiting for a reply.
    StopListening();
    return stopped;
}

bool DiskServiceDaemon::ServeUntilStopped(int stopFd)
{
    if (m_listenFd < 0) {
        return false;
    }
    std::vector<pollfd> fds;
    std::vector<size_t> polled; // connection index of fds[2 + i]
    for (;;) {
        fds.clear();
        polled.clear();
        fds.push_back({stopFd, POLLIN, 0});
        fds.push_back({m_listenFd, POLLIN, 0});
        const auto now = Now();
        auto wake = Clock::time_point::max();
        for (size_t i = 0; i < m_connections.size(); ++i) {
            const Connection& c = m_connections[i];
            if (!c.asked) {
                wake = std::min(wake, c.deadline);
            }
            if (MayAnswer(c.uid)) {
                fds.push_back({c.fd, POLLIN, 0});
                polled.push_back(i);
            } else {
                // The user's next answer is due when its bucket holds a whole token again.
                const User& user = UserOf(c.uid);
                const double wait = (1.0 - user.tokens) / std::max(m_options.userAnswersPerSecond, 1e-3);
                wake = std::min(wake, now + std::chrono::microseconds(static_cast<int64_t>(wait * 1e6) + 1000));
            }
        }
        int timeoutMs = -1;
        if (wake != Clock::time_point::max()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(wake - now).count();
            timeoutMs = static_cast<int>(std::clamp<int64_t>(left + 1, 0, 60000));
        }
        if (poll(fds.data(), fds.size(), timeoutMs) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (fds[0].revents != 0) {
            return true;
        }
        // Answer what has arrived, oldest connection first, while each user has turns left.
        std::vector<int> ready;
        for (size_t i = 0; i < polled.size(); ++i) {
            if (fds[2 + i].revents != 0) {
                ready.push_back(m_connections[polled[i]].fd);
            }
        }
        for (const int fd : ready) {
            auto it = std::find_if(m_connections.begin(), m_connections.end(),
                                   [fd](const Connection& c) { return c.fd == fd; });
            if (it == m_connections.end()) {
                continue;
            }
            const auto index = static_cast<size_t>(it - m_connections.begin());
            if (MayAnswer(it->uid)) {
                ServeConnection(index);
            } else {
                it->asked = true; // waits for the user's next turn
            }
        }
        // Idle connections past their time go, unless their request came meanwhile.
        const auto later = Now();
        for (size_t i = m_connections.size(); i > 0; --i) {
            Connection& c = m_connections[i - 1];
            if (c.asked || c.deadline > later) {
                continue;
            }
            const Pending pending = Peek(c.fd);
            if (pending == Pending::Request) {
                c.asked = true;
            } else {
                DropConnection(i - 1);
            }
        }
        if (fds[1].revents != 0) {
            AcceptClients();
        }
        ForgetIdleUsers();
    }
}

void DiskServiceDaemon::AcceptClients()
{
    for (int accepted = 0; accepted < kAcceptsPerRound; ++accepted) {
        const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) {
                continue;
            }
            if (errno != EAGAIN) {
                // Out of descriptors or memory: the connection stays queued and the listener
                // readable, so pause instead of spinning on it.
                std::this_thread::sleep_for(kAcceptBackoff);
            }
            return;
        }
        const std::optional<uid_t> uid = PeerUid(fd);
        if (!uid || !MakeRoomFor(*uid)) {
            close(fd); // a user past its bounds: the newcomer is turned away unread
            continue;
        }
        ++UserOf(*uid).connections;
        m_connections.push_back({fd, *uid, Now() + std::chrono::milliseconds(m_options.requestTimeoutMs), false});
    }
}

// Room for one more connection of the user: its own oldest idle connection makes way when
// it holds its share; when all users together hold the most, what has arrived is answered
// first and then the oldest idle connection of the user holding the most goes. False when
// nothing can make way: every held connection has a request waiting.
bool DiskServiceDaemon::MakeRoomFor(uid_t uid)
{
    if (!Exempt(uid) && UserOf(uid).connections >= std::max<size_t>(m_options.maxConnectionsPerUser, 1)) {
        if (!EvictIdle(uid)) {
            return false;
        }
    }
    if (m_connections.size() < std::max<size_t>(m_options.maxConnections, 1)) {
        return true;
    }
    ServeArrived();
    if (m_connections.size() < std::max<size_t>(m_options.maxConnections, 1)) {
        return true;
    }
    std::unordered_map<uid_t, size_t> idleByUser;
    for (const Connection& c : m_connections) {
        if (!c.asked) {
            ++idleByUser[c.uid];
        }
    }
    uid_t heaviest = uid;
    size_t most = 0;
    for (const auto& [user, count] : idleByUser) {
        if (count > most) {
            heaviest = user;
            most = count;
        }
    }
    return most > 0 && EvictIdle(heaviest);
}

// Answers every connection whose request has arrived, whatever its user's rate: a request
// that has arrived is never dropped to make room.
void DiskServiceDaemon::ServeArrived()
{
    for (size_t i = m_connections.size(); i > 0; --i) {
        Connection& c = m_connections[i - 1];
        const Pending pending = c.asked ? Pending::Request : Peek(c.fd);
        if (pending == Pending::Request) {
            ServeConnection(i - 1);
        } else if (pending == Pending::Gone) {
            DropConnection(i - 1);
        }
    }
}

// Drops the user's oldest connection that has not asked; false when it has none.
bool DiskServiceDaemon::EvictIdle(uid_t uid)
{
    for (size_t i = 0; i < m_connections.size(); ++i) {
        Connection& c = m_connections[i];
        if (c.uid != uid || c.asked) {
            continue;
        }
        const Pending pending = Peek(c.fd);
        if (pending == Pending::Request) {
            c.asked = true;
            continue;
        }
        DropConnection(i);
        return true;
    }
    return false;
}

DiskServiceDaemon::Pending DiskServiceDaemon::Peek(int fd) const
{
    uint8_t byte = 0;
    const ssize_t n = recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0) {
        return Pending::Request;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        return Pending::Idle;
    }
    return Pending::Gone;
}

// Reads the connection's one request, answers it and closes the connection: one request per
// connection bounds what one client can ask for.
void DiskServiceDaemon::ServeConnection(size_t index)
{
    const int fd = m_connections[index].fd;
    std::array<uint8_t, kServiceMessageSize + 1> request{};
    const ssize_t received = recv(fd, request.data(), request.size(), MSG_TRUNC | MSG_DONTWAIT);
    if (received < 0 && (errno == EAGAIN || errno == EINTR)) {
        return; // nothing yet after all
    }
    if (received > 0) {
        ChargeAnswer(m_connections[index].uid);
        // MSG_TRUNC gives the message's true length: a longer one is kept cut, and refused.
        const size_t length = std::min(static_cast<size_t>(received), request.size());
        for (const std::vector<uint8_t>& message : AnswerRequest(std::span<const uint8_t>(request.data(), length))) {
            // A client that has gone away does not get it; that is all.
            send(fd, message.data(), message.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        }
    }
    DropConnection(index);
}

void DiskServiceDaemon::DropConnection(size_t index)
{
    const Connection c = m_connections[index];
    close(c.fd);
    m_connections.erase(m_connections.begin() + static_cast<std::ptrdiff_t>(index));
    if (auto it = m_users.find(c.uid); it != m_users.end() && it->second.connections > 0) {
        --it->second.connections;
    }
}

DiskServiceDaemon::User& DiskServiceDaemon::UserOf(uid_t uid)
{
    const auto now = Now();
    auto [it, added] = m_users.try_emplace(uid);
    User& user = it->second;
    if (added) {
        user.tokens = m_options.userBurst;
    } else {
        const double seconds = std::chrono::duration<double>(now - user.refilled).count();
        user.tokens =
            std::min(m_options.userBurst, user.tokens + std::max(seconds, 0.0) * m_options.userAnswersPerSecond);
    }
    user.refilled = now;
    return user;
}

bool DiskServiceDaemon::MayAnswer(uid_t uid)
{
    return Exempt(uid) || UserOf(uid).tokens >= 1.0;
}

void DiskServiceDaemon::ChargeAnswer(uid_t uid)
{
    if (!Exempt(uid)) {
        UserOf(uid).tokens -= 1.0;
    }
}

// A user without connections whose bucket has filled up again is forgotten: remembering it
// would let the table grow with every user that ever asked, and it owes nothing.
void DiskServiceDaemon::ForgetIdleUsers()
{
    for (auto it = m_users.begin(); it != m_users.end();) {
        const uid_t uid = it->first;
        if (it->second.connections == 0 && UserOf(uid).tokens >= m_options.userBurst) {
            it = m_users.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace calventa::service
