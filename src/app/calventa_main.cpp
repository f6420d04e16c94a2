// calventa: the desktop program. The first command-line word picks the mode; the monitor
// then runs from its main window's timers until that window closes.
#include <QApplication>
#include <iostream>

#include "app/desktop_app.h"
#include "app/desktop_signals.h"
#include "app/install_commands.h"
#include "app/machine_host.h"
#include "ui/artwork.h"

int main(int argc, char** argv)
{
    using namespace calventa;
    // Read before Qt takes its own options out of the argument list.
    const app::CommandWord word = app::FirstCommandWord(argc, argv);

    std::string error;
    std::unique_ptr<app::MachineHost> host = app::MachineHost::FromEnvironment(error);
    if (!host) {
        std::cerr << "calventa: " << error << "\n";
        return 2;
    }
    // "install" and "uninstall" end here, before any window exists.
    if (const std::optional<int> exitCode = app::RunInstallationWord(word, host->Get(), host->Disks().services)) {
        return *exitCode;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Calventa"));
    QApplication::setWindowIcon(ui::ApplicationIcon());
    // The main window may be hidden in the tray while the About window closes.
    QApplication::setQuitOnLastWindowClosed(false);

    app::DesktopApp program(host->Get(), word);
    program.AttachDisks(host->Disks());
    app::TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &app::TerminationSignals::Received, &program, &app::DesktopApp::Terminate);
    QObject::connect(&program, &app::DesktopApp::Finished, &application, &QCoreApplication::quit, Qt::QueuedConnection);
    program.Start();
    return QApplication::exec();
}
