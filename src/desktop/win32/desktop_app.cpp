#include "desktop/win32/desktop_app.h"

#include <algorithm>
#include <vector>

#include "core/notice_presenter.h"
#include "core/update_cycle.h"
#include "core/window_placement.h"

namespace calventa::app::win32 {

namespace {

using ui::win32::Wide;

platform::Platform WithFacts(platform::Platform& machine, platform::SystemFacts& facts)
{
    return platform::Platform{machine.ports, machine.clock, machine.mutexes, machine.store,
                              machine.files, facts,         machine.kernel};
}

std::optional<platform::ScreenSize> Win32PrimaryScreen()
{
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    if (width <= 0 || height <= 0) {
        return std::nullopt;
    }
    return platform::ScreenSize{width, height};
}

BOOL CALLBACK CollectScreen(HMONITOR, HDC, LPRECT area, LPARAM list)
{
    reinterpret_cast<std::vector<core::ScreenArea>*>(list)->push_back(
        {area->left, area->top, area->right - area->left, area->bottom - area->top});
    return TRUE;
}

std::vector<core::ScreenArea> Screens()
{
    std::vector<core::ScreenArea> screens;
    EnumDisplayMonitors(nullptr, nullptr, CollectScreen, reinterpret_cast<LPARAM>(&screens));
    return screens;
}

} // namespace

// A hidden message-only window that owns the program's timers and takes the console
// control event's request to close, so that all of them run on the message loop's thread.
class DesktopApp::Timers final : public ui::win32::WindowBase
{
public:
    explicit Timers(DesktopApp& app) : m_app(app)
    {
        CreateTopLevel(L"CalventaTimers", L"", 0, 0, 0, 0, 0, 0, HWND_MESSAGE);
    }

private:
    void OnMessage(ui::win32::WndEvent& event) override
    {
        if (event.Message == WM_TIMER) {
            m_app.OnTimer(event.WParam);
            event.Handled = true;
        } else if (event.Message == kTerminateMessage) {
            m_app.CloseMainWindow();
            event.Handled = true;
        }
    }

    DesktopApp& m_app;
};

DesktopApp::DesktopApp(platform::Platform& machine, CommandWord word, DesktopChoices choices)
    : m_facts(machine.facts, Win32PrimaryScreen), m_platform(WithFacts(machine, m_facts)), m_word(word),
      m_choices(std::move(choices)), m_monitor(m_platform), m_timers(std::make_unique<Timers>(*this)),
      m_finished([] { PostQuitMessage(0); })
{
}

DesktopApp::~DesktopApp()
{
    m_monitor.SetView(nullptr);
    if (!m_closed && m_mainWindow != nullptr) {
        MainWindowClosing();
    }
}

HWND DesktopApp::TimerWindow() const
{
    return m_timers->Handle();
}

void DesktopApp::AttachDisks(platform::DiskPlatform& disks, ServiceProgramRunner* program)
{
    m_disks = &disks;
    m_serviceProgram = program;
    m_monitor.AttachDisks(disks, *this, *this);
}

void DesktopApp::Start()
{
    m_starting = true;
    CreateMainWindow();

    m_alarmWindow = std::make_unique<ui::win32::AlarmWindow>([this] { m_monitor.CloseAlarmWindow(); });
    m_view->SetAlarmWindow(m_alarmWindow.get());
    m_monitor.AlarmWindowCreated();

    m_options = std::make_unique<OptionsController>(m_monitor, *this);
    m_options->CreateDialog();
    CreateServiceWindow();

    m_tray->SetMouseHandling(true);
    m_starting = false;
    // A close asked for during the start-up's notices runs now: the monitor must not close
    // while its start-up is on the stack.
    if (m_closeAsked) {
        CloseMainWindow();
    }
}

void DesktopApp::CreateMainWindow()
{
    m_tray = std::make_unique<ui::win32::TrayIcon>([this](TrayItem item) { RunItem(item); }, m_choices.TrayCalls);
    m_tray->Show();
    if (m_facts.Family() != platform::PlatformFamily::NtFamily) {
        m_tray->EnableItem(TrayItem::InstallService, false);
        m_tray->EnableItem(TrayItem::UninstallService, false);
    }

    ui::win32::MainWindow::Events events;
    events.Closing = [this] { CloseMainWindow(); };
    events.MinimizeClicked = [this] {
        // Without a notification area a hidden window could never come back.
        if (TrayAvailable()) {
            RunItem(TrayItem::Minimize);
        } else {
            ShowWindow(m_mainWindow->Handle(), SW_MINIMIZE);
        }
    };
    events.MenuRequested = [this](POINT at) { m_tray->OpenMenu(at); };
    m_mainWindow = std::make_unique<ui::win32::MainWindow>(std::move(events));
    m_view = std::make_unique<ui::win32::DesktopView>(*m_mainWindow, *m_tray);
    m_monitor.SetView(m_view.get());

    // Hidden at the defaults' position before anything can run the position timer, so that
    // it finds nothing moved until settings.dat is loaded.
    const POINT fallback = DefaultPosition();
    m_mainWindow->MoveTo(fallback.x, fallback.y);
    StartTimer(kPositionTimer, core::kPositionTimerMs);

    m_monitor.ApplyCommandWord(m_word);
    m_monitor.StartUp(m_choices.ProgramDirectory);
    ApplyWindowSettings();

    const core::MonitorState& state = m_monitor.State();
    StartTimer(kSensorTimer, core::SensorTimerMs(state.Settings));
    if (core::DiskTimerOn(state.Settings, state.Disks)) {
        StartTimer(kDiskTimer, core::DiskTimerMs(state.Settings));
    }
    const bool startMinimized = state.Settings.StartMinimized != 0 && TrayAvailable();
    if (!startMinimized) {
        StartTimer(kShowTimer, core::kShowTimerMs);
    }
    m_tray->SetDefaultItem(state.Settings.StartMinimized == 0 ? TrayItem::Minimize : TrayItem::Restore);
}

void DesktopApp::CreateServiceWindow()
{
    m_serviceWindow = std::make_unique<ui::win32::ServiceProgressWindow>();
    if (m_disks == nullptr || m_serviceProgram == nullptr) {
        return;
    }
    m_serviceProgress = std::make_unique<ServiceProgress>(m_disks->services, *m_serviceProgram);
    UpdateServiceMenu();
}

bool DesktopApp::TrayAvailable() const
{
    // The icon is in a notification area: a hidden window can come back from there.
    return m_tray->Added();
}

POINT DesktopApp::DefaultPosition() const
{
    const core::WindowPosition position = core::DefaultMainWindowPosition(m_facts.PrimaryScreen());
    return {position.Left, position.Top};
}

void DesktopApp::ApplyWindowSettings()
{
    core::SettingsBlock& settings = m_monitor.State().Settings;
    m_mainOnTop = settings.WindowMode == 1;
    m_mainOnDesktop = settings.WindowMode == 0;
    ApplyMainWindowModes();

    const SIZE size = m_mainWindow->OuterSize();
    const int caption = GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYFRAME);
    const core::WindowPosition position =
        core::PlaceMainWindow(settings, m_facts.PrimaryScreen(), size.cx, size.cy, caption, Screens());
    m_mainWindow->MoveTo(position.Left, position.Top);

    if (m_facts.Family() == platform::PlatformFamily::NtFamily) {
        m_mainWindow->SetOpacity(core::OpacityOfAlpha(settings.Alpha));
    }
}

void DesktopApp::ApplyMainWindowModes()
{
    const bool toolWindow = m_monitor.State().Settings.WindowStyle == 0 && TrayAvailable();
    m_mainWindow->SetModes(m_mainOnTop, m_mainOnDesktop, toolWindow);
}

void DesktopApp::ShowMainWindow()
{
    if (!m_closed) {
        m_mainWindow->ShowUp();
    }
}

void DesktopApp::HideMainWindowToTray()
{
    m_mainWindow->HideAway();
}

void DesktopApp::RunItem(TrayItem item)
{
    if (m_closed) {
        return;
    }
    switch (item) {
    case TrayItem::Restore:
        ShowMainWindow();
        m_tray->SetDefaultItem(TrayItem::Minimize);
        return;
    case TrayItem::Minimize:
        HideMainWindowToTray();
        m_tray->SetDefaultItem(TrayItem::Restore);
        return;
    case TrayItem::Settings:
        // The options dialog's window is not built in this program yet; its state is.
        if (m_options != nullptr) {
            m_options->Open();
        }
        return;
    case TrayItem::History:
        return;
    case TrayItem::About:
        AboutClick();
        return;
    case TrayItem::InstallService:
        BeginService(ServiceProgress::Task::Install);
        return;
    case TrayItem::UninstallService:
        BeginService(ServiceProgress::Task::Uninstall);
        return;
    case TrayItem::Exit:
        m_tray->SetMouseHandling(false);
        m_tray->Remove();
        CloseMainWindow();
        return;
    }
}

void DesktopApp::AboutClick()
{
    if (m_aboutOpen || m_closed) {
        return;
    }
    ui::win32::AboutWindow about(m_mainWindow->Handle(), m_choices.Links);
    m_aboutOpen = true;
    m_tray->SetMouseHandling(false);
    about.RunModal([this](ui::win32::AboutWindow& window) {
        if (m_choices.ModalShown) {
            m_choices.ModalShown(window.Handle());
        }
    });
    m_aboutOpen = false;
    if (!m_closed) {
        m_tray->SetMouseHandling(true);
    }
}

void DesktopApp::UpdateServiceMenu()
{
    if (m_disks == nullptr) {
        return;
    }
    const std::optional<ServiceMenuState> menu = app::UpdateServiceMenu(m_disks->services, m_facts.Family());
    if (menu) {
        m_tray->EnableItem(TrayItem::InstallService, menu->InstallEnabled);
        m_tray->EnableItem(TrayItem::UninstallService, menu->UninstallEnabled);
    }
}

void DesktopApp::BeginService(ServiceProgress::Task task)
{
    if (m_serviceProgress == nullptr || m_serviceRunning || m_closed) {
        return;
    }
    m_serviceRunning = true;
    m_serviceWindow->StopCloseTimer();
    m_serviceProgress->Begin(task);
    m_serviceWindow->SetLines(m_serviceProgress->Lines());
    m_serviceWindow->ShowCentred();
    // The first step runs from the message loop, after the window has painted its first line.
    StartTimer(kStepTimer, 0);
}

void DesktopApp::NextServiceStep()
{
    StopTimer(kStepTimer);
    const std::optional<int> wait = m_serviceProgress->Step();
    m_serviceWindow->SetLines(m_serviceProgress->Lines());
    if (wait) {
        StartTimer(kStepTimer, std::max(*wait, 0));
        return;
    }
    m_serviceRunning = false;
    if (m_serviceProgress->Succeeded()) {
        UpdateServiceMenu();
        m_serviceWindow->CloseLater(kProgressCloseMs);
    }
}

void DesktopApp::StartTimer(UINT_PTR timer, int ms)
{
    m_intervals[timer] = ms;
    SetTimer(m_timers->Handle(), timer, static_cast<UINT>(std::max(ms, USER_TIMER_MINIMUM)), nullptr);
}

void DesktopApp::StopTimer(UINT_PTR timer)
{
    KillTimer(m_timers->Handle(), timer);
    m_intervals[timer] = 0;
}

int DesktopApp::TimerInterval(UINT_PTR timer) const
{
    return timer < m_intervals.size() ? m_intervals[timer] : 0;
}

void DesktopApp::OnTimer(UINT_PTR timer)
{
    if (m_closed) {
        return;
    }
    switch (timer) {
    case kSensorTimer:
        m_monitor.UpdatePass();
        return;
    case kDiskTimer:
        m_monitor.DiskPass();
        return;
    case kShowTimer:
        StopTimer(kShowTimer); // once
        ShowMainWindow();
        return;
    case kPositionTimer: {
        core::MonitorState& state = m_monitor.State();
        const POINT position = m_mainWindow->Position();
        if (position.x != state.Settings.WindowLeft || position.y != state.Settings.WindowTop) {
            state.Settings.WindowLeft = position.x;
            state.Settings.WindowTop = position.y;
            state.SaveSettings();
        }
        return;
    }
    case kStepTimer:
        NextServiceStep();
        return;
    default:
        return;
    }
}

void DesktopApp::CloseMainWindow()
{
    if (m_starting) {
        m_closeAsked = true;
        return;
    }
    if (m_mainWindow != nullptr) {
        MainWindowClosing();
    }
}

void DesktopApp::MainWindowClosing()
{
    if (m_closed) {
        return;
    }
    m_closed = true;
    m_monitor.CloseQuery();
    for (UINT_PTR timer : {kPositionTimer, kSensorTimer, kDiskTimer, kShowTimer, kStepTimer}) {
        StopTimer(timer);
    }
    m_monitor.Close();
    m_tray->Remove();
    if (m_alarmWindow != nullptr) {
        ShowWindow(m_alarmWindow->Handle(), SW_HIDE);
        m_alarmWindow->FreeAlarmLabels();
    }
    if (m_serviceWindow != nullptr) {
        m_serviceWindow->StopCloseTimer();
        ShowWindow(m_serviceWindow->Handle(), SW_HIDE);
    }
    ShowWindow(m_mainWindow->Handle(), SW_HIDE);
    if (m_finished) {
        m_finished();
    }
}

void DesktopApp::SetMainWindowOpacity(int opacity)
{
    m_mainWindow->SetOpacity(opacity);
}

void DesktopApp::ShowFanWarning()
{
    ui::win32::RunNotice(m_monitor.State(), core::NoticeKind::FanWarning, m_facts.Family(), nullptr,
                         [this](ui::win32::NoticeWindow& window) {
                             if (m_choices.ModalShown) {
                                 m_choices.ModalShown(window.Handle());
                             }
                         });
}

void DesktopApp::ShowAdminNotice()
{
    if (m_closeAsked) {
        return;
    }
    ui::win32::RunNotice(m_monitor.State(), core::NoticeKind::AdminNotice, m_facts.Family(), nullptr,
                         [this](ui::win32::NoticeWindow& window) {
                             if (m_choices.ModalShown) {
                                 m_choices.ModalShown(window.Handle());
                             }
                         });
}

void DesktopApp::ShowMessage(const std::string& text)
{
    ShowWarning("Calventa", text);
}

void DesktopApp::ShowWarning(const std::string& caption, const std::string& text)
{
    if (m_closeAsked) {
        return;
    }
    if (m_choices.MessageShown) {
        m_choices.MessageShown(caption, text);
        return;
    }
    MessageBoxW(nullptr, Wide(text).c_str(), Wide(caption).c_str(), MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
}

void DesktopApp::SetTimerIntervals(int sensorMs, int diskMs)
{
    StartTimer(kSensorTimer, sensorMs);
    const core::MonitorState& state = m_monitor.State();
    if (core::DiskTimerOn(state.Settings, state.Disks)) {
        StartTimer(kDiskTimer, diskMs);
    } else {
        StopTimer(kDiskTimer);
    }
}

void DesktopApp::HideMainWindow()
{
    const HWND window = m_mainWindow->Handle();
    m_mainWindowWasShown = IsWindowVisible(window) && !IsIconic(window);
    m_mainWindow->HideAway();
}

void DesktopApp::RestoreMainWindowParent()
{
    m_mainOnDesktop = false;
}

void DesktopApp::SetMainWindowStaysOnTop(bool onTop)
{
    m_mainOnTop = onTop;
}

void DesktopApp::ReapplyMainWindowFrame()
{
    ApplyMainWindowModes();
}

void DesktopApp::PutMainWindowOnDesktop()
{
    m_mainOnDesktop = true;
    ApplyMainWindowModes();
}

void DesktopApp::ShowMainWindowUnlessMinimized()
{
    if (m_mainWindowWasShown) {
        ShowMainWindow();
    }
}

void DesktopApp::HideOptionsDialog() {}

} // namespace calventa::app::win32
