#include "platform/linux/linux_file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/linux/file_io.h"

namespace calventa::platform::linux_backend {

namespace {

class FdTextFile final : public TextFile
{
public:
    explicit FdTextFile(int fd) : m_fd(fd) {}
    ~FdTextFile() override { close(m_fd); }
    FdTextFile(const FdTextFile&) = delete;
    FdTextFile& operator=(const FdTextFile&) = delete;

    bool Write(std::string_view text) override
    {
        while (!text.empty()) {
            const ssize_t n = write(m_fd, text.data(), text.size());
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return false;
            }
            text.remove_prefix(static_cast<size_t>(n));
        }
        return true;
    }

private:
    int m_fd;
};

} // namespace

std::optional<std::vector<uint8_t>> LinuxFileSystem::ReadFile(const std::string& path, size_t maxBytes)
{
    return ReadFileBytes(path, maxBytes);
}

bool LinuxFileSystem::ReplaceFile(const std::string& path, std::span<const uint8_t> bytes)
{
    return ReplaceFileAtomically(path, bytes, 0644 & ~CurrentUmask(), ExistingFileMode::KeepOwn);
}

bool LinuxFileSystem::IsReadOnly(const std::string& path)
{
    struct stat st = {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    return faccessat(AT_FDCWD, path.c_str(), W_OK, AT_SYMLINK_NOFOLLOW) != 0 && errno == EACCES;
}

std::unique_ptr<TextFile> LinuxFileSystem::CreateTextFile(const std::string& path)
{
    // Not through a link, not into a FIFO (non-blocking: no waiting for a reader), and not
    // truncated before it is known to be a regular file with no other name.
    const int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) {
        return nullptr;
    }
    struct stat st = {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1 || ftruncate(fd, 0) != 0) {
        close(fd);
        return nullptr;
    }
    return std::make_unique<FdTextFile>(fd);
}

bool LinuxFileSystem::RemoveFile(const std::string& path)
{
    return unlink(path.c_str()) == 0;
}

bool LinuxFileSystem::FileExists(const std::string& path)
{
    struct stat st = {};
    return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::optional<std::string> LinuxFileSystem::TrustedDirectory(const std::string& path, std::string& why)
{
    const uid_t user = geteuid();
    if (user != 0) {
        return path;
    }
    return TrustedDirectoryPath(path, user, why);
}

} // namespace calventa::platform::linux_backend
