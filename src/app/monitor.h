#pragma once

#include <memory>
#include <optional>
#include <string>

#include "core/alarms.h"
#include "core/history.h"
#include "core/main_window_presenter.h"
#include "core/monitor_state.h"
#include "core/monitor_view.h"
#include "core/tray_presenter.h"
#include "disks/disk_notices.h"
#include "disks/smart_disks.h"
#include "hardware/hardware_engine.h"
#include "platform/disk_platform.h"
#include "platform/platform.h"

namespace calventa::app {

// The command line's first word; anything else (or none) is a normal start.
enum class CommandWord { None, Test, FanControl, Debug, Install, Uninstall };

CommandWord ParseCommandWord(const std::string& firstArgument);
// The first command-line word of a program's arguments; only the first argument counts.
CommandWord FirstCommandWord(int argc, const char* const* argv);

// The monitor without windows: it owns the process-wide state, the hardware engine and
// the presenters, runs the start-up sequence, the update and disk passes and the
// shutdown, and tells an attached view what changed. The desktop program and
// calventa-cli each own one.
class Monitor
{
public:
    explicit Monitor(platform::Platform& platform);
    ~Monitor();
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    core::MonitorState& State() { return m_state; }
    hardware::HardwareEngine& Hardware() { return m_hardware; }
    const core::MainWindowPresenter& MainWindow() const { return m_mainWindow; }
    const core::TrayContent& Tray() const { return m_tray; }
    const core::AlarmWindowContent& AlarmWindow() const { return m_alarmWindow; }
    const core::AlarmFlags& Alarms() const { return m_alarms; }
    // What every shown row read since start, fed by the update and disk passes.
    core::SensorHistory& History() { return m_history; }
    const core::SensorHistory& History() const { return m_history; }

    // The windows; nullptr (the default) for a headless monitor.
    void SetView(core::MonitorView* view) { m_view = view; }

    // The drives and the disk service, with the windows the disk start-up may raise. Without
    // them (tests of other parts) no disk is ever listed. Call before StartUp.
    void AttachDisks(platform::DiskPlatform& disks, disks::DiskNotices& notices, disks::UserMessages& messages);
    const disks::SmartDisks* Disks() const { return m_disks.get(); }

    // Sets TestMode, FanControlMode or DebugMode from the command word.
    void ApplyCommandWord(CommandWord word);

    // The main window's creation without the windows, in order: program directory (the
    // store's, unless one is given; refused when root could not trust it, see
    // MonitorState::CheckProgramDirectory), defaults, log, bus mutexes, disks, hardware start-up
    // and chip search with its first pass, settings.dat, alarm latches, test mode, log
    // closed, main window layout, tray.
    void StartUp(const std::optional<std::string>& programDirectory = std::nullopt);

    // From now on alarms can raise the alarm window.
    void AlarmWindowCreated() { m_alarms.AlarmWindowReady = true; }

    // Sensor timer: chips, corrections, fan control, main window, tray, alarm list, history.
    void UpdatePass();
    // Disk timer: disk temperatures, main window, alarm list, history.
    void DiskPass();
    // Disk temperatures alone, for callers that refresh the windows themselves (options "OK").
    void ReadDiskTemperatures();

    void BuildMainWindow();
    void RefreshMainWindow();
    void ShowTray();
    void ShowAlarmWindow();
    void CheckAlarms();
    // The alarm window's "Close": hidden until a new or rising alarm.
    void CloseAlarmWindow();

    // Close query of the main window: fan outputs back to full speed.
    void CloseQuery();
    // Close of the main window: fan outputs back once more while the bus mutexes are
    // open, then the mutexes closed. Safe to call twice.
    void Close();

private:
    void ApplyTestMode();
    void NotifyAlarmWindow();

    core::MonitorState m_state;
    hardware::HardwareEngine m_hardware;
    core::AlarmFlags m_alarms;
    core::MainWindowPresenter m_mainWindow;
    core::SensorHistory m_history;
    core::TrayContent m_tray;
    core::AlarmWindowContent m_alarmWindow;
    core::MonitorView* m_view = nullptr;
    std::unique_ptr<disks::SmartDisks> m_disks;
    bool m_started = false;
};

} // namespace calventa::app
