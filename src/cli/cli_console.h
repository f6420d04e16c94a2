#pragma once

#include <string>

#include "cli/cli_output.h"
#include "app/monitor.h"

namespace calventa::app {

class MachineHost;

// calventa-cli's ties to its process and console, one implementation per platform
// (cli_console_posix.cpp, cli_console_windows.cpp).

// First thing in main: a standard descriptor the program was started without must not be
// taken by the next file it opens (settings.dat, debug.txt).
void PrepareStandardStreams();
// All of text on standard output, then standard output closed: a failed write or close (a
// full disk, /dev/full, a closed descriptor) gives false and a one-line error ("cannot write
// standard output: ..."). A reader that went away is no error: false with error left empty.
bool FinishStandardOutput(const std::string& text, std::string& error);

// From now on a stop request (Ctrl+C, a termination signal) is noted, not fatal: the passes
// end early and the normal close hands the fan outputs back.
void CatchStopSignals();
// The signal that asked to stop; 0 while none has.
int StopSignal();

// Standard output carries the bytes as written: no line-end translation, so the output is
// the same on every platform.
void UseBinaryStdout();
bool StdoutIsTerminal();

// Why DIR cannot be the program directory (missing, not a directory, not writable), or empty.
std::string DirectoryProblem(const std::string& directory);

// --watch SECONDS: the seconds, or the one-line reason it is refused (a bad value, or a
// build without the watch).
std::string ParseWatchOption(const std::string& text, int& seconds);
// --textfile PATH: empty when accepted, else the one-line reason.
std::string CheckTextfileOption(const std::string& path);

// The watch after start-up, until a stop request; the exit status (see RunCliWatch).
int RunConsoleWatch(Monitor& monitor, MachineHost& host, const CliOutputOptions& outputs, int intervalSeconds);
// The metrics written atomically to path; false with a one-line error.
bool WriteMetricsFile(const std::string& path, const std::string& text, std::string& error);

} // namespace calventa::app
