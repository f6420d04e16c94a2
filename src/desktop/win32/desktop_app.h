#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/monitor.h"
#include "app/service_progress.h"
#include "app/window_system_facts.h"
#include "disks/disk_notices.h"
#include "ui/win32/alarm_window.h"
#include "ui/win32/desktop_view.h"
#include "ui/win32/main_window.h"
#include "ui/win32/modal_windows.h"
#include "ui/win32/service_progress_window.h"
#include "ui/win32/tray_icon.h"
#include "ui/win32/window_base.h"
// <windows.h> names CreateDialog as a macro; the options controller has an operation of that name.
#ifdef CreateDialog
#undef CreateDialog
#endif
#include "app/options_controller.h"

namespace calventa::app::win32 {

using ui::win32::TrayItem;

// What a test or the program's entry chooses beside the machine and the word.
struct DesktopChoices
{
    // The program directory; the store's when none.
    std::optional<std::string> ProgramDirectory;
    ui::win32::LinkOpener Links = ui::win32::SystemLinkOpener();
    // The notification area; Shell_NotifyIcon when none.
    ui::win32::NotifyIconCalls* TrayCalls = nullptr;
    // Runs once a modal window (About, a notice) is up: tests answer it from here.
    std::function<void(HWND)> ModalShown;
    // Instead of a message box: tests record the texts.
    std::function<void(const std::string& caption, const std::string& text)> MessageShown;
};

// The desktop program on Win32: the monitor with its windows, tray icon and timers, all on
// the one thread that runs the message loop. Start() creates, in order, the main window (the
// monitor's start-up, window mode, position, opacity, layout, tray, timers), the alarm window,
// the options dialog's working state and the service progress window, then switches the
// tray's mouse handling on. Closing the main window, however it is asked for (Exit, its
// frame, the session's end, a console event), runs the close sequence once: fans handed back,
// timers off, the tray icon removed; then Finished runs (PostQuitMessage by default).
class DesktopApp final : public core::OptionsHost, private disks::DiskNotices, private disks::UserMessages
{
public:
    static constexpr UINT_PTR kSensorTimer = 1;
    static constexpr UINT_PTR kDiskTimer = 2;
    static constexpr UINT_PTR kShowTimer = 3;
    static constexpr UINT_PTR kPositionTimer = 4;
    static constexpr UINT_PTR kStepTimer = 5;
    // Posted to the timer window by a console control event (another thread).
    static constexpr UINT kTerminateMessage = WM_APP + 20;

    DesktopApp(platform::Platform& machine, CommandWord word, DesktopChoices choices = {});
    ~DesktopApp() override;
    DesktopApp(const DesktopApp&) = delete;
    DesktopApp& operator=(const DesktopApp&) = delete;

    // The drives and the disk service, before Start(); `program` runs the disk service's own
    // program for the tray's service items (none: the items keep their state).
    void AttachDisks(platform::DiskPlatform& disks, ServiceProgramRunner* program);
    void Start();
    // Asks the main window to close (tray "Exit", its frame, the session's end).
    void CloseMainWindow();
    bool Closed() const { return m_closed; }
    void SetFinished(std::function<void()> finished) { m_finished = std::move(finished); }
    // The window that owns the timers; a console control event posts kTerminateMessage here.
    HWND TimerWindow() const;

    Monitor& GetMonitor() { return m_monitor; }
    ui::win32::MainWindow& MainForm() { return *m_mainWindow; }
    ui::win32::TrayIcon& Tray() { return *m_tray; }
    ui::win32::AlarmWindow* AlarmForm() { return m_alarmWindow.get(); }
    ui::win32::ServiceProgressWindow* ServiceForm() { return m_serviceWindow.get(); }
    OptionsController* Options() { return m_options.get(); }
    // The interval each timer runs at; 0 while it is off.
    int TimerInterval(UINT_PTR timer) const;

    // Window mode (stays on top, on the desktop, normal), tool-window style, position and
    // opacity from the settings block.
    void ApplyWindowSettings();
    // The tray's operations on the main window.
    void ShowMainWindow();
    void HideMainWindowToTray();

    // Tray menu items.
    void RunItem(TrayItem item);

    // core::OptionsHost: the window steps of the options dialog's commands.
    void SetMainWindowOpacity(int opacity) override;
    void ShowFanWarning() override;
    void ShowMessage(const std::string& text) override;
    void SetTimerIntervals(int sensorMs, int diskMs) override;
    void HideMainWindow() override;
    void RestoreMainWindowParent() override;
    void SetMainWindowStaysOnTop(bool onTop) override;
    void ReapplyMainWindowFrame() override;
    void PutMainWindowOnDesktop() override;
    void ShowMainWindowUnlessMinimized() override;
    void HideOptionsDialog() override;

private:
    class Timers;

    // disks::DiskNotices and disks::UserMessages: the disk start-up's windows.
    void ShowAdminNotice() override;
    void ShowWarning(const std::string& caption, const std::string& text) override;

    void CreateMainWindow();
    void CreateServiceWindow();
    void ApplyMainWindowModes();
    bool TrayAvailable() const;
    POINT DefaultPosition() const;
    void StartTimer(UINT_PTR timer, int ms);
    void StopTimer(UINT_PTR timer);
    void OnTimer(UINT_PTR timer);
    void MainWindowClosing();
    void AboutClick();
    void UpdateServiceMenu();
    void BeginService(ServiceProgress::Task task);
    void NextServiceStep();

    WindowSystemFacts m_facts;
    platform::Platform m_platform;
    CommandWord m_word;
    DesktopChoices m_choices;
    Monitor m_monitor;
    std::unique_ptr<Timers> m_timers;
    std::unique_ptr<ui::win32::TrayIcon> m_tray;
    std::unique_ptr<ui::win32::MainWindow> m_mainWindow;
    std::unique_ptr<ui::win32::DesktopView> m_view;
    std::unique_ptr<ui::win32::AlarmWindow> m_alarmWindow;
    std::unique_ptr<OptionsController> m_options;
    std::unique_ptr<ui::win32::ServiceProgressWindow> m_serviceWindow;
    platform::DiskPlatform* m_disks = nullptr;
    ServiceProgramRunner* m_serviceProgram = nullptr;
    std::unique_ptr<ServiceProgress> m_serviceProgress;
    std::function<void()> m_finished;
    std::array<int, 6> m_intervals{};
    bool m_serviceRunning = false;
    bool m_mainOnTop = false;
    bool m_mainOnDesktop = false;
    bool m_mainWindowWasShown = false;
    bool m_aboutOpen = false;
    bool m_closed = false;
    bool m_starting = false;
    bool m_closeAsked = false;
};

} // namespace calventa::app::win32
