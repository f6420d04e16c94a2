// calventa-desktop-bench: how long the desktop program takes from main() to the first
// painted main window on a board, and the peak resident size at that moment. The show
// timer's deliberate 1.5 s are left out: the window is shown as soon as start-up ends.
// With --idle as the first argument (the board second) it runs like calventa until it is
// killed, for the idle figures, with the History window open when CALVENTA_BENCH_HISTORY=1.
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "desktop/qt/desktop_app.h"
#include "app/machine_host.h"
#include "ui/qt/main_window.h"

namespace {

// Peak resident set (VmHWM) in kB, or -1.
long PeakResidentKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

class FirstPaint : public QObject
{
public:
    explicit FirstPaint(const QElapsedTimer& clock) : m_clock(clock) {}
    qint64 Elapsed = -1;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && Elapsed < 0) {
            Elapsed = m_clock.elapsed();
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        }
        return false;
    }

private:
    const QElapsedTimer& m_clock;
};

} // namespace

int main(int argc, char** argv)
{
    using namespace calventa;
    QElapsedTimer clock;
    clock.start();
    const bool idle = argc > 1 && std::string(argv[1]) == "--idle";
    const int boardArgument = idle ? 2 : 1;
    const std::string board = argc > boardArgument ? argv[boardArgument] : CALVENTA_DEMO_BOARD;
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    std::string error;
    std::unique_ptr<app::MachineHost> host = app::MachineHost::ForBoard(board, error);
    if (!host) {
        std::cerr << "calventa-desktop-bench: " << error << "\n";
        return 2;
    }
    // As in calventa: the board's clock keeps up with the real timers, so the history fills.
    host->FollowRealTime();
    app::DesktopApp program(host->Get(), app::CommandWord::None);
    program.AttachDisks(host->Disks());
    if (idle) {
        program.Start();
        const char* history = std::getenv("CALVENTA_BENCH_HISTORY");
        if (history != nullptr && std::string(history) == "1") {
            program.HistoryClick();
        }
        return QApplication::exec();
    }
    FirstPaint firstPaint(clock);
    program.Start();
    const qint64 startedMs = clock.elapsed();
    program.MainForm().installEventFilter(&firstPaint);
    program.ShowMainWindow();
    QApplication::exec();
    std::printf("start-up (main to windows built, tray drawn): %lld ms\n", static_cast<long long>(startedMs));
    std::printf("main to first painted main window: %lld ms\n", static_cast<long long>(firstPaint.Elapsed));
    std::printf("peak RSS: %ld kB\n", PeakResidentKb());
    program.CloseMainWindow();
    return firstPaint.Elapsed >= 0 ? 0 : 1;
}
