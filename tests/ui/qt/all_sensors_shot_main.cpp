// all-sensors-shot: the desktop program on the current-desktop board after a few passes whose
// core temperatures move, with the "All sensors" window open, for a look at it under a virtual
// X server. Optionally a PNG path for the window's own grab. It stays up for a few seconds so
// that the X server's screen can be taken.
#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <iostream>

#include "app/machine_host.h"
#include "desktop/qt/desktop_app.h"
#include "platform/sim/sim_machine.h"
#include "ui/qt/all_sensors_window.h"

int main(int argc, char** argv)
{
    using namespace calventa;
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QTemporaryDir programDir;
    std::string error;
    auto host = app::MachineHost::ForBoard(std::string(CALVENTA_SOURCE_DIR) + "/boards/desktop.json", error);
    if (!host || host->Sim() == nullptr || !programDir.isValid()) {
        std::cerr << "all-sensors-shot: " << error << "\n";
        return 2;
    }
    app::DesktopApp program(host->Get(), app::CommandWord::None, programDir.path().toStdString());
    program.AttachDisks(host->Disks());
    program.Start();
    program.ShowMainWindow();
    program.SensorTimer().stop();
    program.DiskTimer().stop();
    sim::SimMachine& sim = *host->Sim();
    // coretemp is the board's second device; its inputs 1..4 are Core 0..3.
    const double loads[] = {52, 61, 44, 57, 49};
    for (size_t pass = 0; pass < std::size(loads); ++pass) {
        for (size_t core = 1; core <= 4; ++core) {
            sim.SetKernelInput(1, core, loads[pass] - static_cast<double>(core) + static_cast<double>(pass % 2));
        }
        QMetaObject::invokeMethod(&program.SensorTimer(), "timeout");
    }
    QMetaObject::invokeMethod(&program.DiskTimer(), "timeout");
    program.AllSensorsClick();
    // Core 2 selected, so that the slot choice shows what it offers.
    const auto rows = program.GetMonitor().AllSensors().Rows(program.GetMonitor().State());
    for (size_t row = 0; row < rows.size(); ++row) {
        if (rows[row].Label == "Core 2") {
            program.AllSensorsForm()->SelectRow(static_cast<int>(row));
        }
    }
    program.AllSensorsForm()->move(200, 40);
    program.AllSensorsForm()->resize(640, 720);
    QTest::qWait(1500);
    if (argc > 1) {
        program.AllSensorsForm()->grab().save(QString::fromLocal8Bit(argv[1]));
    }
    QTimer::singleShot(9000, &application, &QCoreApplication::quit);
    return QApplication::exec();
}
