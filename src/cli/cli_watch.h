#pragma once

#include <csignal>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "cli/cli_output.h"
#include "app/monitor.h"

namespace calventa::app {

inline constexpr int kMinWatchSeconds = 1;
inline constexpr int kMaxWatchSeconds = 86400; // a day; longer is a timer's job, not a watch's

// --watch's value: whole seconds in kMinWatchSeconds..kMaxWatchSeconds, or nullopt.
std::optional<int> ParseWatchSeconds(const std::string& text);

// The time a watch runs on: a monotonic count of milliseconds and a wait for a point of it.
class WatchClock
{
public:
    virtual ~WatchClock() = default;
    virtual int64_t NowMs() = 0;
    // Returns when NowMs() reaches deadlineMs, or earlier when a signal arrived.
    virtual void WaitUntil(int64_t deadlineMs) = 0;
};

// Real time (CLOCK_MONOTONIC). The given signals stay blocked from construction on and are
// let through only inside the wait, atomically with it (ppoll), so that one arriving during a
// pass ends the very next wait instead of being lost before a day-long sleep. The previous
// mask is restored on destruction.
class SignalWatchClock final : public WatchClock
{
public:
    explicit SignalWatchClock(const sigset_t& wakingSignals);
    ~SignalWatchClock() override;
    SignalWatchClock(const SignalWatchClock&) = delete;
    SignalWatchClock& operator=(const SignalWatchClock&) = delete;

    int64_t NowMs() override;
    void WaitUntil(int64_t deadlineMs) override;

private:
    sigset_t m_previousMask{};
    sigset_t m_waitMask{};
};

struct WatchHooks
{
    // Asked before every wait and after every pass: true ends the watch.
    std::function<bool()> stopRequested;
    // Writes one snapshot; false (the output is gone or failed) ends the watch.
    std::function<bool()> output;
    // Runs before each update pass (a simulated board following its file); may be empty.
    std::function<void()> beforePass;
};

struct WatchResult
{
    int64_t intervals = 0;  // update passes run
    int64_t diskPasses = 0; // disk passes run
    bool outputFailed = false;
};

// After start-up: an output now, then every intervalSeconds an update pass and an output,
// until a hook ends it or maxIntervals (negative: no bound) passes have run. Ticks are laid
// on a fixed grid from the start, so a slow pass does not shift the later ones; ticks missed
// while a pass ran long are skipped, not piled up. The disk pass keeps its own interval from
// the settings (DiskTimerMs) when the disk timer would run (DiskTimerOn at start), and runs
// before the output of the first tick at or after its due time.
WatchResult RunWatch(Monitor& monitor, WatchClock& clock, int intervalSeconds, const WatchHooks& hooks,
                     int64_t maxIntervals = -1);

} // namespace calventa::app

namespace calventa::app {

class MachineHost;

// One snapshot in the format; `compact` writes JSON on one line (a watch's line per pass).
std::string CliSnapshot(Monitor& monitor, MachineHost& host, const CliOutputOptions& outputs, bool compact);

// The metrics written to path atomically with mode 0644, for the node exporter's textfile
// collector: the file at path is the old one or the new one, never a part. False with a
// one-line error on failure.
bool WriteTextfile(const std::string& path, const std::string& text, std::string& error);

// All of text on a descriptor, or false with errno set (EPIPE when the reader went away).
bool WriteAll(int fd, const std::string& text);

// --watch after start-up: runs RunWatch on real time, printing and rewriting the textfile
// each interval, then closes the monitor (fans handed back). SIGPIPE is ignored so that a
// reader going away is a write error, which ends the watch like a stop signal. Returns the
// exit status: 0 when a signal or the reader ended it, 1 on a failed write.
int RunCliWatch(Monitor& monitor, MachineHost& host, const CliOutputOptions& outputs, int intervalSeconds,
                const volatile std::sig_atomic_t& stopSignal, const sigset_t& stopSignals);

} // namespace calventa::app
