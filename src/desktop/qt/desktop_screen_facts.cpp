#include "desktop/qt/desktop_screen_facts.h"

#include <QGuiApplication>
#include <QScreen>

namespace calventa::app {

platform::ScreenSize DesktopScreenFacts::PrimaryScreen() const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr || screen->geometry().isEmpty()) {
        return m_machine.PrimaryScreen();
    }
    return {screen->geometry().width(), screen->geometry().height()};
}

} // namespace calventa::app
