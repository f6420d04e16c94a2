// history-shot: the desktop program on the demo board after some simulated minutes, with the
// history window open, for a look at it under a virtual X server. The board's virtual clock is
// moved by the sensor interval before each pass, with the CPU temperature, a fan's count and
// VCore changing; a two-minute stretch without passes stands for a suspend. Arguments:
// minutes to simulate (default 20), optionally a PNG path for the window's own grab, then
// optionally the span's index in the span box (0 10 min, 1 1 h, 2 24 h).
// It stays up for a few seconds so that the X server's screen can be taken.
#include <QApplication>
#include <QComboBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <cstdlib>
#include <iostream>

#include "app/machine_host.h"
#include "desktop/qt/desktop_app.h"
#include "platform/sim/sim_chip.h"
#include "platform/sim/sim_machine.h"
#include "ui/qt/history_window.h"

int main(int argc, char** argv)
{
    using namespace calventa;
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QTemporaryDir programDir;
    std::string error;
    auto host = app::MachineHost::ForBoard(std::string(CALVENTA_SOURCE_DIR) + "/boards/demo.json", error);
    if (!host || host->Sim() == nullptr || !programDir.isValid()) {
        std::cerr << "history-shot: " << error << "\n";
        return 2;
    }
    const int minutes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    host->FollowRealTime(); // today's date and time, as in the desktop program
    app::DesktopApp program(host->Get(), app::CommandWord::None, programDir.path().toStdString());
    program.AttachDisks(host->Disks());
    program.Start();
    program.ShowTimer().stop();
    program.SensorTimer().stop(); // passes come from the loop below, on the virtual clock
    program.DiskTimer().stop();

    sim::SimMachine& sim = *host->Sim();
    const int intervalMs = program.SensorTimer().interval();
    const int passes = minutes * 60000 / intervalMs;
    for (int i = 0; i < passes; ++i) {
        const double t = i * intervalMs / 1000.0;
        if (t >= 0.6 * minutes * 60 && t < 0.6 * minutes * 60 + 120) {
            sim.AdvanceMs(static_cast<uint64_t>(intervalMs)); // suspended: no pass
            continue;
        }
        sim.AdvanceMs(static_cast<uint64_t>(intervalMs));
        const double load = std::sin(t / 90.0);
        const auto cpu = static_cast<uint8_t>(std::lround(48 + 14 * load + (i % 7 == 0 ? 3 : 0)));
        sim.IsaChip()->Poke(0x50, cpu, 1);
        if (sim::SimChip* lm75 = sim.SmbusChip(0x48)) {
            lm75->Poke(0x00, cpu);
        }
        sim.IsaChip()->Poke(0x28, static_cast<uint8_t>(std::lround(150 - 40 * load)));
        sim.IsaChip()->Poke(0x20, static_cast<uint8_t>(94 + (i % 5 == 0 ? 2 : 0)));
        QMetaObject::invokeMethod(&program.SensorTimer(), "timeout");
        if (i % (60000 / intervalMs) == 0) {
            QMetaObject::invokeMethod(&program.DiskTimer(), "timeout");
        }
    }
    program.HistoryClick();
    program.HistoryForm()->resize(900, 860);
    program.HistoryForm()->move(40, 20);
    if (argc > 3) {
        if (auto* span = program.HistoryForm()->findChild<QComboBox*>(QStringLiteral("SpanBox"))) {
            span->setCurrentIndex(std::atoi(argv[3]));
        }
    }
    QTest::qWait(1500);
    if (argc > 2) {
        program.HistoryForm()->grab().save(QString::fromLocal8Bit(argv[2]));
    }
    QTimer::singleShot(9000, &application, &QCoreApplication::quit);
    return QApplication::exec();
}
