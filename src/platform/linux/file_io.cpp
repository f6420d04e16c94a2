#include "platform/linux/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace calventa::platform::linux_backend {

namespace {

constexpr size_t kReadChunk = 64 * 1024;
constexpr mode_t kFallbackUmask = 022;

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

// Makes a finished rename durable; some file systems refuse fsync on directories, and the
// new content is in place either way, so failures are not reported.
void SyncDirectory(const std::string& directory)
{
    const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

} // namespace

std::optional<std::vector<uint8_t>> ReadFileBytes(const std::string& path, size_t maxBytes)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
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

bool ReplaceFileAtomically(const std::string& path, std::span<const uint8_t> bytes, mode_t newFileMode)
{
    const std::string name = FileNameOf(path);
    if (!IsPlainFileName(name)) {
        return false;
    }
    struct stat old = {};
    const bool hadOld = stat(path.c_str(), &old) == 0;
    if (hadOld && !S_ISREG(old.st_mode)) {
        return false;
    }

    const std::string directory = DirectoryOf(path);
    std::string tempPath = (directory == "/" ? "" : directory) + "/" + name + ".XXXXXX";
    const int fd = mkostemp(tempPath.data(), O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    if (hadOld && geteuid() == 0) {
        // Root rewriting a user's file leaves it the user's. Best effort: some file systems
        // have no owners to keep.
        [[maybe_unused]] const int chowned = fchown(fd, old.st_uid, old.st_gid);
    }
    // After the chown, which clears set-id bits.
    bool ok = fchmod(fd, hadOld ? (old.st_mode & 07777) : newFileMode) == 0;
    ok = ok && WriteAll(fd, bytes) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    ok = ok && rename(tempPath.c_str(), path.c_str()) == 0;
    if (!ok) {
        unlink(tempPath.c_str());
        return false;
    }
    SyncDirectory(directory);
    return true;
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
