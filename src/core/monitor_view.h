#pragma once

#include <functional>
#include <utility>

#include "core/alarms.h"
#include "core/main_window_presenter.h"
#include "core/tray_presenter.h"

namespace calventa::core {

// What the windows implement: the monitor calls these after it changed what they show.
// Widgets render the presenters' content and compute nothing themselves.
class MonitorView
{
public:
    virtual ~MonitorView() = default;
    // relayout: rows or panels moved (BuildMainWindow); otherwise only values changed.
    virtual void MainWindowChanged(const MainWindowPresenter& presenter, bool relayout) = 0;
    virtual void TrayChanged(const TrayContent& tray) = 0;
    // shown: the window is up (and the taskbar button with it); hidden otherwise.
    virtual void AlarmWindowChanged(const AlarmWindowContent& content, bool shown) = 0;
    // One or more alarms started in the pass just run (see AlarmStartWatch); a view that
    // tells the desktop about them overrides this.
    virtual void AlarmsStarted(const AlarmNotice& /*notice*/) {}
};

// A desktop program's view: hands each presenter's content to the window that renders it.
// Each toolkit names its three windows; they render, they decide nothing:
// MainWindowT::Render(presenter, relayout), TrayIconT::Render(tray),
// AlarmWindowT::Render(content, shown).
template <typename MainWindowT, typename TrayIconT, typename AlarmWindowT>
class WindowsView : public MonitorView
{
public:
    WindowsView(MainWindowT& mainWindow, TrayIconT& tray) : m_mainWindow(mainWindow), m_tray(tray) {}

    // The alarm window exists only after the main window's creation.
    void SetAlarmWindow(AlarmWindowT* alarmWindow) { m_alarmWindow = alarmWindow; }

    void MainWindowChanged(const MainWindowPresenter& presenter, bool relayout) override
    {
        m_mainWindow.Render(presenter, relayout);
    }
    void TrayChanged(const TrayContent& tray) override { m_tray.Render(tray); }
    void AlarmWindowChanged(const AlarmWindowContent& content, bool shown) override
    {
        if (m_alarmWindow != nullptr) {
            m_alarmWindow->Render(content, shown);
        }
    }
    void AlarmsStarted(const AlarmNotice& notice) override
    {
        if (m_alarmStarted) {
            m_alarmStarted(notice);
        }
    }

    // Who tells the desktop of a starting alarm; nobody by default.
    void SetAlarmStartHandler(std::function<void(const AlarmNotice&)> handler) { m_alarmStarted = std::move(handler); }

private:
    MainWindowT& m_mainWindow;
    TrayIconT& m_tray;
    AlarmWindowT* m_alarmWindow = nullptr;
    std::function<void(const AlarmNotice&)> m_alarmStarted;
};

} // namespace calventa::core
