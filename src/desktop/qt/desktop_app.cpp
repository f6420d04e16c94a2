#include "desktop/qt/desktop_app.h"

#include "core/options_presenter.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <vector>

#include "desktop/qt/desktop_service_menu.h"
#include "core/history_presenter.h"
#include "core/update_cycle.h"
#include "core/window_placement.h"
#include "ui/qt/alarm_window.h"
#include "ui/qt/desktop_view.h"
#include "ui/qt/history_window.h"
#include "ui/qt/main_window.h"
#include "ui/qt/notice_window.h"
#include "ui/qt/options_window.h"
#include "ui/qt/service_progress_window.h"
#include "ui/qt/tray_icon.h"
#include "ui/qt/window_frame.h"

namespace calventa::app {

namespace {

platform::Platform WithFacts(platform::Platform& machine, platform::SystemFacts& facts)
{
    return platform::Platform{machine.ports, machine.clock, machine.mutexes, machine.store,
                              machine.files, facts,         machine.kernel};
}

std::vector<core::ScreenArea> QtScreens()
{
    std::vector<core::ScreenArea> screens;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect area = screen->geometry();
        screens.push_back({area.x(), area.y(), area.width(), area.height()});
    }
    return screens;
}

} // namespace

bool CaptionOnSomeScreen(int64_t left, int64_t top, QSize size)
{
    return core::CaptionOnSomeScreen(left, top, size.width(), size.height(), ui::kCaptionHeight, QtScreens());
}

DesktopApp::DesktopApp(platform::Platform& machine, CommandWord word, std::optional<std::string> programDirectory,
                       ui::LinkOpener linkOpener)
    : m_facts(machine.facts), m_platform(WithFacts(machine, m_facts)), m_word(word),
      m_programDirectory(std::move(programDirectory)), m_linkOpener(std::move(linkOpener)), m_monitor(m_platform),
      m_notices(m_monitor.State(), m_facts.Family()), m_optionsHost(*this)
{
    m_sensorTimer.setObjectName(QStringLiteral("SensorTimer"));
    m_diskTimer.setObjectName(QStringLiteral("DiskTimer"));
    m_showTimer.setObjectName(QStringLiteral("ShowTimer"));
    m_positionTimer.setObjectName(QStringLiteral("PositionTimer"));
    m_showTimer.setSingleShot(true);
    m_showTimer.setInterval(core::kShowTimerMs);
    m_positionTimer.setInterval(core::kPositionTimerMs);
    connect(&m_sensorTimer, &QTimer::timeout, this, &DesktopApp::SensorTimerTimer);
    connect(&m_diskTimer, &QTimer::timeout, this, &DesktopApp::DiskTimerTimer);
    connect(&m_showTimer, &QTimer::timeout, this, &DesktopApp::ShowTimerTimer);
    connect(&m_positionTimer, &QTimer::timeout, this, &DesktopApp::PositionTimerTimer);
}

DesktopApp::~DesktopApp()
{
    m_monitor.SetView(nullptr);
}

void DesktopApp::AttachDisks(platform::DiskPlatform& disks)
{
    m_disks = &disks;
    m_monitor.AttachDisks(disks, m_notices, m_notices);
}

void DesktopApp::Start()
{
    m_starting = true;
    CreateMainWindow();

    m_alarmWindow = std::make_unique<ui::AlarmWindow>();
    connect(m_alarmWindow.get(), &ui::AlarmWindow::CloseClicked, this, [this] { m_monitor.CloseAlarmWindow(); });
    m_view->SetAlarmWindow(m_alarmWindow.get());
    m_monitor.AlarmWindowCreated();

    CreateOptionsDialog();
    CreateServiceWindow();

    m_tray->SetMouseHandling(true);
    m_starting = false;
    // A signal during the start-up's modal notices closes only now: the main loop has not
    // run yet, and the monitor must not close while its start-up is on the stack.
    if (m_terminating) {
        CloseMainWindow();
    }
}

void DesktopApp::Terminate()
{
    m_terminating = true;
    m_notices.Silence();
    // A modal window runs its own loop: until it ends, the program would never get back to
    // the main loop, nor end with it.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->isModal()) {
            if (auto* dialog = qobject_cast<QDialog*>(window)) {
                dialog->done(QDialog::Rejected);
            } else {
                window->close();
            }
        }
    }
    if (!m_starting) {
        CloseMainWindow();
    }
}

void DesktopApp::CreateOptionsDialog()
{
    m_options = std::make_unique<OptionsController>(m_monitor, m_optionsHost);
    m_options->CreateDialog();
    m_optionsWindow = std::make_unique<ui::OptionsWindow>(m_options->Presenter(), m_facts.Family());
    connect(m_optionsWindow.get(), &ui::OptionsWindow::OkClicked, this, [this] { m_options->OkClick(); });
    connect(m_optionsWindow.get(), &ui::OptionsWindow::CancelClicked, this, [this] { m_options->CancelClick(); });
    connect(m_optionsWindow.get(), &ui::OptionsWindow::ResetClicked, this, [this] { m_options->ResetClick(); });
}

void DesktopApp::CreateServiceWindow()
{
    m_serviceWindow = std::make_unique<ui::ServiceProgressWindow>();
    if (m_disks == nullptr) {
        return;
    }
    m_serviceManager = std::make_unique<SystemdServiceManager>(
        m_disks->services, SystemdServiceManager::InstallationFromEnvironment(), m_rights);
    m_serviceProgram = std::make_unique<ChildServiceProgram>(ServiceProgramPath(m_facts.ExecutablePath()));
    m_serviceMenu = std::make_unique<DesktopServiceMenu>(*m_serviceManager, *m_serviceProgram, m_facts.Family(),
                                                         *m_tray, *m_serviceWindow);
    m_serviceMenu->UpdateMenu();
}

void DesktopApp::CreateMainWindow()
{
    m_tray = std::make_unique<ui::TrayIcon>();
    m_tray->Show();
    using ui::TrayItem;
    connect(m_tray->Action(TrayItem::Restore), &QAction::triggered, this, &DesktopApp::RestoreClick);
    connect(m_tray->Action(TrayItem::Minimize), &QAction::triggered, this, &DesktopApp::MinimizeClick);
    connect(m_tray->Action(TrayItem::Settings), &QAction::triggered, this, &DesktopApp::SettingsClick);
    connect(m_tray->Action(TrayItem::History), &QAction::triggered, this, &DesktopApp::HistoryClick);
    connect(m_tray->Action(TrayItem::InstallService), &QAction::triggered, this, &DesktopApp::InstallServiceClick);
    connect(m_tray->Action(TrayItem::UninstallService), &QAction::triggered, this, &DesktopApp::UninstallServiceClick);
    // Queued: both leave the menu's own event handling first (Exit frees the menu).
    connect(m_tray->Action(TrayItem::About), &QAction::triggered, this, &DesktopApp::AboutClick, Qt::QueuedConnection);
    connect(m_tray->Action(TrayItem::Exit), &QAction::triggered, this, &DesktopApp::ExitClick, Qt::QueuedConnection);
    if (m_facts.Family() != platform::PlatformFamily::NtFamily) {
        m_tray->Action(TrayItem::InstallService)->setEnabled(false);
        m_tray->Action(TrayItem::UninstallService)->setEnabled(false);
    }

    m_mainWindow = std::make_unique<ui::MainWindow>();
    connect(m_mainWindow.get(), &ui::MainWindow::Closing, this, &DesktopApp::MainWindowClosing);
    connect(m_mainWindow.get(), &ui::MainWindow::MinimizeClicked, this, [this] {
        // Without a notification area a hidden window could never come back.
        if (ui::TrayIcon::Available()) {
            MinimizeClick();
        } else {
            m_mainWindow->showMinimized();
        }
    });
    // The tray's own menu, also where no notification area shows the icon.
    connect(m_mainWindow.get(), &ui::MainWindow::MenuRequested, this, [this](QPoint position) {
        if (m_tray->MouseHandling() && m_tray->Menu() != nullptr) {
            m_tray->Menu()->popup(position);
        }
    });
    m_view = std::make_unique<ui::DesktopView>(*m_mainWindow, *m_tray);
    m_monitor.SetView(m_view.get());

    // Minimized at the defaults' position before anything can run the position timer,
    // so that it finds nothing moved until settings.dat is loaded.
    m_mainWindow->setWindowState(Qt::WindowMinimized);
    m_mainWindow->move(DefaultPosition());
    m_positionTimer.start();

    m_monitor.ApplyCommandWord(m_word);
    m_monitor.StartUp(m_programDirectory);
    if (!m_monitor.State().UsesProgramDirectory()) {
        qWarning("calventa: %s", m_monitor.State().ProgramDirectoryRefusal.c_str());
    }
    ApplyWindowSettings();

    const core::MonitorState& state = m_monitor.State();
    m_sensorTimer.start(core::SensorTimerMs(state.Settings));
    m_diskTimer.setInterval(core::DiskTimerMs(state.Settings));
    if (core::DiskTimerOn(state.Settings, state.Disks)) {
        m_diskTimer.start();
    }
    const bool startMinimized = state.Settings.StartMinimized != 0 && ui::TrayIcon::Available();
    if (!startMinimized) {
        m_showTimer.start();
    }
    m_tray->SetDefaultItem(state.Settings.StartMinimized == 0 ? TrayItem::Minimize : TrayItem::Restore);
}

QPoint DesktopApp::DefaultPosition() const
{
    const core::WindowPosition position = core::DefaultMainWindowPosition(m_facts.PrimaryScreen());
    return {position.Left, position.Top};
}

void DesktopApp::ApplyWindowSettings()
{
    core::SettingsBlock& settings = m_monitor.State().Settings;
    m_mainOnTop = settings.WindowMode == 1;
    m_mainOnDesktop = settings.WindowMode == 0;
    ApplyMainWindowFlags();

    const core::WindowPosition position = core::PlaceMainWindow(
        settings, m_facts.PrimaryScreen(), m_mainWindow->width(), m_mainWindow->height(), ui::kCaptionHeight, QtScreens());
    m_mainWindow->move(position.Left, position.Top);

    if (m_facts.Family() == platform::PlatformFamily::NtFamily) {
        m_mainWindow->setWindowOpacity(core::OpacityOfAlpha(settings.Alpha) / 255.0);
    }
}

void DesktopApp::ApplyMainWindowFlags()
{
    Qt::WindowFlags flags;
    if (m_monitor.State().Settings.WindowStyle == 0 && ui::TrayIcon::Available()) {
        flags |= Qt::Tool; // no taskbar button
    }
    if (m_mainOnDesktop) {
        flags |= Qt::WindowStaysOnBottomHint;
    } else if (m_mainOnTop) {
        flags |= Qt::WindowStaysOnTopHint;
    }
    m_mainWindow->SetExtraWindowFlags(flags);
}

void DesktopApp::ShowMainWindow()
{
    if (m_closed) {
        return;
    }
    m_mainWindow->setWindowState((m_mainWindow->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    m_mainWindow->show();
    m_mainWindow->raise();
    m_mainWindow->activateWindow();
}

void DesktopApp::HideMainWindow()
{
    m_mainWindow->hide();
}

void DesktopApp::RestoreClick()
{
    ShowMainWindow();
    m_tray->SetDefaultItem(ui::TrayItem::Minimize);
}

void DesktopApp::MinimizeClick()
{
    HideMainWindow();
    m_tray->SetDefaultItem(ui::TrayItem::Restore);
}

void DesktopApp::SettingsClick()
{
    if (m_optionsWindow == nullptr || m_closed) {
        return;
    }
    m_options->Open();
    m_optionsWindow->Render();
    m_optionsWindow->show();
    m_optionsWindow->raise();
    m_optionsWindow->activateWindow();
}

void DesktopApp::HistoryClick()
{
    if (m_closed) {
        return;
    }
    // Made on first use: a monitor whose history is never looked at pays for no window.
    if (m_historyWindow == nullptr) {
        m_historyWindow = std::make_unique<ui::HistoryWindow>();
        connect(m_historyWindow.get(), &ui::HistoryWindow::SpanChanged, this, &DesktopApp::RenderHistory);
        connect(m_historyWindow.get(), &ui::HistoryWindow::ResetClicked, this, [this] {
            m_monitor.History().ResetStats();
            RenderHistory();
        });
        connect(m_historyWindow.get(), &ui::HistoryWindow::ExportClicked, this, &DesktopApp::ExportHistory);
    }
    m_historyWindow->show();
    m_historyWindow->raise();
    m_historyWindow->activateWindow();
    RenderHistory();
}

void DesktopApp::RenderHistory()
{
    if (m_historyWindow != nullptr && m_historyWindow->isVisible()) {
        m_historyWindow->Render(core::BuildHistoryContent(m_monitor.History(), m_monitor.State(),
                                                          m_monitor.MainWindow(), m_historyWindow->Span()));
    }
}

void DesktopApp::ExportHistory()
{
    if (m_historyWindow == nullptr) {
        return;
    }
    const QString path = m_exportPathChooser
                             ? m_exportPathChooser()
                             : QFileDialog::getSaveFileName(m_historyWindow.get(), QStringLiteral("Export history"),
                                                            QStringLiteral("calventa-history.csv"),
                                                            QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty()) {
        return;
    }
    // The span as shown when the button was pressed, not as a pass may have moved it since.
    const std::string csv = core::HistoryCsv(core::BuildHistoryContent(
        m_monitor.History(), m_monitor.State(), m_monitor.MainWindow(), m_historyWindow->Span()));
    const auto* bytes = reinterpret_cast<const uint8_t*>(csv.data());
    if (!m_platform.files.ReplaceFile(path.toStdString(), std::span<const uint8_t>(bytes, csv.size()))) {
        m_historyWindow->ShowExportError(
            QStringLiteral("The history could not be saved as \"%1\". Choose a folder you may write to.").arg(path));
    }
}

void DesktopApp::AboutClick()
{
    if (m_aboutOpen || m_closed) {
        return;
    }
    ui::AboutWindow about(m_linkOpener);
    m_aboutOpen = true;
    m_tray->SetMouseHandling(false);
    about.exec();
    m_aboutOpen = false;
    if (!m_closed) {
        m_tray->SetMouseHandling(true);
    }
}

void DesktopApp::InstallServiceClick()
{
    if (m_serviceMenu != nullptr && !m_closed) {
        m_serviceMenu->InstallClick();
    }
}

void DesktopApp::UninstallServiceClick()
{
    if (m_serviceMenu != nullptr && !m_closed) {
        m_serviceMenu->UninstallClick();
    }
}

void DesktopApp::ExitClick()
{
    m_tray->SetMouseHandling(false);
    m_tray->Remove();
    CloseMainWindow();
}

void DesktopApp::CloseMainWindow()
{
    if (m_mainWindow != nullptr) {
        m_mainWindow->close();
    }
}

void DesktopApp::SensorTimerTimer()
{
    m_monitor.UpdatePass();
    RenderHistory();
}

void DesktopApp::DiskTimerTimer()
{
    m_monitor.DiskPass();
    RenderHistory();
}

void DesktopApp::ShowTimerTimer()
{
    ShowMainWindow();
}

void DesktopApp::PositionTimerTimer()
{
    core::MonitorState& state = m_monitor.State();
    const QPoint position = m_mainWindow->pos();
    if (position.x() != state.Settings.WindowLeft || position.y() != state.Settings.WindowTop) {
        state.Settings.WindowLeft = position.x();
        state.Settings.WindowTop = position.y();
        state.SaveSettings();
    }
}

void DesktopApp::MainWindowClosing()
{
    if (m_closed) {
        return;
    }
    m_closed = true;
    m_monitor.CloseQuery();
    m_positionTimer.stop();
    m_sensorTimer.stop();
    m_diskTimer.stop();
    m_showTimer.stop();
    m_monitor.Close();
    m_tray->Remove();
    if (m_alarmWindow != nullptr) {
        m_alarmWindow->ShutDown();
        m_alarmWindow->FreeAlarmLabels();
    }
    if (m_optionsWindow != nullptr) {
        m_optionsWindow->close();
    }
    if (m_historyWindow != nullptr) {
        m_historyWindow->close();
    }
    if (m_serviceWindow != nullptr) {
        m_serviceWindow->CloseTimer().stop();
        m_serviceWindow->close();
    }
    emit Finished();
}

} // namespace calventa::app
