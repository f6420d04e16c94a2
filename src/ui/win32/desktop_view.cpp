#include "ui/win32/desktop_view.h"

#include "ui/win32/alarm_window.h"
#include "ui/win32/main_window.h"
#include "ui/win32/tray_icon.h"

namespace calventa::ui::win32 {

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

} // namespace calventa::ui::win32
