#include "platform/linux/standard_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <span>

#include "platform/linux/file_io.h"

namespace calventa::platform::linux_backend {

namespace {

// A signal handler can reach nothing but process-wide state: this is the one variable.
volatile std::sig_atomic_t g_stopSignal = 0;

extern "C" void RecordStopSignal(int signal)
{
    g_stopSignal = signal;
}

} // namespace

void TakeClosedStandardDescriptors()
{
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
            continue;
        }
        // The lowest free descriptor is this one: the lower ones are open by now.
        const int flags = fd == STDOUT_FILENO ? O_RDONLY : O_RDWR;
        const int taken = open("/dev/null", flags);
        if (taken >= 0 && taken != fd) {
            dup2(taken, fd);
            close(taken);
        }
    }
}

bool FinishStandardOutput(const std::string& text, std::string& error)
{
    error.clear();
    bool ok = WriteAll(STDOUT_FILENO, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    int failure = errno;
    // Some file systems report a failed write only at close.
    if (close(STDOUT_FILENO) != 0 && ok) {
        ok = false;
        failure = errno;
    }
    if (!ok && failure != EPIPE) {
        error = std::string("cannot write standard output: ") + std::strerror(failure);
    }
    return ok;
}

sigset_t CatchStopSignals()
{
    struct sigaction action = {};
    action.sa_handler = RecordStopSignal;
    sigemptyset(&action.sa_mask);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
        sigaddset(&stopSignals, signal);
    }
    return stopSignals;
}

const volatile std::sig_atomic_t& StopSignal()
{
    return g_stopSignal;
}

} // namespace calventa::platform::linux_backend
