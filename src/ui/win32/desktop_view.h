#pragma once

#include "core/monitor_view.h"

namespace calventa::ui::win32 {

class AlarmWindow;
class MainWindow;
class TrayIcon;

// The monitor's view over the Win32 windows.
class DesktopView final : public core::WindowsView<MainWindow, TrayIcon, AlarmWindow>
{
public:
    using WindowsView::WindowsView;
};

} // namespace calventa::ui::win32
