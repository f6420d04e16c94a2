#pragma once

#include <grp.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace calventa::platform::linux_backend::testing {

// A fresh directory under /tmp, searchable by every user (the permission tests drop to
// nobody), removed with its content at the end.
class TempDir
{
public:
    TempDir()
    {
        std::string pattern = "/tmp/calventa-linux-XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) {
            m_path = pattern;
            chmod(m_path.c_str(), 0755);
        }
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

inline void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Names in a directory, sorted, hidden ones included.
inline std::vector<std::string> Entries(const std::string& directory)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

inline mode_t ModeOf(const std::string& path)
{
    struct stat st = {};
    return stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// For the permission cases, inside a forked child only: root passes every permission check,
// so it becomes nobody; another user is already bound by the permission bits.
// What a command run through the shell printed on standard output, and its exit status
// (-1 when it could not be started or did not exit).
struct ShellRun
{
    int exitCode = -1;
    std::string out;
};

inline ShellRun RunShell(const std::string& command)
{
    ShellRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    std::array<char, 4096> buffer{};
    size_t count = 0;
    while ((count = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        run.out.append(buffer.data(), count);
    }
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

inline void BecomeUnprivileged()
{
    if (geteuid() == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) {
            _exit(99);
        }
    }
}

// The attacker of the attack tests: nobody, planting links and FIFOs for a root victim.
inline constexpr uid_t kAttackerUid = 65534;

// A directory the attacker owns, as a user's own configuration directory is.
inline std::string MakeAttackerDirectory(const std::string& path)
{
    mkdir(path.c_str(), 0755);
    if (chown(path.c_str(), kAttackerUid, kAttackerUid) != 0) {
        return {};
    }
    return path;
}

// Runs what in a forked child that has become the attacker; true when it returned true.
template <typename Action> bool AsAttacker(Action what)
{
    const pid_t child = fork();
    if (child < 0) {
        return false;
    }
    if (child == 0) {
        BecomeUnprivileged();
        _exit(what() ? 0 : 1);
    }
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Runs what in a forked child: its exit code, or nullopt when it had not ended within limit
// (the child is then killed), so that a test of a hang fails instead of hanging.
template <typename Action> std::optional<int> ExitWithin(std::chrono::milliseconds limit, Action what)
{
    const pid_t child = fork();
    if (child < 0) {
        return std::nullopt;
    }
    if (child == 0) {
        _exit(what());
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return WIFEXITED(status) ? std::optional<int>(WEXITSTATUS(status)) : std::nullopt;
}

// The owner, mode and bytes of a file, to show that an attack left it alone.
struct FileFacts
{
    uid_t owner = 0;
    mode_t mode = 0;
    std::string bytes;
    bool operator==(const FileFacts&) const = default;
};

inline FileFacts FactsOf(const std::string& path)
{
    struct stat st = {};
    if (stat(path.c_str(), &st) != 0) {
        return {};
    }
    return {st.st_uid, static_cast<mode_t>(st.st_mode & 07777), ReadText(path)};
}

inline void PrintTo(const FileFacts& facts, std::ostream* os)
{
    *os << "uid " << facts.owner << " mode " << std::oct << facts.mode << std::dec << " \"" << facts.bytes << "\"";
}

} // namespace calventa::platform::linux_backend::testing
