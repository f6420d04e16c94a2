#include "cli/cli_console.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace calventa::app {

namespace {

// The signal that asked the passes to stop; read between passes. The C runtime runs the
// handler on the console's control thread, and it may touch nothing else.
volatile std::sig_atomic_t g_stopSignal = 0;

extern "C" void AskToStop(int signal)
{
    g_stopSignal = signal;
}

std::wstring Wide(const std::string& utf8)
{
    if (utf8.empty()) {
        return {};
    }
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) {
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
    }
    return wide;
}

constexpr const char* kNoWatch = "is not available in the Windows build";

} // namespace

// The C runtime gives a console program its three streams whether or not they are open.
void PrepareStandardStreams() {}

bool FinishStandardOutput(const std::string& text, std::string& error)
{
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    const bool flushed = std::fflush(stdout) == 0;
    if (written && flushed) {
        return true;
    }
    // A pipe whose reader went away is no error, as on Linux.
    if (errno == EPIPE) {
        error.clear();
        return false;
    }
    error = std::string("cannot write standard output: ") + std::strerror(errno);
    return false;
}

// Ctrl+C, Ctrl+Break and a termination request end the passes early and go through the
// normal close, so the fan outputs are handed back however the run ends.
void CatchStopSignals()
{
    for (const int signal : {SIGINT, SIGTERM, SIGBREAK}) {
        std::signal(signal, AskToStop);
    }
}

int StopSignal()
{
    return g_stopSignal;
}

// Text mode would write "\r\n" for every "\n": the JSON and the text would differ from the
// Linux build's, byte for byte.
void UseBinaryStdout()
{
    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
}

bool StdoutIsTerminal()
{
    return _isatty(_fileno(stdout)) != 0;
}

std::string DirectoryProblem(const std::string& directory)
{
    const std::wstring path = Wide(directory);
    struct _stat64 facts = {};
    if (_wstat64(path.c_str(), &facts) != 0) {
        return "--dir " + directory + ": " + std::strerror(errno);
    }
    if ((facts.st_mode & _S_IFDIR) == 0) {
        return "--dir " + directory + ": not a directory";
    }
    if (_waccess(path.c_str(), 2) != 0) {
        return "--dir " + directory + ": not writable: " + std::strerror(errno);
    }
    return {};
}

std::string ParseWatchOption(const std::string&, int& seconds)
{
    seconds = 0;
    return std::string("--watch ") + kNoWatch;
}

std::string CheckTextfileOption(const std::string&)
{
    return std::string("--textfile ") + kNoWatch;
}

int RunConsoleWatch(Monitor&, MachineHost&, const CliOutputOptions&, int)
{
    return 2; // refused with the option already
}

bool WriteMetricsFile(const std::string&, const std::string&, std::string& error)
{
    error = std::string("--textfile ") + kNoWatch;
    return false;
}

} // namespace calventa::app
