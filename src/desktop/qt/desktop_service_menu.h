#pragma once

#include <QObject>
#include <QTimer>

#include "app/install_commands.h"

namespace calventa::ui {
class ServiceProgressWindow;
class TrayIcon;
} // namespace calventa::ui

namespace calventa::app {

// The tray's "Install Service" and "Uninstall Service": the menu items' state from the
// service manager, and the stepwise progress shown in TSvcForm. The waits between steps
// are single-shot timers, so the window paints each new line while the service settles.
class DesktopServiceMenu : public QObject
{
    Q_OBJECT
public:
    DesktopServiceMenu(platform::ServiceManager& services, ServiceProgramRunner& program,
                       platform::PlatformFamily family, ui::TrayIcon& tray, ui::ServiceProgressWindow& window);

    // UpdateServiceMenu: enables or disables the two items (Windows 9x: leaves them).
    void UpdateMenu();
    // A click while a task is still running is ignored.
    void InstallClick();
    void UninstallClick();

    bool Running() const { return m_running; }
    // Object name "StepTimer"; fires when the wait the last step asked for has passed.
    QTimer& StepTimer() { return m_stepTimer; }

private:
    void Begin(ServiceProgress::Task task);
    void NextStep();

    platform::ServiceManager& m_services;
    platform::PlatformFamily m_family;
    ui::TrayIcon& m_tray;
    ui::ServiceProgressWindow& m_window;
    ServiceProgress m_progress;
    QTimer m_stepTimer;
    bool m_running = false;
};

} // namespace calventa::app
