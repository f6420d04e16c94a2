#include "desktop/qt/desktop_screen_facts.h"

#include <QGuiApplication>
#include <QScreen>

namespace calventa::app {

namespace {

std::optional<platform::ScreenSize> QtPrimaryScreen()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr || screen->geometry().isEmpty()) {
        return std::nullopt;
    }
    return platform::ScreenSize{screen->geometry().width(), screen->geometry().height()};
}

} // namespace

DesktopScreenFacts::DesktopScreenFacts(platform::SystemFacts& machine) : WindowSystemFacts(machine, QtPrimaryScreen) {}

} // namespace calventa::app
