#pragma once

#include <functional>

#include "core/monitor_view.h"

namespace calventa::ui {

class AlarmWindow;
class MainWindow;
class TrayIcon;

// The monitor's view over the Qt widgets.
class DesktopView final : public core::WindowsView<MainWindow, TrayIcon, AlarmWindow>
{
public:
    using WindowsView::WindowsView;
};

} // namespace calventa::ui
