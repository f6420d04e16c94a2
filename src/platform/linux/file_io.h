#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// File primitives shared by the file system, the program store and the port-owner check.
namespace calventa::platform::linux_backend {

// Writes all of bytes to fd, again after EINTR and partial writes; false on an error.
bool WriteAll(int fd, std::span<const uint8_t> bytes);

// Up to maxBytes from the start of the file; nullopt when it cannot be opened or read or is
// not a regular file (a FIFO planted in its place is never waited on).
std::optional<std::vector<uint8_t>> ReadFileBytes(const std::string& path, size_t maxBytes);

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

// How old a leftover temporary must be before it is removed although its creator may
// still run (a pid reused after a reboot); a save takes milliseconds.
inline constexpr time_t kStaleTemporarySeconds = 10 * 60;

// The directory with every link resolved, when nobody but root and this user can change
// what that path names: every directory from "/" down belongs to root or user, none is
// writable by group or others except a sticky ancestor, and the directory itself is not
// writable by them even when sticky. Otherwise nullopt and why, as one line.
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
