#include "platform/linux/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <string_view>

namespace calventa::platform::linux_backend {

namespace {

constexpr size_t kReadChunk = 64 * 1024;
constexpr mode_t kFallbackUmask = 022;

constexpr int kTemporaryAttempts = 100;
constexpr size_t kRandomLength = 6;
constexpr std::string_view kRandomAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

std::string RandomSuffix()
{
    std::array<uint8_t, kRandomLength> random = {};
    if (getrandom(random.data(), random.size(), GRND_NONBLOCK) != static_cast<ssize_t>(random.size())) {
        // Only uniqueness matters (the open is exclusive), not secrecy.
        const auto now = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
        for (size_t i = 0; i < random.size(); ++i) {
            random[i] = static_cast<uint8_t>(now >> (8 * i));
        }
    }
    std::string suffix;
    for (const uint8_t byte : random) {
        suffix += kRandomAlphabet[byte % kRandomAlphabet.size()];
    }
    return suffix;
}

bool IsRandomSuffix(std::string_view text)
{
    return text.size() == kRandomLength && text.find_first_not_of(kRandomAlphabet) == std::string_view::npos;
}

// The suffix of an earlier version's temporary. It carries no pid, so a user's own
// "settings.dat.backup" would look the same: one in lower case only is left alone (a
// random suffix is that in one case of 180).
bool IsEarlierRandomSuffix(std::string_view text)
{
    return IsRandomSuffix(text) && text.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789") != std::string_view::npos;
}

// "<name>.<pid>.XXXXXX", created exclusively and never through a link; -1 on failure.
int CreateTemporary(int directoryFd, const std::string& name, std::string& tempName)
{
    for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        tempName = name + "." + std::to_string(getpid()) + "." + RandomSuffix();
        const int fd =
            openat(directoryFd, tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 || (errno != EEXIST && errno != EINTR)) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

enum class TemporaryKind { NotOne, Ours, Earlier };

// Whether entry is a temporary of a save of name: "<name>.<pid>.XXXXXX", or "<name>.XXXXXX"
// as earlier versions named them. pid gets the creator's process id.
TemporaryKind KindOfTemporary(std::string_view entry, const std::string& name, pid_t& pid)
{
    if (entry.size() <= name.size() + 1 || !entry.starts_with(name) || entry[name.size()] != '.') {
        return TemporaryKind::NotOne;
    }
    entry.remove_prefix(name.size() + 1);
    if (IsEarlierRandomSuffix(entry)) {
        return TemporaryKind::Earlier;
    }
    const size_t dot = entry.find('.');
    if (dot == std::string_view::npos || !IsRandomSuffix(entry.substr(dot + 1))) {
        return TemporaryKind::NotOne;
    }
    const std::string_view digits = entry.substr(0, dot);
    constexpr size_t kMaxPidDigits = 9; // pid_max is at most 4194304
    if (digits.empty() || digits.size() > kMaxPidDigits || digits[0] == '0' ||
        digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return TemporaryKind::NotOne;
    }
    pid = static_cast<pid_t>(std::stol(std::string(digits)));
    return TemporaryKind::Ours;
}

bool ProcessIsGone(pid_t pid)
{
    return kill(pid, 0) != 0 && errno == ESRCH;
}

// Leftovers of saves killed between creating their temporary and renaming it. Only this
// user's regular files are removed, and a temporary of a save that may still be running
// (its process lives, or lived until a moment ago) stays: two processes may save the same
// file at once.
void RemoveStaleTemporaries(int directoryFd, const std::string& name)
{
    const int listFd = openat(directoryFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0) {
        return;
    }
    DIR* directory = fdopendir(listFd);
    if (directory == nullptr) {
        close(listFd);
        return;
    }
    const time_t now = std::time(nullptr);
    while (const dirent* entry = readdir(directory)) {
        pid_t pid = 0;
        const TemporaryKind kind = KindOfTemporary(entry->d_name, name, pid);
        if (kind == TemporaryKind::NotOne) {
            continue;
        }
        struct stat st = {};
        if (fstatat(directoryFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != geteuid()) {
            continue;
        }
        const bool old = now - st.st_mtime > kStaleTemporarySeconds;
        const bool orphan = kind == TemporaryKind::Ours && pid != getpid() && ProcessIsGone(pid);
        if (old || orphan) {
            unlinkat(directoryFd, entry->d_name, 0);
        }
    }
    closedir(directory);
}

bool ReplaceIn(int directoryFd, const std::string& name, std::span<const uint8_t> bytes, mode_t newFileMode,
               ExistingFileMode existing)
{
    mode_t mode = newFileMode & 0777;
    struct stat old = {};
    if (fstatat(directoryFd, name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISDIR(old.st_mode)) {
            errno = EISDIR;
            return false;
        }
        if (existing == ExistingFileMode::KeepOwn && S_ISREG(old.st_mode)) {
            // The rename would replace a file whatever its mode; one the user made read-only
            // to keep it as it is stays, as an open for writing would have failed.
            if (faccessat(directoryFd, name.c_str(), W_OK, AT_SYMLINK_NOFOLLOW) != 0 && errno == EACCES) {
                return false;
            }
            if (old.st_uid == geteuid()) {
                mode = old.st_mode & 0777;
            }
        }
    }
    RemoveStaleTemporaries(directoryFd, name);

    std::string tempName;
    const int fd = CreateTemporary(directoryFd, name, tempName);
    if (fd < 0) {
        return false;
    }
    bool ok = fchmod(fd, mode) == 0 && WriteAll(fd, bytes) && fsync(fd) == 0;
    int error = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && renameat(directoryFd, tempName.c_str(), directoryFd, name.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        unlinkat(directoryFd, tempName.c_str(), 0);
        errno = error;
        return false;
    }
    // Makes the rename durable; some file systems refuse fsync on directories, and the new
    // content is in place either way, so a failure is not reported.
    fsync(directoryFd);
    return true;
}

} // namespace

bool WriteAll(int fd, std::span<const uint8_t> bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

std::optional<std::vector<uint8_t>> ReadFileBytes(const std::string& path, size_t maxBytes)
{
    return ReadFileBytesAt(AT_FDCWD, path, maxBytes);
}

std::optional<std::vector<uint8_t>> ReadFileBytesAt(int directoryFd, const std::string& name, size_t maxBytes)
{
    const int fd = openat(directoryFd, name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat st = {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return std::nullopt;
    }
    std::vector<uint8_t> bytes;
    while (bytes.size() < maxBytes) {
        const size_t chunk = std::min(maxBytes - bytes.size(), kReadChunk);
        const size_t before = bytes.size();
        bytes.resize(before + chunk);
        const ssize_t n = read(fd, bytes.data() + before, chunk);
        if (n < 0) {
            bytes.resize(before);
            if (errno == EINTR) {
                continue;
            }
            close(fd);
            return std::nullopt;
        }
        bytes.resize(before + static_cast<size_t>(n));
        if (n == 0) {
            break;
        }
    }
    close(fd);
    return bytes;
}

bool ReplaceFileAtomically(const std::string& path, std::span<const uint8_t> bytes, mode_t newFileMode,
                           ExistingFileMode existing)
{
    const std::string name = FileNameOf(path);
    if (!IsPlainFileName(name)) {
        errno = EINVAL;
        return false;
    }
    // Every step works in the one directory opened here, whatever its path names later.
    const int directoryFd = open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directoryFd < 0) {
        return false;
    }
    const bool ok = ReplaceIn(directoryFd, name, bytes, newFileMode, existing);
    const int error = errno;
    close(directoryFd);
    errno = error;
    return ok;
}

bool ReplaceFileAt(int directoryFd, const std::string& name, std::span<const uint8_t> bytes, mode_t newFileMode,
                   ExistingFileMode existing)
{
    if (!IsPlainFileName(name)) {
        errno = EINVAL;
        return false;
    }
    return ReplaceIn(directoryFd, name, bytes, newFileMode, existing);
}

namespace {

constexpr int kMaxLinksFollowed = 40; // as the kernel's own limit

bool OursOrRoots(const struct stat& st, uid_t user)
{
    return st.st_uid == 0 || st.st_uid == user;
}

bool OthersMayWrite(const struct stat& st)
{
    return (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

std::string ModeText(const struct stat& st)
{
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    return mode;
}

// Why nobody but root and user could change what is in the directory, or an empty text:
// it belongs to one of them and nobody else may write it, or only as in a sticky directory
// (others may add entries there, never move or remove ours) unless it is the last one.
std::string UnchangeableByOthers(const struct stat& st, const std::string& path, uid_t user, bool last)
{
    if (!OursOrRoots(st, user)) {
        return path + " belongs to uid " + std::to_string(st.st_uid);
    }
    if (OthersMayWrite(st) && (last || (st.st_mode & S_ISVTX) == 0)) {
        return path + " is writable by group or others (mode " + ModeText(st) + ")";
    }
    return {};
}

std::string PathOf(const std::vector<std::string>& parts)
{
    std::string path;
    for (const std::string& part : parts) {
        path += "/" + part;
    }
    return path.empty() ? "/" : path;
}

// Puts the components of path before those still pending, in order; "" and "." vanish.
void PutFirst(std::deque<std::string>& pending, const std::string& path)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t slash = std::min(path.find('/', start), path.size());
        const std::string part = path.substr(start, slash - start);
        if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = slash + 1;
    }
    pending.insert(pending.begin(), parts.begin(), parts.end());
}

std::optional<std::string> ReadLinkAt(int directoryFd, const std::string& name)
{
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = readlinkat(directoryFd, name.c_str(), buffer.data(), buffer.size());
        if (length < 0) {
            return std::nullopt;
        }
        if (static_cast<size_t>(length) < buffer.size()) {
            return std::string(buffer.data(), static_cast<size_t>(length));
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string Unexaminable(const std::string& path)
{
    return path +
           (errno == ENOTDIR ? " is not a directory" : " cannot be examined: " + std::string(std::strerror(errno)));
}

} // namespace

DirectoryOpening OpenTrustedDirectory(const std::string& path, uid_t user, DirectoryTrust trust, UniqueFd& directory,
                                      std::string& reached, std::string& why)
{
    const bool everything = trust == DirectoryTrust::Everything;
    std::deque<std::string> pending;
    if (path.empty()) {
        errno = ENOENT;
        why = "an empty path cannot be examined";
        return DirectoryOpening::Failed;
    }
    if (path.front() != '/') {
        // The working directory is taken by its own path (getcwd gives it without links).
        std::vector<char> cwd(4096);
        if (getcwd(cwd.data(), cwd.size()) == nullptr) {
            why = path + " cannot be examined: " + std::strerror(errno);
            return DirectoryOpening::Failed;
        }
        PutFirst(pending, path);
        PutFirst(pending, cwd.data());
    } else {
        PutFirst(pending, path);
    }
    std::vector<std::string> parts; // the path walked so far, links resolved
    UniqueFd current(open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat st = {};
    if (!current || fstat(current.Get(), &st) != 0) {
        why = "/ cannot be examined: " + std::string(std::strerror(errno));
        return DirectoryOpening::Failed;
    }
    if (everything && !(why = UnchangeableByOthers(st, "/", user, false)).empty()) {
        return DirectoryOpening::Refused;
    }
    int links = 0;
    while (!pending.empty()) {
        const std::string name = std::move(pending.front());
        pending.pop_front();
        std::vector<std::string> next = parts;
        if (name == "..") {
            if (!next.empty()) {
                next.pop_back();
            }
        } else {
            next.push_back(name);
        }
        const std::string here = PathOf(next);
        struct stat entry = {};
        if (name != ".." && fstatat(current.Get(), name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0) {
            why = Unexaminable(here);
            return DirectoryOpening::Failed;
        }
        if (name != ".." && S_ISLNK(entry.st_mode)) {
            // Followed only when nobody else could have made it or could swap it.
            if (!OursOrRoots(entry, user)) {
                why = here + " is a link owned by uid " + std::to_string(entry.st_uid);
                return DirectoryOpening::Refused;
            }
            if (!UnchangeableByOthers(st, PathOf(parts), user, false).empty()) {
                why = here + " is a link in " + PathOf(parts) + ", which another user can change";
                return DirectoryOpening::Refused;
            }
            const std::optional<std::string> target = ReadLinkAt(current.Get(), name);
            if (++links > kMaxLinksFollowed || !target || target->empty()) {
                errno = target ? ELOOP : errno;
                why = here + " cannot be examined: " + std::strerror(errno);
                return DirectoryOpening::Failed;
            }
            if (target->front() == '/') {
                parts.clear();
                current.Reset(open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
                if (!current || fstat(current.Get(), &st) != 0) {
                    why = "/ cannot be examined: " + std::string(std::strerror(errno));
                    return DirectoryOpening::Failed;
                }
            }
            PutFirst(pending, *target);
            continue;
        }
        // A link put there since the look above is opened as itself, and is no directory.
        UniqueFd opened(openat(current.Get(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!opened) {
            why = Unexaminable(here);
            return DirectoryOpening::Failed;
        }
        if (fstat(opened.Get(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            why = here + " is not a directory";
            return DirectoryOpening::Refused;
        }
        if (everything && !(why = UnchangeableByOthers(st, here, user, false)).empty()) {
            return DirectoryOpening::Refused;
        }
        current = std::move(opened);
        parts = std::move(next);
    }
    reached = PathOf(parts);
    if (everything && !(why = UnchangeableByOthers(st, reached, user, true)).empty()) {
        return DirectoryOpening::Refused;
    }
    directory.Reset(openat(current.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!directory) {
        why = reached + " cannot be examined: " + std::strerror(errno);
        return DirectoryOpening::Failed;
    }
    return DirectoryOpening::Opened;
}

std::optional<std::string> TrustedDirectoryPath(const std::string& path, uid_t user, std::string& why)
{
    UniqueFd directory;
    std::string reached;
    if (OpenTrustedDirectory(path, user, DirectoryTrust::Everything, directory, reached, why) !=
        DirectoryOpening::Opened) {
        return std::nullopt;
    }
    return reached;
}

bool MakeDirectories(const std::string& path, mode_t mode)
{
    if (path.empty()) {
        return false;
    }
    size_t end = 0;
    while (end != std::string::npos) {
        end = path.find('/', end + 1);
        const std::string prefix = path.substr(0, end);
        if (prefix.empty() || prefix.back() == '/') {
            continue; // a doubled separator
        }
        if (mkdir(prefix.c_str(), mode) == 0) {
            if (chmod(prefix.c_str(), mode) != 0) {
                return false;
            }
            continue;
        }
        struct stat st = {};
        if (errno != EEXIST || stat(prefix.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            return false;
        }
    }
    return true;
}

mode_t CurrentUmask()
{
    // umask() can only be read by setting it, which would race with other threads.
    const auto status = ReadFileBytes("/proc/self/status", 16 * 1024);
    if (!status) {
        return kFallbackUmask;
    }
    const std::string text(status->begin(), status->end());
    const size_t at = text.find("\nUmask:");
    if (at == std::string::npos) {
        return kFallbackUmask;
    }
    char* end = nullptr;
    const unsigned long mask = std::strtoul(text.c_str() + at + 7, &end, 8);
    if (end == text.c_str() + at + 7 || mask > 0777) {
        return kFallbackUmask;
    }
    return static_cast<mode_t>(mask);
}

std::string DirectoryOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string FileNameOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsPlainFileName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

} // namespace calventa::platform::linux_backend
