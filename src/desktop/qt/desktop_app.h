#pragma once

#include <QObject>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "desktop/qt/desktop_notices.h"
#include "desktop/qt/desktop_options_host.h"
#include "desktop/qt/desktop_screen_facts.h"
#include "app/install_commands.h"
#include "app/monitor.h"
#include "app/options_controller.h"
#include "ui/qt/about_window.h"

namespace calventa::ui {
class AlarmWindow;
class DesktopView;
class HistoryWindow;
class MainWindow;
class OptionsWindow;
class ServiceProgressWindow;
class TrayIcon;
} // namespace calventa::ui

namespace calventa::app {

class DesktopServiceMenu;

// Whether a window at `topLeft` of `size` can be grabbed on some screen of Qt's
// (core::CaptionOnSomeScreen over QGuiApplication::screens()).
bool CaptionOnSomeScreen(int64_t left, int64_t top, QSize size);

// The desktop program: the monitor with its windows, tray icon and timers. Start() is the
// normal start: the main window's creation (the monitor's start-up plus window mode,
// position, opacity, layout, tray and timers), then the alarm window, the options dialog
// and the service window, then the tray's mouse handling. Closing the main window, however
// it is asked for, runs the close sequence once and emits Finished().
class DesktopApp : public QObject
{
    Q_OBJECT
public:
    DesktopApp(platform::Platform& machine, CommandWord word,
               std::optional<std::string> programDirectory = std::nullopt,
               ui::LinkOpener linkOpener = ui::SystemLinkOpener());
    ~DesktopApp() override;

    // The drives and the disk service, before Start(); without them no disk is listed and
    // the service menu items keep their state.
    void AttachDisks(platform::DiskPlatform& disks);
    void Start();
    // Asks the main window to close (tray "Exit" uses it).
    void CloseMainWindow();
    // A termination signal: closes the modal windows that are up (a start-up notice, a
    // message box, About) and then the main window, through the normal close; during
    // Start() the close waits for the start-up's end, and no further modal window opens.
    void Terminate();
    bool Closed() const { return m_closed; }

    Monitor& GetMonitor() { return m_monitor; }
    ui::MainWindow& MainForm() { return *m_mainWindow; }
    ui::TrayIcon& Tray() { return *m_tray; }
    ui::AlarmWindow* AlarmForm() { return m_alarmWindow.get(); }
    ui::OptionsWindow* OptionsForm() { return m_optionsWindow.get(); }
    OptionsController* Options() { return m_options.get(); }
    ui::ServiceProgressWindow* ServiceForm() { return m_serviceWindow.get(); }
    // nullptr until "History.." first opens it.
    ui::HistoryWindow* HistoryForm() { return m_historyWindow.get(); }
    // Asks where the history's CSV goes; an empty answer cancels. A file dialog by default.
    void SetExportPathChooser(std::function<QString()> chooser) { m_exportPathChooser = std::move(chooser); }
    // nullptr until Start() with disks attached.
    DesktopServiceMenu* ServiceMenu() { return m_serviceMenu.get(); }
    // Object names "SensorTimer", "DiskTimer", "ShowTimer", "PositionTimer".
    QTimer& SensorTimer() { return m_sensorTimer; }
    QTimer& DiskTimer() { return m_diskTimer; }
    QTimer& ShowTimer() { return m_showTimer; }
    QTimer& PositionTimer() { return m_positionTimer; }

    // Window mode (stays on top, on the desktop, normal), tool-window style, position and
    // opacity from the settings block.
    void ApplyWindowSettings();

    // The tray component's operations on the main window.
    void ShowMainWindow();
    void HideMainWindow();

    // Tray menu items; About.. shows its window modally.
    void RestoreClick();
    void MinimizeClick();
    void SettingsClick();
    void HistoryClick();
    void AboutClick();
    void ExitClick();
    void InstallServiceClick();
    void UninstallServiceClick();

signals:
    void Finished();

private:
    friend class DesktopOptionsHost;

    void CreateMainWindow();
    void CreateOptionsDialog();
    void CreateServiceWindow();
    // Frameless plus the tool style, stay-on-top and on-desktop as the settings and the
    // options dialog's "OK" left them; "On desktop" wins over a stay-on-top style it keeps.
    void ApplyMainWindowFlags();
    QPoint DefaultPosition() const;
    void SensorTimerTimer();
    void DiskTimerTimer();
    void ShowTimerTimer();
    void PositionTimerTimer();
    void MainWindowClosing();
    // The history window's content for its span, only while it is shown.
    void RenderHistory();
    void ExportHistory();

    DesktopScreenFacts m_facts;
    platform::Platform m_platform;
    CommandWord m_word;
    std::optional<std::string> m_programDirectory;
    ui::LinkOpener m_linkOpener;
    Monitor m_monitor;
    DesktopNotices m_notices;
    std::unique_ptr<ui::TrayIcon> m_tray;
    std::unique_ptr<ui::MainWindow> m_mainWindow;
    std::unique_ptr<ui::DesktopView> m_view;
    std::unique_ptr<ui::AlarmWindow> m_alarmWindow;
    DesktopOptionsHost m_optionsHost;
    std::unique_ptr<OptionsController> m_options;
    std::unique_ptr<ui::OptionsWindow> m_optionsWindow;
    std::unique_ptr<ui::ServiceProgressWindow> m_serviceWindow;
    std::unique_ptr<ui::HistoryWindow> m_historyWindow;
    std::function<QString()> m_exportPathChooser;
    platform::DiskPlatform* m_disks = nullptr;
    EffectiveUserRights m_rights;
    std::unique_ptr<SystemdServiceManager> m_serviceManager;
    std::unique_ptr<ChildServiceProgram> m_serviceProgram;
    std::unique_ptr<DesktopServiceMenu> m_serviceMenu;
    bool m_mainOnTop = false;
    bool m_mainOnDesktop = false;
    QTimer m_sensorTimer;
    QTimer m_diskTimer;
    QTimer m_showTimer;
    QTimer m_positionTimer;
    bool m_aboutOpen = false;
    bool m_closed = false;
    bool m_starting = false;
    bool m_terminating = false;
};

} // namespace calventa::app
