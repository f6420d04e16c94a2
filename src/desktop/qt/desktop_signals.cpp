#include "desktop/qt/desktop_signals.h"

#include <QSocketNotifier>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace calventa::app {

namespace {

constexpr std::array<int, 3> kSignals{SIGINT, SIGTERM, SIGHUP};

// A signal handler can reach nothing but process-wide state: the pipe's write end, set
// while a TerminationSignals object lives.
std::atomic<int> g_signalPipe{-1};

void OnSignal(int signalNumber)
{
    const int savedErrno = errno;
    const int fd = g_signalPipe.load();
    if (fd >= 0) {
        const auto byte = static_cast<unsigned char>(signalNumber);
        // A full pipe already holds a pending close; losing this byte changes nothing.
        [[maybe_unused]] const ssize_t written = write(fd, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent)
{
    std::array<int, 2> fds{-1, -1};
    if (pipe2(fds.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    m_readEnd = fds[0];
    m_writeEnd = fds[1];
    g_signalPipe.store(m_writeEnd);

    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : kSignals) {
        sigaction(signalNumber, &action, nullptr);
    }
    m_notifier = new QSocketNotifier(m_readEnd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::ReadPipe);
}

TerminationSignals::~TerminationSignals()
{
    if (m_readEnd < 0) {
        return;
    }
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : kSignals) {
        sigaction(signalNumber, &action, nullptr);
    }
    g_signalPipe.store(-1);
    delete m_notifier;
    close(m_readEnd);
    close(m_writeEnd);
}

void TerminationSignals::ReadPipe()
{
    unsigned char byte = 0;
    int last = 0;
    while (read(m_readEnd, &byte, 1) == 1) {
        last = byte;
    }
    if (last != 0) {
        emit Received(last);
    }
}

} // namespace calventa::app
