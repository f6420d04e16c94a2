#include "platform/linux/steering_environment.h"

#include <fcntl.h>
#include <sys/auxv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/linux/file_io.h"

namespace calventa::platform::linux_backend {

namespace {

// The directory itself when it exists, else the nearest ancestor that does.
std::string ExistingPart(std::string directory)
{
    struct stat st = {};
    while (lstat(directory.c_str(), &st) != 0 && errno == ENOENT && directory != "/" && directory != ".") {
        directory = DirectoryOf(directory);
    }
    return directory;
}

std::string ProgramRefusal(const std::string& path)
{
    if (path.empty() || path.front() != '/') {
        return path + " is not an absolute path";
    }
    UniqueFd directory;
    std::string reached;
    std::string why;
    if (OpenTrustedDirectory(DirectoryOf(path), 0, DirectoryTrust::Everything, directory, reached, why) !=
        DirectoryOpening::Opened) {
        return why;
    }
    struct stat st = {};
    if (fstatat(directory.Get(), FileNameOf(path).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return path + " cannot be examined: " + std::strerror(errno);
    }
    if (!S_ISREG(st.st_mode)) {
        return path + " is not a regular file";
    }
    if (st.st_uid != 0) {
        return path + " belongs to uid " + std::to_string(st.st_uid);
    }
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return path + " is writable by group or others";
    }
    return {};
}

} // namespace

bool StartedPrivileged()
{
    return getuid() == 0 || geteuid() == 0 || getauxval(AT_SECURE) != 0;
}

std::string SteeringRefusal(const std::string& path, SteeredPath kind)
{
    std::string why;
    switch (kind) {
    case SteeredPath::Program:
        return ProgramRefusal(path);
    case SteeredPath::File:
        return TrustedDirectoryPath(ExistingPart(DirectoryOf(path)), 0, why) ? std::string() : why;
    case SteeredPath::Directory:
        return TrustedDirectoryPath(ExistingPart(path), 0, why) ? std::string() : why;
    }
    return why;
}

std::optional<std::string> SteeringVariable(const char* name, SteeredPath kind)
{
    const char* value = std::getenv(name);
    if (value == nullptr) {
        return std::nullopt;
    }
    if (*value != '\0' && StartedPrivileged()) {
        const std::string refusal = SteeringRefusal(value, kind);
        if (!refusal.empty()) {
            std::fprintf(stderr, "%s: %s ignored: %s\n", program_invocation_short_name, name, refusal.c_str());
            return std::nullopt;
        }
    }
    return value;
}

std::string SteeringVariableOr(const char* name, SteeredPath kind, const std::string& fallback)
{
    const std::optional<std::string> value = SteeringVariable(name, kind);
    return value && !value->empty() ? *value : fallback;
}

} // namespace calventa::platform::linux_backend
