#include "desktop/qt/desktop_options_host.h"

#include <algorithm>

#include "desktop/qt/desktop_app.h"
#include "ui/qt/main_window.h"
#include "ui/qt/notice_window.h"
#include "ui/qt/options_window.h"

namespace calventa::app {

void DesktopOptionsHost::SetMainWindowOpacity(int opacity)
{
    m_app.m_mainWindow->setWindowOpacity(std::clamp(opacity, 0, 255) / 255.0);
}

void DesktopOptionsHost::ShowFanWarning()
{
    // A parentless window has its own taskbar button for as long as it is up, which the
    // tool-style main window lacks.
    ui::RunNotice(m_app.m_monitor.State(), core::NoticeKind::FanWarning, m_app.m_facts.Family());
}

void DesktopOptionsHost::ShowMessage(const std::string& text)
{
    m_app.m_notices.ShowMessage(text);
}

void DesktopOptionsHost::SetTimerIntervals(int sensorMs, int diskMs)
{
    m_app.m_sensorTimer.setInterval(sensorMs);
    m_app.m_diskTimer.setInterval(diskMs);
}

void DesktopOptionsHost::HideMainWindow()
{
    ui::MainWindow& window = *m_app.m_mainWindow;
    m_mainWindowWasShown = window.isVisible() && !window.isMinimized();
    window.hide();
}

void DesktopOptionsHost::RestoreMainWindowParent()
{
    m_app.m_mainOnDesktop = false;
}

void DesktopOptionsHost::SetMainWindowStaysOnTop(bool onTop)
{
    m_app.m_mainOnTop = onTop;
}

void DesktopOptionsHost::ReapplyMainWindowFrame()
{
    m_app.ApplyMainWindowFlags();
}

void DesktopOptionsHost::PutMainWindowOnDesktop()
{
    m_app.m_mainOnDesktop = true;
    m_app.ApplyMainWindowFlags();
}

void DesktopOptionsHost::ShowMainWindowUnlessMinimized()
{
    if (m_mainWindowWasShown) {
        m_app.ShowMainWindow();
    }
}

void DesktopOptionsHost::HideOptionsDialog()
{
    if (m_app.m_optionsWindow != nullptr) {
        m_app.m_optionsWindow->hide();
    }
}

} // namespace calventa::app
