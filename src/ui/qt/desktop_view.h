#pragma once

#include <functional>

#include "core/monitor_view.h"

namespace calventa::ui {

class AlarmWindow;
class MainWindow;
class TrayIcon;

// The monitor's view: hands each presenter's content to the widget that renders it.
class DesktopView final : public core::MonitorView
{
public:
    DesktopView(MainWindow& mainWindow, TrayIcon& tray) : m_mainWindow(mainWindow), m_tray(tray) {}

    // The alarm window exists only after the main window's creation.
    void SetAlarmWindow(AlarmWindow* alarmWindow) { m_alarmWindow = alarmWindow; }

    void MainWindowChanged(const core::MainWindowPresenter& presenter, bool relayout) override;
    void TrayChanged(const core::TrayContent& tray) override;
    void AlarmWindowChanged(const core::AlarmWindowContent& content, bool shown) override;
    void AlarmsStarted(const core::AlarmNotice& notice) override;

    // Who tells the desktop of a starting alarm; nobody by default.
    void SetAlarmStartHandler(std::function<void(const core::AlarmNotice&)> handler)
    {
        m_alarmStarted = std::move(handler);
    }

private:
    MainWindow& m_mainWindow;
    TrayIcon& m_tray;
    AlarmWindow* m_alarmWindow = nullptr;
    std::function<void(const core::AlarmNotice&)> m_alarmStarted;
};

} // namespace calventa::ui
