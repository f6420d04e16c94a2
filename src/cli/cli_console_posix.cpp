#include "cli/cli_console.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cli/cli_watch.h"
#include "platform/linux/standard_streams.h"

namespace calventa::app {

namespace linux_backend = platform::linux_backend;

void PrepareStandardStreams()
{
    linux_backend::TakeClosedStandardDescriptors();
}

bool FinishStandardOutput(const std::string& text, std::string& error)
{
    return linux_backend::FinishStandardOutput(text, error);
}

// SIGINT, SIGTERM and SIGHUP end the passes early and go through the normal close, so the
// fan outputs are handed back (and kernel pwm modes restored) however the run ends.
void CatchStopSignals()
{
    linux_backend::CatchStopSignals();
}

int StopSignal()
{
    return linux_backend::StopSignal();
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
    return RunCliWatch(monitor, host, outputs, intervalSeconds, linux_backend::StopSignal(),
                       linux_backend::CatchStopSignals());
}

bool WriteMetricsFile(const std::string& path, const std::string& text, std::string& error)
{
    return WriteTextfile(path, text, error);
}

} // namespace calventa::app
