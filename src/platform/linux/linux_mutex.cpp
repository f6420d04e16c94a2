#include "platform/linux/linux_mutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/linux/file_io.h"

namespace calventa::platform::linux_backend {

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(5);
constexpr int kOpenAttempts = 4;

class FlockMutex final : public NamedMutex
{
public:
    explicit FlockMutex(int fd) : m_fd(fd) {}
    ~FlockMutex() override { close(m_fd); }
    FlockMutex(const FlockMutex&) = delete;
    FlockMutex& operator=(const FlockMutex&) = delete;

    bool Wait(uint32_t timeoutMs) override
    {
        // Polled rather than a blocking flock with an alarm: no signal handlers to install.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
                return true;
            }
            if (errno == EINTR) {
                continue;
            }
            if (errno != EWOULDBLOCK) {
                return false;
            }
            const auto now = std::chrono::steady_clock::now();
            if (now >= deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(kPollInterval, deadline - now));
        }
    }

    void Release() override { flock(m_fd, LOCK_UN); }

private:
    int m_fd;
};

// Only a regular file is a lock file: a FIFO put in its place would block the open (or the
// program) for ever, and a link could make it lock anything.
int AcceptRegularFile(int fd)
{
    struct stat st = {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

// Read-only and without O_CREAT first: in sticky /run/lock, fs.protected_regular refuses
// O_CREAT on a file that another user created, even when it exists. Never through a link,
// never waiting (O_NONBLOCK: a FIFO opens at once and is then refused).
int OpenLockFile(const std::string& path)
{
    constexpr int kFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        int fd = open(path.c_str(), kFlags);
        if (fd >= 0) {
            return AcceptRegularFile(fd);
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != ENOENT) {
            return -1;
        }
        fd = open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0644);
        if (fd >= 0) {
            // Other users' monitors must be able to open it whatever our umask is.
            fchmod(fd, 0644);
            return fd;
        }
        if (errno != EEXIST && errno != EINTR) {
            return -1;
        }
        // Another process created it between the two opens: open theirs.
    }
    return -1;
}

} // namespace

LinuxMutexFactory::LinuxMutexFactory(std::string lockDirectory) : m_lockDirectory(std::move(lockDirectory)) {}

std::unique_ptr<NamedMutex> LinuxMutexFactory::CreateNamedMutex(const std::string& name)
{
    m_creationError.clear();
    if (!IsPlainFileName(name)) {
        m_creationError = "not a file name: " + name;
        return nullptr;
    }
    const std::string path = m_lockDirectory + "/" + name;
    const int fd = OpenLockFile(path);
    if (fd < 0) {
        m_creationError =
            errno == EINVAL ? path + " is not a regular file" : "cannot open " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    return std::make_unique<FlockMutex>(fd);
}

} // namespace calventa::platform::linux_backend
