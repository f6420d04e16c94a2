// calventa: the desktop program. The first command-line word picks the mode; the monitor
// then runs from its main window's timers until that window closes.
#include <QApplication>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string_view>

#include "desktop/qt/desktop_app.h"
#include "desktop/qt/desktop_signals.h"
#include "app/install_commands.h"
#include "app/machine_host.h"
#include "ui/qt/artwork.h"

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

// Qt's own options, which QApplication takes out of the argument list; any other word that
// starts with a dash is a mistyped option and must not start the program.
bool IsQtOption(std::string_view word)
{
    if (word.starts_with("--")) {
        word.remove_prefix(1);
    }
    for (const std::string_view option :
         {"-platform", "-platformpluginpath", "-platformtheme", "-plugin", "-display", "-style", "-stylesheet",
          "-session", "-reverse", "-widgetcount", "-qwindowgeometry", "-qwindowicon", "-qwindowtitle", "-geometry",
          "-title", "-name", "-sync", "-nograb", "-dograb", "-graphicssystem"}) {
        if (word == option || (word.starts_with(option) && word.size() > option.size() && word[option.size()] == '=')) {
            return true;
        }
    }
    return false;
}

bool HasSomethingToShowOn()
{
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') {
            return true;
        }
    }
    return false;
}

// While QApplication starts: the platform plugin's complaints are left out, and a fatal
// message (no platform plugin could start, the display cannot be opened) becomes one line and
// status 1 instead of an abort. Other messages go out as Qt would write them.
void StartMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtFatalMsg) {
        const char* display = std::getenv("DISPLAY");
        const std::string which =
            display != nullptr && *display != '\0' ? std::string("the display \"") + display + "\"" : "the display";
        std::cerr << "calventa: cannot open a window: " << which
                  << " could not be opened (calventa-cli shows the sensors without a display)\n";
        std::_Exit(1);
    }
    if (context.category != nullptr && std::string_view(context.category).starts_with("qt.qpa")) {
        return;
    }
    std::cerr << qPrintable(qFormatLogMessage(type, context, message)) << "\n";
}

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
    if (argc >= 2 && argv[1][0] == '-' && !IsQtOption(argv[1])) {
        std::cerr << "calventa: unknown option " << argv[1] << " (see calventa --help)\n";
        return 2;
    }
    // Read before Qt takes its own options out of the argument list.
    const app::CommandWord word = app::FirstCommandWord(argc, argv);
    const bool installationWord = word == app::CommandWord::Install || word == app::CommandWord::Uninstall;
    if (!installationWord && !HasSomethingToShowOn()) {
        std::cerr << "calventa: no display to show the window on (DISPLAY and WAYLAND_DISPLAY are unset); "
                     "calventa-cli shows the sensors without one\n";
        return 1;
    }

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
    const QtMessageHandler previousHandler = qInstallMessageHandler(StartMessageHandler);
    QApplication application(argc, argv);
    qInstallMessageHandler(previousHandler);
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
