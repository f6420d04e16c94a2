#pragma once

#include <optional>
#include <string>

// The environment variables that point the program at other files and programs than its
// own (the tests' stand-ins). Under `sudo -E` or `su` without `-` they come from the user,
// so a process with root's rights takes them only from places nobody else can change.
namespace calventa::platform::linux_backend {

// The process started with root's rights: the real or effective user is root, or the
// kernel marked the start secure (a set-id program).
bool StartedPrivileged();

// What a steering variable names.
enum class SteeredPath {
    Directory, // a directory the program writes in, made if missing
    File,      // a file in such a directory (a socket)
    Program,   // a program it runs
};

// Why a privileged process must not take path for kind, or an empty text: a directory (or,
// while missing, its nearest existing ancestor) and every directory above it, links
// included, belong to root and nobody else may write them (sticky ancestors aside); a
// program is moreover root's own regular file that nobody else may write, named by an
// absolute path.
std::string SteeringRefusal(const std::string& path, SteeredPath kind);

// The value of the environment variable name, nullopt when it is unset (empty when set but
// empty: it names nothing). A privileged process ignores a value SteeringRefusal refuses,
// saying so in one line on standard error, and takes nullopt (the program's default).
std::optional<std::string> SteeringVariable(const char* name, SteeredPath kind);

// The variable's value when set, not empty and taken; otherwise fallback.
std::string SteeringVariableOr(const char* name, SteeredPath kind, const std::string& fallback);

} // namespace calventa::platform::linux_backend
