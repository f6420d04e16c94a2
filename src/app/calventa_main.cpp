// calventa: the desktop program. The first command-line word picks the mode; the monitor
// then runs from its main window's timers until that window closes.
#include <QApplication>
#include <cstring>
#include <iostream>

#include "app/desktop_app.h"
#include "app/desktop_signals.h"
#include "app/install_commands.h"
#include "app/machine_host.h"
#include "ui/artwork.h"

namespace {

constexpr const char* kHelp = "usage: calventa [test | fancontrol | debug | install | uninstall]\n"
                              "\n"
                              "Shows the motherboard's temperatures, fan speeds and voltages and the disks'\n"
                              "temperatures in a small window and in the tray, and raises an alarm when a value\n"
                              "leaves its limits. Only the first word counts:\n"
                              "\n"
                              "  test         show every sensor row, even where no chip was found\n"
                              "  fancontrol   offer fan speed control on the options' fan pages\n"
                              "  debug        write the start-up log debug.txt into the program directory\n"
                              "  install      (root) prepare a fresh start: settings.dat is deleted; no window\n"
                              "  uninstall    (root) remove the disk service calventasvc; no window\n"
                              "  --help       this text\n"
                              "  --version    the program's name and version\n"
                              "\n"
                              "CALVENTA_BOARD=FILE runs on a simulated board instead of the machine.\n";

} // namespace

int main(int argc, char** argv)
{
    using namespace calventa;
    // Answered before Qt starts, so they work without a display.
    if (argc >= 2 && std::strcmp(argv[1], "--help") == 0) {
        std::cout << kHelp;
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
        std::cout << "calventa " << CALVENTA_VERSION << "\n";
        return 0;
    }
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

    // The window's timers are real: a simulated board's clock keeps up with them, so the
    // history and the alarm times see the minutes pass.
    host->FollowRealTime();
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
