#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// File primitives shared by the file system, the program store and the port-owner check.
namespace calventa::platform::linux_backend {

// An open file descriptor, closed when destroyed.
class UniqueFd
{
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    int Release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void Reset(int fd = -1)
    {
        if (m_fd >= 0) {
            close(m_fd);
        }
        m_fd = fd;
    }

private:
    int m_fd = -1;
};

// Writes all of bytes to fd, again after EINTR and partial writes; false on an error.
bool WriteAll(int fd, std::span<const uint8_t> bytes);

// Up to maxBytes from the start of the file; nullopt when it cannot be opened or read or is
// not a regular file (a FIFO planted in its place is never waited on).
std::optional<std::vector<uint8_t>> ReadFileBytes(const std::string& path, size_t maxBytes);
// The same for name inside the directory open as directoryFd (AT_FDCWD: name is a path).
std::optional<std::vector<uint8_t>> ReadFileBytesAt(int directoryFd, const std::string& name, size_t maxBytes);

// What a replaced file's mode becomes when the file already exists.
enum class ExistingFileMode {
    Fixed,   // newFileMode, whatever was there
    KeepOwn, // a regular file the real user may not write is left alone (EACCES); one of this
             // process's user keeps its permission bits (never set-id)
};

// Writes the bytes to a temporary file beside path, syncs it and renames it over path, so
// that a crash or a full disk leaves either the old or the new content. Nothing at path is
// followed: a link there is replaced by a regular file, its target left alone. The new file
// belongs to this process's user and gets newFileMode (masked to 0777), or with KeepOwn the
// permission bits of the regular file of this user it replaces. Temporaries are named
// "<name>.<pid>.XXXXXX"; those that a dead or long-gone save left beside path (and the
// "<name>.XXXXXX" of earlier versions) are removed. False, with the old file intact, no
// temporary left and errno set, on any failure.
bool ReplaceFileAtomically(const std::string& path, std::span<const uint8_t> bytes, mode_t newFileMode,
                           ExistingFileMode existing = ExistingFileMode::Fixed);

// ReplaceFileAtomically for the file called name in the directory open as directoryFd, so
// that no later change of the directory's path can send the file elsewhere.
bool ReplaceFileAt(int directoryFd, const std::string& name, std::span<const uint8_t> bytes, mode_t newFileMode,
                   ExistingFileMode existing = ExistingFileMode::Fixed);

// How old a leftover temporary must be before it is removed although its creator may
// still run (a pid reused after a reboot); a save takes milliseconds.
inline constexpr time_t kStaleTemporarySeconds = 10 * 60;

// How far a process running as root trusts the way to a directory it writes in.
enum class DirectoryTrust {
    // A link is followed only when it belongs to root or user and lies in a directory that
    // nobody else can change (or a sticky one); the directories may be anybody's, as the
    // metrics collector's folder belongs to its own user.
    LinksOnly,
    // Besides, every directory on the way belongs to root or user and nobody else may write
    // it (a sticky ancestor aside), the directory itself even when sticky: nobody else can
    // plant the program's files or change what its path names.
    Everything,
};

enum class DirectoryOpening {
    Opened,
    Refused, // trust forbids a link or directory on the way: why names it
    Failed,  // a component is missing or cannot be opened: errno and why say which
};

// Opens the directory at path (a relative one from the working directory) component by
// component with openat and O_NOFOLLOW, so that nothing on the way is looked up twice, and
// follows a link only where trust allows. directory gets a descriptor for reading and
// *at() calls, reached the path taken with every link resolved.
DirectoryOpening OpenTrustedDirectory(const std::string& path, uid_t user, DirectoryTrust trust, UniqueFd& directory,
                                      std::string& reached, std::string& why);

// The path of the directory OpenTrustedDirectory opens with DirectoryTrust::Everything, or
// nullopt and why, as one line.
std::optional<std::string> TrustedDirectoryPath(const std::string& path, uid_t user, std::string& why);

// mkdir -p. Directories it creates get exactly the given mode, whatever the umask.
bool MakeDirectories(const std::string& path, mode_t mode);

// The process's file mode creation mask, read without changing it.
mode_t CurrentUmask();

// The directory part of a path ("." when it has none) and the last component.
std::string DirectoryOf(const std::string& path);
std::string FileNameOf(const std::string& path);

// A single path component that names a file inside a directory: not empty, no '/', no NUL,
// not "." or "..".
bool IsPlainFileName(const std::string& name);

} // namespace calventa::platform::linux_backend
