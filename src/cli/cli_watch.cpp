#include "cli/cli_watch.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>
#include <memory>
#include <span>

#include "cli/board_follower.h"
#include "cli/cli_metrics.h"
#include "cli/cli_output.h"
#include "app/machine_host.h"
#include "core/update_cycle.h"
#include "platform/linux/file_io.h"

namespace calventa::app {

std::optional<int> ParseWatchSeconds(const std::string& text)
{
    // Six digits cover the largest value; more would only be refused after an overflow.
    if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const int seconds = std::stoi(text);
    if (seconds < kMinWatchSeconds || seconds > kMaxWatchSeconds) {
        return std::nullopt;
    }
    return seconds;
}

SignalWatchClock::SignalWatchClock(const sigset_t& wakingSignals)
{
    sigprocmask(SIG_BLOCK, &wakingSignals, &m_previousMask);
    m_waitMask = m_previousMask;
    for (int signal = 1; signal < NSIG; ++signal) {
        if (sigismember(&wakingSignals, signal) == 1) {
            sigdelset(&m_waitMask, signal);
        }
    }
}

SignalWatchClock::~SignalWatchClock()
{
    sigprocmask(SIG_SETMASK, &m_previousMask, nullptr);
}

int64_t SignalWatchClock::NowMs()
{
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void SignalWatchClock::WaitUntil(int64_t deadlineMs)
{
    const int64_t left = deadlineMs - NowMs();
    if (left <= 0) {
        return;
    }
    const timespec timeout = {static_cast<time_t>(left / 1000), static_cast<long>(left % 1000) * 1000000};
    // EINTR: a signal came through; the caller asks whether it was one that stops.
    ppoll(nullptr, 0, &timeout, &m_waitMask);
}

WatchResult RunWatch(Monitor& monitor, WatchClock& clock, int intervalSeconds, const WatchHooks& hooks,
                     int64_t maxIntervals)
{
    WatchResult result;
    const auto stop = [&] { return hooks.stopRequested && hooks.stopRequested(); };
    if (stop()) {
        return result;
    }
    if (!hooks.output()) {
        result.outputFailed = true;
        return result;
    }
    const core::MonitorState& state = monitor.State();
    const bool diskTimer = core::DiskTimerOn(state.Settings, state.Disks);
    const int64_t diskMs = core::DiskTimerMs(state.Settings);
    const int64_t intervalMs = static_cast<int64_t>(intervalSeconds) * 1000;
    const int64_t start = clock.NowMs();
    int64_t nextTick = start + intervalMs;
    int64_t nextDisk = start + diskMs;

    while (maxIntervals < 0 || result.intervals < maxIntervals) {
        while (clock.NowMs() < nextTick) {
            if (stop()) {
                return result;
            }
            clock.WaitUntil(nextTick);
        }
        if (stop()) {
            return result;
        }
        if (hooks.beforePass) {
            hooks.beforePass();
        }
        monitor.UpdatePass();
        ++result.intervals;
        const int64_t now = clock.NowMs();
        if (diskTimer && now >= nextDisk) {
            monitor.DiskPass();
            ++result.diskPasses;
            while (nextDisk <= now) {
                nextDisk += diskMs;
            }
        }
        if (stop()) {
            return result;
        }
        if (!hooks.output()) {
            result.outputFailed = true;
            return result;
        }
        // The next grid point after now: a pass that overran drops the ticks it covered.
        const int64_t after = clock.NowMs();
        nextTick += intervalMs;
        if (nextTick <= after) {
            nextTick += ((after - nextTick) / intervalMs + 1) * intervalMs;
        }
    }
    return result;
}

} // namespace calventa::app

namespace calventa::app {

std::string CliSnapshot(Monitor& monitor, MachineHost& host, const CliOutputOptions& outputs, bool compact)
{
    switch (outputs.format) {
    case CliFormat::Json:
        return CliJson(monitor, host.Sim(), outputs.dumpRegisters)
                   .dump(compact ? -1 : 2, ' ', false, nlohmann::json::error_handler_t::replace) +
               "\n";
    case CliFormat::Prometheus:
        return CliMetrics(monitor);
    case CliFormat::Text:
        break;
    }
    return CliPlainText(monitor, outputs.colour);
}

bool WriteTextfile(const std::string& path, const std::string& text, std::string& error)
{
    using namespace platform::linux_backend;
    // Fixed 0644 whatever the umask: the collector runs as another user.
    constexpr mode_t kTextfileMode = 0644;
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    if (geteuid() != 0) {
        if (ReplaceFileAtomically(path, bytes, kTextfileMode)) {
            return true;
        }
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    // The folder may be the collector's user's (Debian's /var/lib/prometheus), who must not
    // send root elsewhere with a link: root reaches it through no link of theirs and keeps it
    // open for the whole replace.
    UniqueFd folder;
    std::string reached;
    std::string why;
    switch (OpenTrustedDirectory(DirectoryOf(path), 0, DirectoryTrust::LinksOnly, folder, reached, why)) {
    case DirectoryOpening::Opened:
        if (ReplaceFileAt(folder.Get(), FileNameOf(path), bytes, kTextfileMode)) {
            return true;
        }
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    case DirectoryOpening::Refused:
        error = "cannot write " + path + ": " + why;
        return false;
    case DirectoryOpening::Failed:
        break;
    }
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
}

int RunCliWatch(Monitor& monitor, MachineHost& host, const CliOutputOptions& outputs, int intervalSeconds,
                const volatile std::sig_atomic_t& stopSignal, const sigset_t& stopSignals)
{
    std::signal(SIGPIPE, SIG_IGN);
    std::unique_ptr<BoardFollower> follower;
    const char* board = std::getenv("CALVENTA_BOARD");
    if (host.Sim() != nullptr && board != nullptr && *board != '\0') {
        follower = std::make_unique<BoardFollower>(board, *host.Sim());
    }
    int status = 0;
    WatchHooks hooks;
    hooks.stopRequested = [&] { return stopSignal != 0; };
    hooks.beforePass = [&] {
        std::string error;
        if (follower && !follower->Follow(error)) {
            std::cerr << "calventa-cli: board not followed: " << error << "\n";
        }
    };
    hooks.output = [&] {
        if (outputs.toStdout) {
            std::string text = CliSnapshot(monitor, host, outputs, true);
            if (outputs.format != CliFormat::Json) {
                text += "\n"; // a blank line between snapshots
            }
            if (!platform::linux_backend::WriteAll(STDOUT_FILENO,
                                                   {reinterpret_cast<const uint8_t*>(text.data()), text.size()})) {
                if (errno != EPIPE) {
                    std::cerr << "calventa-cli: cannot write standard output: " << std::strerror(errno) << "\n";
                    status = 1;
                }
                return false;
            }
        }
        std::string error;
        if (!outputs.textfile.empty() && !WriteTextfile(outputs.textfile, CliMetrics(monitor), error)) {
            std::cerr << "calventa-cli: " << error << "\n";
            status = 1;
            return false;
        }
        return true;
    };
    {
        SignalWatchClock clock(stopSignals);
        RunWatch(monitor, clock, intervalSeconds, hooks);
    }
    monitor.CloseQuery();
    monitor.Close();
    return status;
}

} // namespace calventa::app
