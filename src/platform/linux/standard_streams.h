#pragma once

#include <csignal>
#include <string>

// What a command-line program of this project shares about its standard descriptors and the
// signals that stop it.
namespace calventa::platform::linux_backend {

// Run first thing in main. A descriptor 0, 1 or 2 the program was started without would be
// handed to the next file it opens (settings.dat, debug.txt), and its output would land
// there. Each closed one is taken by /dev/null: standard input and error for reading and
// writing nothing, standard output read-only, so that writing it fails (EBADF) and is
// reported like any other failed output.
void TakeClosedStandardDescriptors();

// All of text on standard output, then standard output closed: a write or the close failing
// (a full disk, /dev/full, a closed descriptor, an NFS error reported at close) gives false and
// a one-line error ("cannot write standard output: …"). A reader that went away (EPIPE) is no
// error: error stays empty and the result is false.
bool FinishStandardOutput(const std::string& text, std::string& error);

// SIGINT, SIGTERM and SIGHUP only record their number (StopSignal()) and interrupt the
// current wait, so that a program ends through its normal close: the fan outputs handed back,
// the kernel pwm modes restored. Returns the set, for code that lets them through only
// inside a wait.
sigset_t CatchStopSignals();
// The stop signal received, or 0.
const volatile std::sig_atomic_t& StopSignal();

} // namespace calventa::platform::linux_backend
