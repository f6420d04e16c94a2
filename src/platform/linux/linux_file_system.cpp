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

bool IsReadOnlyAt(int directoryFd, const std::string& name)
{
    struct stat st = {};
    if (fstatat(directoryFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    return faccessat(directoryFd, name.c_str(), W_OK, AT_SYMLINK_NOFOLLOW) != 0 && errno == EACCES;
}

std::unique_ptr<TextFile> CreateTextFileAt(int directoryFd, const std::string& name)
{
    // Not through a link, not into a FIFO (non-blocking: no waiting for a reader), and not
    // truncated before it is known to be a regular file with no other name.
    const int fd = openat(directoryFd, name.c_str(), O_CREAT | O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
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

bool FileExistsAt(int directoryFd, const std::string& name)
{
    struct stat st = {};
    return fstatat(directoryFd, name.c_str(), &st, 0) == 0 && !S_ISDIR(st.st_mode);
}

bool ReplaceFileOfUser(int directoryFd, const std::string& path, std::span<const uint8_t> bytes)
{
    const mode_t mode = 0644 & ~CurrentUmask();
    return directoryFd == AT_FDCWD ? ReplaceFileAtomically(path, bytes, mode, ExistingFileMode::KeepOwn)
                                   : ReplaceFileAt(directoryFd, path, bytes, mode, ExistingFileMode::KeepOwn);
}

// The program directory: held open as root, named by its path for everyone else (whose
// links then work as they always did).
class LinuxDirectory final : public Directory
{
public:
    LinuxDirectory(std::string path, UniqueFd opened) : m_path(std::move(path)), m_fd(std::move(opened)) {}

    const std::string& Path() const override { return m_path; }
    std::optional<std::vector<uint8_t>> ReadFile(const std::string& name, size_t maxBytes) override
    {
        return ReadFileBytesAt(Fd(), Name(name), maxBytes);
    }
    bool ReplaceFile(const std::string& name, std::span<const uint8_t> bytes) override
    {
        return ReplaceFileOfUser(Fd(), Name(name), bytes);
    }
    bool IsReadOnly(const std::string& name) override { return IsReadOnlyAt(Fd(), Name(name)); }
    std::unique_ptr<TextFile> CreateTextFile(const std::string& name) override
    {
        return CreateTextFileAt(Fd(), Name(name));
    }
    bool RemoveFile(const std::string& name) override { return unlinkat(Fd(), Name(name).c_str(), 0) == 0; }
    bool FileExists(const std::string& name) override { return FileExistsAt(Fd(), Name(name)); }

private:
    int Fd() const { return m_fd ? m_fd.Get() : AT_FDCWD; }
    std::string Name(const std::string& name) const
    {
        if (m_fd || m_path.empty()) {
            return name;
        }
        return m_path.back() == '/' ? m_path + name : m_path + "/" + name;
    }

    std::string m_path;
    UniqueFd m_fd;
};

} // namespace

std::optional<std::vector<uint8_t>> LinuxFileSystem::ReadFile(const std::string& path, size_t maxBytes)
{
    return ReadFileBytes(path, maxBytes);
}

bool LinuxFileSystem::ReplaceFile(const std::string& path, std::span<const uint8_t> bytes)
{
    return ReplaceFileOfUser(AT_FDCWD, path, bytes);
}

bool LinuxFileSystem::IsReadOnly(const std::string& path)
{
    return IsReadOnlyAt(AT_FDCWD, path);
}

std::unique_ptr<TextFile> LinuxFileSystem::CreateTextFile(const std::string& path)
{
    return CreateTextFileAt(AT_FDCWD, path);
}

bool LinuxFileSystem::RemoveFile(const std::string& path)
{
    return unlink(path.c_str()) == 0;
}

bool LinuxFileSystem::FileExists(const std::string& path)
{
    return FileExistsAt(AT_FDCWD, path);
}

std::unique_ptr<Directory> LinuxFileSystem::OpenProgramDirectory(const std::string& path, std::string& why)
{
    const uid_t user = geteuid();
    if (user != 0) {
        return std::make_unique<LinuxDirectory>(path, UniqueFd());
    }
    UniqueFd opened;
    std::string reached;
    if (OpenTrustedDirectory(path, user, DirectoryTrust::Everything, opened, reached, why) !=
        DirectoryOpening::Opened) {
        return nullptr;
    }
    return std::make_unique<LinuxDirectory>(reached, std::move(opened));
}

} // namespace calventa::platform::linux_backend
