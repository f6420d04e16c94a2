#include "platform/linux/linux_disk_service.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace calventa::platform::linux_backend {

namespace {

constexpr uint32_t kBusyRetryMs = 10; // a full listen queue empties as the service accepts

// A connected socket; closed when destroyed.
class Socket
{
public:
    explicit Socket(int fd = -1) : m_fd(fd) {}
    ~Socket()
    {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    Socket(Socket&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    Socket& operator=(Socket&&) = delete;
    int Fd() const { return m_fd; }

private:
    int m_fd;
};

void SleepMs(uint32_t milliseconds)
{
    timespec delay = {static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&delay, &delay) != 0 && errno == EINTR) {
    }
}

// Connects to the service's socket; on failure errno tells why.
Socket ConnectTo(const std::string& path, uint32_t timeoutMs, int& error)
{
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) {
        error = ENAMETOOLONG;
        return Socket();
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        Socket socket(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (socket.Fd() < 0) {
            error = errno;
            return Socket();
        }
        if (connect(socket.Fd(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0) {
            error = 0;
            return socket;
        }
        error = errno;
        if (error != EAGAIN || std::chrono::steady_clock::now() >= deadline) {
            return Socket();
        }
        SleepMs(kBusyRetryMs);
    }
}

uint32_t ErrorNumberOfConnect(int error)
{
    if (error == EACCES || error == EPERM) {
        return kErrorAccessDenied;
    }
    return error == EAGAIN ? kErrorServiceRequestTimeout : kErrorServiceNotActive;
}

bool PathExists(const std::string& path)
{
    struct stat st = {};
    return stat(path.c_str(), &st) == 0;
}

// Waits for the reply; false after the timeout.
bool WaitReadable(int fd, uint32_t timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd entry = {fd, POLLIN, 0};
        const int ready = poll(&entry, 1, static_cast<int>(std::max<int64_t>(left.count(), 0)));
        if (ready > 0) {
            return true;
        }
        if (ready == 0 || errno != EINTR) {
            return false;
        }
    }
}

class SocketServiceHandle final : public ServiceHandle
{
public:
    SocketServiceHandle(std::string socketPath, ServiceClientTimeouts timeouts)
        : m_socketPath(std::move(socketPath)), m_timeouts(timeouts)
    {
    }

    std::optional<ServiceState> QueryStatus() override
    {
        int error = 0;
        Socket socket = ConnectTo(m_socketPath, m_timeouts.connectMs, error);
        if (socket.Fd() >= 0 || error == EAGAIN) {
            return ServiceState::Running; // a full queue means the service is there, busy
        }
        if (error == ENOENT || error == ECONNREFUSED) {
            return ServiceState::Stopped;
        }
        return std::nullopt;
    }

    bool Control(uint32_t code, uint32_t& error) override { return Exchange(code, error, nullptr); }

    bool ControlForImage(uint32_t code, uint32_t& error, std::optional<std::vector<uint8_t>>& image) override
    {
        image.reset();
        return Exchange(code, error, &image);
    }

private:
    // One request; with image set, also the image message that may follow a 0.
    bool Exchange(uint32_t code, uint32_t& error, std::optional<std::vector<uint8_t>>* image)
    {
        int connectError = 0;
        Socket socket = ConnectTo(m_socketPath, m_timeouts.connectMs, connectError);
        if (socket.Fd() < 0) {
            error = ErrorNumberOfConnect(connectError);
            return false;
        }
        const ServiceMessage request = EncodeServiceMessage(code);
        if (send(socket.Fd(), request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) {
            error = kErrorBrokenPipe;
            return false;
        }
        if (!WaitReadable(socket.Fd(), m_timeouts.replyMs)) {
            error = kErrorServiceRequestTimeout;
            return false;
        }
        std::array<uint8_t, kServiceMessageSize + 1> reply{};
        const ssize_t received = recv(socket.Fd(), reply.data(), reply.size(), MSG_TRUNC | MSG_DONTWAIT);
        if (received <= 0) {
            error = received == 0 ? kErrorBrokenPipe : kErrorServiceRequestTimeout;
            return false;
        }
        const auto status = ReplyStatusOf(reply, static_cast<size_t>(received));
        if (!status) {
            error = kErrorInvalidData;
            return false;
        }
        error = *status;
        if (*status == 0 && image != nullptr) {
            *image = ReceiveImage(socket.Fd());
        }
        return *status == 0;
    }

    // The image message, when the service sends one; a service that does not closes the
    // connection after the status, so this waits only for a service that hangs.
    std::optional<std::vector<uint8_t>> ReceiveImage(int fd)
    {
        if (!WaitReadable(fd, m_timeouts.imageMs)) {
            return std::nullopt;
        }
        std::vector<uint8_t> message(kMaxImageMessageSize + 1);
        const ssize_t received = recv(fd, message.data(), message.size(), MSG_TRUNC | MSG_DONTWAIT);
        if (received <= 0) {
            return std::nullopt;
        }
        return ReplyImageOf(message, static_cast<size_t>(received));
    }

    std::string m_socketPath;
    ServiceClientTimeouts m_timeouts;
};

class SocketManagerConnection final : public ServiceManagerConnection
{
public:
    SocketManagerConnection(const std::string& socketPath, const std::string& unitDirectory,
                            ServiceClientTimeouts timeouts)
        : m_socketPath(socketPath), m_unitDirectory(unitDirectory), m_timeouts(timeouts)
    {
    }

    std::unique_ptr<ServiceHandle> OpenService(const std::string& name) override
    {
        if (name != kDiskServiceName) {
            return nullptr;
        }
        const bool installed = PathExists(m_unitDirectory + "/" + kDiskServiceUnitName) || PathExists(m_socketPath);
        if (!installed) {
            return nullptr;
        }
        return std::make_unique<SocketServiceHandle>(m_socketPath, m_timeouts);
    }

private:
    std::string m_socketPath;
    std::string m_unitDirectory;
    ServiceClientTimeouts m_timeouts;
};

} // namespace

ServiceMessage EncodeServiceMessage(uint32_t value)
{
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
            static_cast<uint8_t>(value >> 24)};
}

std::optional<uint32_t> DecodeServiceMessage(std::span<const uint8_t> bytes)
{
    if (bytes.size() != kServiceMessageSize) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

std::vector<uint8_t> EncodeImageMessage(std::span<const uint8_t> image)
{
    const ServiceMessage tag = EncodeServiceMessage(kImageMessageTag);
    std::vector<uint8_t> message(tag.begin(), tag.end());
    message.insert(message.end(), image.begin(), image.end());
    return message;
}

std::optional<std::vector<uint8_t>> DecodeImageMessage(std::span<const uint8_t> bytes)
{
    if (bytes.size() < kServiceMessageSize || bytes.size() > kMaxImageMessageSize ||
        DecodeServiceMessage(bytes.first(kServiceMessageSize)) != kImageMessageTag) {
        return std::nullopt;
    }
    return std::vector<uint8_t>(bytes.begin() + kServiceMessageSize, bytes.end());
}

std::optional<uint32_t> ReplyStatusOf(std::span<const uint8_t> kept, size_t length)
{
    if (length != kServiceMessageSize || kept.size() < length) {
        return std::nullopt;
    }
    return DecodeServiceMessage(kept.first(length));
}

std::optional<std::vector<uint8_t>> ReplyImageOf(std::span<const uint8_t> kept, size_t length)
{
    // A message longer than what was kept was cut short: not an image.
    if (length == 0 || length > kept.size()) {
        return std::nullopt;
    }
    return DecodeImageMessage(kept.first(length));
}

SocketServiceManager::SocketServiceManager(std::string socketPath, std::string unitDirectory,
                                           ServiceClientTimeouts timeouts)
    : m_socketPath(std::move(socketPath)), m_unitDirectory(std::move(unitDirectory)), m_timeouts(timeouts)
{
}

std::unique_ptr<ServiceManagerConnection> SocketServiceManager::Connect()
{
    return std::make_unique<SocketManagerConnection>(m_socketPath, m_unitDirectory, m_timeouts);
}

} // namespace calventa::platform::linux_backend
