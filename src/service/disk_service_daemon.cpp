#include "service/disk_service_daemon.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <thread>

#include "core/program_store_access.h"
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
constexpr int kListenBacklog = 16;
constexpr auto kAcceptBackoff = std::chrono::milliseconds(100);

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

void Reply(int fd, uint32_t status)
{
    const auto message = EncodeServiceMessage(status);
    // A client that has gone away does not get it; that is all.
    send(fd, message.data(), message.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

} // namespace

DiskServiceDaemon::DiskServiceDaemon(platform::SmartDevices& drives, platform::ProgramStore& store,
                                     DaemonOptions options)
    : m_reader(drives), m_store(store), m_options(std::move(options))
{
}

DiskServiceDaemon::~DiskServiceDaemon()
{
    StopListening();
}

void DiskServiceDaemon::StopListening()
{
    for (size_t i = m_clients.size(); i > 0; --i) {
        DropClient(i - 1);
    }
    if (m_listenFd >= 0) {
        close(m_listenFd);
        m_listenFd = -1;
        unlink(m_options.socketPath.c_str());
    }
}

uint32_t DiskServiceDaemon::HandleControl(uint32_t code)
{
    switch (code) {
    case platform::kDiskScanControl:
        Scan();
        return Publish(core::kDiskScanImageSize);
    case platform::kDiskTemperatureControl:
        // A daemon restarted since the monitor's scan lists the disks again first, in the
        // same drive order, so that the monitor's entries still match.
        if (!m_scanned) {
            Scan();
        } else {
            m_reader.ReadDiskTemperatures(m_table);
        }
        return Publish(core::kDiskTemperatureImageSize);
    default:
        return platform::kErrorInvalidServiceControl;
    }
}

void DiskServiceDaemon::Scan()
{
    m_table = core::DiskTable{};
    m_reader.ScanDisks(m_table);
    m_scanned = true;
}

uint32_t DiskServiceDaemon::Publish(size_t imageSize)
{
    std::unique_ptr<platform::StoreKey> key =
        m_store.OpenKey(platform::StoreKeyId::Program, platform::kKeyWrite, /*createIfMissing=*/true);
    if (!key) {
        return platform::kErrorAccessDenied;
    }
    return key->WriteBinary(core::kSysdataValue, core::EncodeDiskTable(m_table, imageSize))
               ? 0
               : platform::kErrorWriteFault;
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
    if (chmod(m_options.socketPath.c_str(), kSocketMode) != 0 || listen(fd, kListenBacklog) != 0) {
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
    for (;;) {
        fds.clear();
        fds.push_back({stopFd, POLLIN, 0});
        fds.push_back({m_listenFd, POLLIN, 0});
        for (const Client& client : m_clients) {
            fds.push_back({client.fd, POLLIN, 0});
        }
        int timeoutMs = -1;
        if (!m_clients.empty()) {
            const auto nearest =
                std::min_element(m_clients.begin(), m_clients.end(), [](const Client& a, const Client& b) {
                    return a.deadline < b.deadline;
                })->deadline;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(nearest - Clock::now()).count();
            timeoutMs = static_cast<int>(std::clamp<int64_t>(left + 1, 0, m_options.requestTimeoutMs + 1));
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
        // Clients first, by descriptor, since accepting may drop the oldest of them.
        std::vector<int> ready;
        for (size_t i = 2; i < fds.size(); ++i) {
            if (fds[i].revents != 0) {
                ready.push_back(fds[i].fd);
            }
        }
        for (const int fd : ready) {
            auto it = std::find_if(m_clients.begin(), m_clients.end(), [fd](const Client& c) { return c.fd == fd; });
            if (it != m_clients.end() && !ServeClient(fd)) {
                DropClient(static_cast<size_t>(it - m_clients.begin()));
            }
        }
        const auto now = Clock::now();
        for (size_t i = m_clients.size(); i > 0; --i) {
            if (m_clients[i - 1].deadline <= now) {
                DropClient(i - 1);
            }
        }
        if (fds[1].revents != 0) {
            AcceptClients();
        }
    }
}

void DiskServiceDaemon::AcceptClients()
{
    for (;;) {
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
        if (m_clients.size() >= std::max<size_t>(m_options.maxPendingClients, 1)) {
            DropClient(0); // silent clients cannot lock the others out
        }
        m_clients.push_back({fd, Clock::now() + std::chrono::milliseconds(m_options.requestTimeoutMs)});
    }
}

bool DiskServiceDaemon::ServeClient(int fd)
{
    std::array<uint8_t, kServiceMessageSize + 1> request{};
    const ssize_t received = recv(fd, request.data(), request.size(), MSG_TRUNC | MSG_DONTWAIT);
    if (received < 0 && (errno == EAGAIN || errno == EINTR)) {
        return true;
    }
    if (received <= 0) {
        return false; // gone before asking
    }
    const auto code = static_cast<size_t>(received) == kServiceMessageSize
                          ? DecodeServiceMessage(std::span<const uint8_t>(request.data(), kServiceMessageSize))
                          : std::nullopt;
    if (!code) {
        Reply(fd, platform::kErrorInvalidData);
        return false;
    }
    Reply(fd, HandleControl(*code));
    return false;
}

void DiskServiceDaemon::DropClient(size_t index)
{
    close(m_clients[index].fd);
    m_clients.erase(m_clients.begin() + static_cast<std::ptrdiff_t>(index));
}

} // namespace calventa::service
