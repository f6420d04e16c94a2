// options-shot: the desktop program on the demo board (or $CALVENTA_BOARD) with the options dialog open, for a
// look at the dialog under a virtual X server. Arguments: optionally "fancontrol" (the
// command word), then tree node texts to click in order; it stays up for a few seconds.
#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <cstdlib>
#include <iostream>

#include "desktop/qt/desktop_app.h"
#include "app/machine_host.h"
#include "ui/qt/options_window.h"

int main(int argc, char** argv)
{
    using namespace calventa;
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QTemporaryDir programDir;
    std::string error;
    const char* board = std::getenv("CALVENTA_BOARD"); // another board than the demo's
    auto host = app::MachineHost::ForBoard(
        board != nullptr ? std::string(board) : std::string(CALVENTA_SOURCE_DIR) + "/boards/demo.json", error);
    if (!host || !programDir.isValid()) {
        std::cerr << "options-shot: " << error << "\n";
        return 2;
    }
    const bool fanControl = argc > 1 && std::string(argv[1]) == "fancontrol";
    app::DesktopApp program(host->Get(), fanControl ? app::CommandWord::FanControl : app::CommandWord::None,
                            programDir.path().toStdString());
    program.AttachDisks(host->Disks());
    program.Start();
    // The main window stays in the tray, out of the dialog's way.
    program.ShowTimer().stop();
    program.SettingsClick();

    auto* tree = program.OptionsForm()->findChild<QTreeWidget*>(QStringLiteral("OptionsTree"));
    for (int i = fanControl ? 2 : 1; i < argc && tree != nullptr; ++i) {
        const QList<QTreeWidgetItem*> found =
            tree->findItems(QString::fromLocal8Bit(argv[i]), Qt::MatchExactly | Qt::MatchRecursive);
        if (found.isEmpty()) {
            std::cerr << "options-shot: no node " << argv[i] << "\n";
            continue;
        }
        if (found.front()->parent() != nullptr) {
            found.front()->parent()->setExpanded(true);
        }
        tree->setCurrentItem(found.front());
        QTest::qWait(50);
        const QRect rect = tree->visualItemRect(found.front());
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, rect.center());
    }
    QTimer::singleShot(4000, &application, &QCoreApplication::quit);
    return QApplication::exec();
}
