#include "app/cli_console.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "app/cli_watch.h"

namespace calventa::app {

namespace {

// The signal that asked the passes to stop; read between passes. A signal handler can
// reach nothing else, so this is the one process-wide variable.
volatile std::sig_atomic_t g_stopSignal = 0;

extern "C" void AskToStop(int signal)
{
    g_stopSignal = signal;
}

sigset_t StopSignalSet()
{
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&stopSignals, signal);
    }
    return stopSignals;
}

} // namespace

// SIGINT, SIGTERM and SIGHUP end the passes early and go through the normal close, so the
// fan outputs are handed back (and kernel pwm modes restored) however the run ends.
void CatchStopSignals()
{
    struct sigaction action = {};
    action.sa_handler = AskToStop;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
}

int StopSignal()
{
    return g_stopSignal;
}

void UseBinaryStdout() {}

bool StdoutIsTerminal()
{
    return isatty(STDOUT_FILENO) != 0;
}

std::string DirectoryProblem(const std::string& directory)
{
    struct stat facts = {};
    if (stat(directory.c_str(), &facts) != 0) {
        return "--dir " + directory + ": " + std::strerror(errno);
    }
    if (!S_ISDIR(facts.st_mode)) {
        return "--dir " + directory + ": not a directory";
    }
    if (access(directory.c_str(), W_OK) != 0) {
        return "--dir " + directory + ": not writable: " + std::strerror(errno);
    }
    return {};
}

std::string ParseWatchOption(const std::string& text, int& seconds)
{
    const auto parsed = ParseWatchSeconds(text);
    seconds = parsed.value_or(0);
    return parsed ? std::string() : "--watch takes whole seconds from 1 to 86400, not \"" + text + "\"";
}

std::string CheckTextfileOption(const std::string& path)
{
    return path.empty() ? std::string("--textfile needs a file path") : std::string();
}

int RunConsoleWatch(Monitor& monitor, MachineHost& host, const CliOutputOptions& outputs, int intervalSeconds)
{
    return RunCliWatch(monitor, host, outputs, intervalSeconds, g_stopSignal, StopSignalSet());
}

bool WriteMetricsFile(const std::string& path, const std::string& text, std::string& error)
{
    return WriteTextfile(path, text, error);
}

} // namespace calventa::app
