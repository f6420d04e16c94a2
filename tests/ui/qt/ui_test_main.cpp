#include <QApplication>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

// The offscreen platform says so each time a window asks for what it cannot do.
void QuietOffscreenNotes(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (message.startsWith(QStringLiteral("This plugin does not support"))) {
        return;
    }
    std::fprintf(stderr, "%s\n", qPrintable(message));
    if (type == QtFatalMsg) {
        std::abort();
    }
}

} // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(QuietOffscreenNotes);
    // The suite draws into offscreen windows unless told otherwise.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
