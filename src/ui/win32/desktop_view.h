#pragma once

#include "core/monitor_view.h"

namespace calventa::ui::win32 {

class AlarmWindow;
class MainWindow;
class TrayIcon;

// The monitor's view: hands each presenter's content to the window that renders it.
class DesktopView final : public core::MonitorView
{
public:
    DesktopView(MainWindow& mainWindow, TrayIcon& tray) : m_mainWindow(mainWindow), m_tray(tray) {}

    // The alarm window exists only after the main window's creation.
    void SetAlarmWindow(AlarmWindow* alarmWindow) { m_alarmWindow = alarmWindow; }

    void MainWindowChanged(const core::MainWindowPresenter& presenter, bool relayout) override;
    void TrayChanged(const core::TrayContent& tray) override;
    void AlarmWindowChanged(const core::AlarmWindowContent& content, bool shown) override;

private:
    MainWindow& m_mainWindow;
    TrayIcon& m_tray;
    AlarmWindow* m_alarmWindow = nullptr;
};

} // namespace calventa::ui::win32
