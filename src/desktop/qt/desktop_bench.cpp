// calventa-desktop-bench: how long the desktop program takes from main() to the first
// painted main window on a board, and the peak resident size at that moment. The show
// timer's deliberate 1.5 s are left out: the window is shown as soon as start-up ends.
// With --idle as the first argument (the board second) it runs like calventa until it is
// killed, for the idle figures, with the History window open when CALVENTA_BENCH_HISTORY=1
// (900 x 880, on the span of index CALVENTA_BENCH_SPAN: 0 10 min, 1 1 h, 2 24 h) and a full
// record (24 h of 3 s passes) filled in before the timers start when CALVENTA_BENCH_FULL=1. With --redraw (the board
// second) it fills the record the same way and prints what a pass costs the History window in each span, against the
// same passes with the window closed.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <string>

#include "app/machine_host.h"
#include "desktop/qt/desktop_app.h"
#include "platform/sim/sim_chip.h"
#include "platform/sim/sim_machine.h"
#include "ui/qt/history_window.h"
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

constexpr int kPassSeconds = 3; // the shortest sensor interval: the most samples an hour holds

// Moves the board on by one interval with readings that wander, so no curve is flat.
void NextReadings(calventa::sim::SimMachine& sim, int pass)
{
    sim.AdvanceMs(kPassSeconds * 1000);
    const double load = std::sin(pass * kPassSeconds / 90.0);
    const auto cpu = static_cast<uint8_t>(std::lround(48 + 14 * load + (pass % 7 == 0 ? 3 : 0)));
    sim.IsaChip()->Poke(0x50, cpu, 1);
    if (calventa::sim::SimChip* lm75 = sim.SmbusChip(0x48)) {
        lm75->Poke(0x00, cpu);
    }
    sim.IsaChip()->Poke(0x28, static_cast<uint8_t>(std::lround(150 - 40 * load)));
    sim.IsaChip()->Poke(0x20, static_cast<uint8_t>(94 + (pass % 5 == 0 ? 2 : 0)));
    sim.IsaChip()->Poke(0x24, static_cast<uint8_t>(197 + pass % 3));
}

// 24 hours and a few minutes of passes at the shortest interval, a disk pass every two minutes:
// every shown row then holds its hour of samples and its day of minute samples.
void FillRecord(calventa::app::DesktopApp& program, calventa::sim::SimMachine& sim)
{
    program.GetMonitor().State().Settings.SensorInterval = kPassSeconds;
    const int passes = (24 * 3600 + 600) / kPassSeconds;
    for (int i = 0; i < passes; ++i) {
        NextReadings(sim, i);
        program.GetMonitor().UpdatePass();
        if (i % (120 / kPassSeconds) == 0) {
            program.GetMonitor().DiskPass();
        }
    }
}

double CpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// CPU ms of `count` sensor-timer passes, each followed by the event processing that paints.
double TimedPasses(calventa::app::DesktopApp& program, calventa::sim::SimMachine& sim, int& pass, int count)
{
    const double start = CpuMs();
    for (int i = 0; i < count; ++i) {
        NextReadings(sim, pass++);
        QMetaObject::invokeMethod(&program.SensorTimer(), "timeout");
        QApplication::processEvents();
    }
    return CpuMs() - start;
}

int RedrawBench(const std::string& board)
{
    using namespace calventa;
    std::string error;
    std::unique_ptr<app::MachineHost> host = app::MachineHost::ForBoard(board, error);
    QTemporaryDir programDir;
    if (!host || host->Sim() == nullptr || !programDir.isValid()) {
        std::cerr << "calventa-desktop-bench: " << error << "\n";
        return 2;
    }
    sim::SimMachine& sim = *host->Sim();
    app::DesktopApp program(host->Get(), app::CommandWord::None, programDir.path().toStdString());
    program.AttachDisks(host->Disks());
    program.Start();
    program.ShowMainWindow();
    for (QTimer* timer : {&program.SensorTimer(), &program.DiskTimer(), &program.ShowTimer()}) {
        timer->stop(); // passes come from here, on the board's virtual clock
    }
    const double fillStart = CpuMs();
    FillRecord(program, sim);
    std::printf("record filled: 24 h of %d s passes in %.1f s CPU\n", kPassSeconds, (CpuMs() - fillStart) / 1e3);

    constexpr int kPasses = 40;
    int pass = 0;
    TimedPasses(program, sim, pass, 5);
    const double closedMs = TimedPasses(program, sim, pass, kPasses) / kPasses;
    std::printf("a pass with the History window closed: %.2f ms CPU\n", closedMs);

    program.HistoryClick();
    ui::HistoryWindow& window = *program.HistoryForm();
    window.resize(900, 880);
    QApplication::processEvents();
    auto* spans = window.findChild<QComboBox*>(QStringLiteral("SpanBox"));
    // The window opens on 10 min: it comes last, so that each span is a change of span.
    for (const int index : {1, 2, 0}) {
        const double switchStart = CpuMs();
        spans->setCurrentIndex(index);
        QApplication::processEvents();
        const double switchMs = CpuMs() - switchStart;
        TimedPasses(program, sim, pass, 3);
        const double shownMs = TimedPasses(program, sim, pass, kPasses) / kPasses;
        std::printf("span %-6s: a pass costs the History window %.2f ms CPU (%.2f ms with the pass); "
                    "the span change %.1f ms\n",
                    spans->itemText(index).toStdString().c_str(), shownMs - closedMs, shownMs, switchMs);
    }
    program.CloseMainWindow();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace calventa;
    QElapsedTimer clock;
    clock.start();
    const bool idle = argc > 1 && std::string(argv[1]) == "--idle";
    const bool redraw = argc > 1 && std::string(argv[1]) == "--redraw";
    const int boardArgument = idle || redraw ? 2 : 1;
    const std::string board = argc > boardArgument ? argv[boardArgument] : CALVENTA_DEMO_BOARD;
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    if (redraw) {
        return RedrawBench(board);
    }
    std::string error;
    std::unique_ptr<app::MachineHost> host = app::MachineHost::ForBoard(board, error);
    if (!host) {
        std::cerr << "calventa-desktop-bench: " << error << "\n";
        return 2;
    }
    const char* full = std::getenv("CALVENTA_BENCH_FULL");
    const bool fill = idle && full != nullptr && std::string(full) == "1" && host->Sim() != nullptr;
    // As in calventa: the board's clock keeps up with the real timers, so the history fills;
    // a record filled first is filled on the board's own clock, which follows from then on.
    if (!fill) {
        host->FollowRealTime();
    }
    app::DesktopApp program(host->Get(), app::CommandWord::None);
    program.AttachDisks(host->Disks());
    if (idle) {
        program.Start();
        if (fill) {
            program.SensorTimer().stop();
            const int32_t interval = program.GetMonitor().State().Settings.SensorInterval;
            FillRecord(program, *host->Sim());
            program.GetMonitor().State().Settings.SensorInterval = interval;
            host->FollowRealTime();
            program.SensorTimer().start();
        }
        const char* history = std::getenv("CALVENTA_BENCH_HISTORY");
        if (history != nullptr && std::string(history) == "1") {
            program.HistoryClick();
            program.HistoryForm()->resize(900, 880);
            const char* span = std::getenv("CALVENTA_BENCH_SPAN"); // its index in the span box
            if (auto* spans = program.HistoryForm()->findChild<QComboBox*>(QStringLiteral("SpanBox"));
                spans != nullptr && span != nullptr) {
                spans->setCurrentIndex(std::atoi(span));
            }
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
