#pragma once

// Processes, raw socket clients and an in-process daemon for the disk service tests.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/linux/file_program_store.h"
#include "platform/linux/linux_disk_service.h"
#include "platform/linux_test_support.h"
#include "platform/sim/sim_disks.h"
#include "service/disk_service_daemon.h"

namespace calventa::service::testing {

using platform::linux_backend::testing::TempDir;

inline sim::BoardDescription Board(const std::string& json)
{
    std::string error;
    auto board = sim::ParseBoard(json, error);
    EXPECT_TRUE(board.has_value()) << error;
    return board.value_or(sim::BoardDescription{});
}

// A raw client of the service socket; closed when destroyed.
class RawClient
{
public:
    explicit RawClient(const std::string& path)
    {
        m_fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
        m_connected = connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    }
    ~RawClient() { Close(); }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool Connected() const { return m_connected; }
    bool Send(const std::vector<uint8_t>& bytes)
    {
        return send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
    }
    // The next message; an empty vector when the daemon closed, nullopt after the timeout.
    std::optional<std::vector<uint8_t>> Receive(int timeoutMs)
    {
        pollfd entry = {m_fd, POLLIN, 0};
        if (poll(&entry, 1, timeoutMs) <= 0) {
            return std::nullopt;
        }
        std::vector<uint8_t> buffer(1024);
        const ssize_t n = recv(m_fd, buffer.data(), buffer.size(), 0);
        buffer.resize(n > 0 ? static_cast<size_t>(n) : 0);
        return buffer;
    }
    void Close()
    {
        if (m_fd >= 0) {
            close(m_fd);
            m_fd = -1;
        }
    }

private:
    int m_fd = -1;
    bool m_connected = false;
};

inline std::vector<uint8_t> Message(uint32_t value)
{
    const auto bytes = platform::linux_backend::EncodeServiceMessage(value);
    return {bytes.begin(), bytes.end()};
}

// The daemon serving on a temporary socket in a thread of the test, with the board's disks
// and a program store in the same temporary directory.
class ServingDaemon
{
public:
    // options.socketPath is set here.
    explicit ServingDaemon(const std::string& boardJson, DaemonOptions options = {})
        : m_drives(Board(boardJson), sim::DiskRights::Service), m_store(m_dir / "registry", m_dir / "autostart"),
          m_daemon(m_drives, m_store, WithSocket(std::move(options), m_dir / "run/calventasvc.sock"))
    {
        std::string error;
        m_listening = m_daemon.Listen(error);
        EXPECT_TRUE(m_listening) << error;
        EXPECT_EQ(pipe2(m_stop, O_CLOEXEC), 0);
        if (m_listening) {
            m_thread = std::thread([this] { m_servedUntilStopped = m_daemon.Serve(m_stop[0]); });
        }
    }
    ~ServingDaemon() { Stop(); }
    ServingDaemon(const ServingDaemon&) = delete;
    ServingDaemon& operator=(const ServingDaemon&) = delete;

    void Stop()
    {
        if (m_thread.joinable()) {
            const char byte = 1;
            EXPECT_EQ(write(m_stop[1], &byte, 1), 1);
            m_thread.join();
            EXPECT_TRUE(m_servedUntilStopped);
        }
        for (int& fd : m_stop) {
            if (fd >= 0) {
                close(fd);
                fd = -1;
            }
        }
    }

    std::string SocketPath() const { return m_dir / "run/calventasvc.sock"; }
    std::string SysdataPath() const { return m_dir / "registry/sysdata.bin"; }
    std::string UnitDirectory() const { return m_dir.Path(); }
    sim::SimDisks& Drives() { return m_drives; }
    DiskServiceDaemon& Daemon() { return m_daemon; }

    platform::linux_backend::SocketServiceManager Client(uint32_t replyMs = 10000) const
    {
        return platform::linux_backend::SocketServiceManager(SocketPath(), UnitDirectory(), {500, replyMs});
    }

private:
    static DaemonOptions WithSocket(DaemonOptions options, std::string path)
    {
        options.socketPath = std::move(path);
        return options;
    }

    TempDir m_dir;
    sim::SimDisks m_drives;
    platform::linux_backend::FileProgramStore m_store;
    DiskServiceDaemon m_daemon;
    bool m_listening = false;
    int m_stop[2] = {-1, -1};
    std::thread m_thread;
    std::atomic<bool> m_servedUntilStopped = false;
};

struct ProcessResult
{
    int exitCode = -1;
    std::string output; // standard output and error together
};

// Runs a program with extra environment variables and waits for it.
inline ProcessResult RunProcess(const std::vector<std::string>& arguments,
                                const std::map<std::string, std::string>& environment)
{
    int out[2];
    if (pipe(out) != 0) {
        return {};
    }
    const pid_t child = fork();
    if (child == 0) {
        dup2(out[1], 1);
        dup2(out[1], 2);
        close(out[0]);
        close(out[1]);
        for (const auto& [name, value] : environment) {
            setenv(name.c_str(), value.c_str(), 1);
        }
        std::vector<char*> argv;
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    ProcessResult result;
    char buffer[256];
    ssize_t n = 0;
    while ((n = read(out[0], buffer, sizeof buffer)) > 0) {
        result.output.append(buffer, static_cast<size_t>(n));
    }
    close(out[0]);
    int status = 0;
    waitpid(child, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// Starts a program in the background with extra environment variables.
inline pid_t StartProcess(const std::vector<std::string>& arguments,
                          const std::map<std::string, std::string>& environment)
{
    const pid_t child = fork();
    if (child == 0) {
        for (const auto& [name, value] : environment) {
            setenv(name.c_str(), value.c_str(), 1);
        }
        std::vector<char*> argv;
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return child;
}

// Waits until something accepts connections on the socket.
inline bool WaitForSocket(const std::string& path, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (RawClient(path).Connected()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// Exit code of a process after SIGTERM; -1 when it did not end within the timeout.
inline int TerminateProcess(pid_t pid, int timeoutMs)
{
    kill(pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

} // namespace calventa::service::testing
