#pragma once

#include <string>

#include "platform/bus_mutex.h"

namespace calventa::platform::linux_backend {

inline constexpr const char* kDefaultLockDirectory = "/run/lock";

// Named bus mutexes as flock(LOCK_EX) on <lockDirectory>/<name>. Other programs that lock
// the same file exclude us and we them; the kernel drops a lock with the holder's last
// descriptor, so a crashed holder frees it.
class LinuxMutexFactory final : public MutexFactory
{
public:
    explicit LinuxMutexFactory(std::string lockDirectory = kDefaultLockDirectory);

    // Opens the lock file (creating it 0644 only when missing); nullptr when neither works,
    // the name is not a plain file name, or what is there is not a regular file (a link,
    // a FIFO): the bus is then not used.
    std::unique_ptr<NamedMutex> CreateNamedMutex(const std::string& name) override;
    // "cannot open <path>: <errno text>" (a missing /run/lock shows here), or why the name
    // or the file was refused.
    std::string CreationError() const override { return m_creationError; }

private:
    std::string m_lockDirectory;
    std::string m_creationError;
};

} // namespace calventa::platform::linux_backend
