#include "ui/qt/desktop_view.h"

#include "ui/qt/alarm_window.h"
#include "ui/qt/main_window.h"
#include "ui/qt/tray_icon.h"

namespace calventa::ui {

void DesktopView::MainWindowChanged(const core::MainWindowPresenter& presenter, bool relayout)
{
    m_mainWindow.Render(presenter, relayout);
}

void DesktopView::TrayChanged(const core::TrayContent& tray)
{
    m_tray.Render(tray);
}

void DesktopView::AlarmWindowChanged(const core::AlarmWindowContent& content, bool shown)
{
    if (m_alarmWindow != nullptr) {
        m_alarmWindow->Render(content, shown);
    }
}

void DesktopView::AlarmsStarted(const core::AlarmNotice& notice)
{
    if (m_alarmStarted) {
        m_alarmStarted(notice);
    }
}

} // namespace calventa::ui
