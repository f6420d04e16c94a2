#pragma once

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

} // namespace calventa::core
