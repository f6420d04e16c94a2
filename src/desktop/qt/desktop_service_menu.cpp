#include "desktop/qt/desktop_service_menu.h"

#include <QAction>
#include <algorithm>

#include "ui/qt/service_progress_window.h"
#include "ui/qt/tray_icon.h"

namespace calventa::app {

DesktopServiceMenu::DesktopServiceMenu(platform::ServiceManager& services, ServiceProgramRunner& program,
                                       platform::PlatformFamily family, ui::TrayIcon& tray,
                                       ui::ServiceProgressWindow& window)
    : m_services(services), m_family(family), m_tray(tray), m_window(window), m_progress(services, program)
{
    m_stepTimer.setObjectName(QStringLiteral("StepTimer"));
    m_stepTimer.setSingleShot(true);
    connect(&m_stepTimer, &QTimer::timeout, this, &DesktopServiceMenu::NextStep);
}

void DesktopServiceMenu::UpdateMenu()
{
    const std::optional<ServiceMenuState> menu = UpdateServiceMenu(m_services, m_family);
    if (!menu) {
        return;
    }
    if (QAction* install = m_tray.Action(ui::TrayItem::InstallService)) {
        install->setEnabled(menu->InstallEnabled);
    }
    if (QAction* uninstall = m_tray.Action(ui::TrayItem::UninstallService)) {
        uninstall->setEnabled(menu->UninstallEnabled);
    }
}

void DesktopServiceMenu::InstallClick()
{
    Begin(ServiceProgress::Task::Install);
}

void DesktopServiceMenu::UninstallClick()
{
    Begin(ServiceProgress::Task::Uninstall);
}

void DesktopServiceMenu::Begin(ServiceProgress::Task task)
{
    if (m_running) {
        return;
    }
    m_running = true;
    m_window.CloseTimer().stop();
    m_progress.Begin(task);
    m_window.SetLines(m_progress.Lines());
    m_window.ShowCentred();
    // The first step runs from the event loop, after the window has painted its first line.
    m_stepTimer.start(0);
}

void DesktopServiceMenu::NextStep()
{
    const std::optional<int> wait = m_progress.Step();
    m_window.SetLines(m_progress.Lines());
    if (wait) {
        m_stepTimer.start(std::max(*wait, 0));
        return;
    }
    m_running = false;
    if (m_progress.Succeeded()) {
        UpdateMenu();
        m_window.CloseLater(kProgressCloseMs);
    }
}

} // namespace calventa::app
