#include "app/options_controller.h"

#include "core/program_store_access.h"
#include "core/update_cycle.h"

namespace calventa::app {

OptionsController::OptionsController(Monitor& monitor, core::OptionsHost& host)
    : m_monitor(monitor), m_host(host), m_presenter(monitor.State(), host)
{
}

void OptionsController::CreateDialog()
{
    m_monitor.State().CopyToTempParam();
    m_presenter.CreateDialog();
}

void OptionsController::Open()
{
    m_monitor.State().CopyToTempParam();
    m_presenter.ShowMainOptions();
}

void OptionsController::OkClick()
{
    KeepAlarmNotificationsChoice();
    ApplyWorkingCopy();
}

void OptionsController::ApplyWorkingCopy()
{
    core::MonitorState& state = m_monitor.State();
    // The outputs go back to full speed before new fan-control settings can name others.
    m_monitor.Hardware().ReleaseFanControl();
    state.CopyFromTempParam();
    state.SaveSettings();
    m_monitor.ReadDiskTemperatures();
    m_monitor.UpdatePass();
    m_monitor.BuildMainWindow();
    m_monitor.ShowTray();
    m_host.SetTimerIntervals(core::SensorTimerMs(state.Settings), core::DiskTimerMs(state.Settings));

    m_host.HideMainWindow();
    m_host.RestoreMainWindowParent();
    const uint8_t mode = state.Settings.WindowMode;
    if (mode == 1 || mode == 2) {
        m_host.SetMainWindowStaysOnTop(mode == 1);
    }
    m_host.ReapplyMainWindowFrame();
    if (mode == 0) {
        m_host.PutMainWindowOnDesktop();
    }
    m_host.ShowMainWindowUnlessMinimized();
    m_host.HideOptionsDialog();
}

bool OptionsController::AssignSlot(int slot, int chip, int channel)
{
    core::MonitorState& state = m_monitor.State();
    if (slot < 0 || slot >= core::kSlotCount) {
        return false;
    }
    const bool disk = core::KindOfSlot(slot) == core::SlotKind::Disk;
    if (!disk && (state.Chips.At(chip) == nullptr || chip >= state.Chips.ChipCount || channel < 1 || channel > 255)) {
        return false;
    }
    state.CopyToTempParam();
    core::SensorSlot& target = state.TempParam.Slots[static_cast<size_t>(slot)];
    if (!disk) {
        target.Chip = static_cast<uint8_t>(chip);
        target.Channel = static_cast<uint8_t>(channel);
    }
    target.Enabled = 1;
    // The dialog's "OK" for the settings image only: the General page's own choices (kept
    // outside settings.dat) are the dialog's to change, not a slot's.
    ApplyWorkingCopy();
    return true;
}

void OptionsController::KeepAlarmNotificationsChoice()
{
    core::MonitorState& state = m_monitor.State();
    const bool on = m_presenter.General().AlarmNotifications;
    // Written only when it changes: a user who may not write the program key still gets an
    // "OK" that saves everything else without a failed write each time.
    if (on != core::AlarmNotificationsOn(state.Platform().store)) {
        core::SetAlarmNotifications(state.Platform().store, on);
    }
    state.AlarmNotifications = on;
}

void OptionsController::RestoreOpacity()
{
    // The 9x family never sets the window's opacity (its transparency track bar is
    // disabled): applying the stored Alpha there would turn an opaque window translucent.
    const core::MonitorState& state = m_monitor.State();
    if (state.Platform().facts.Family() == platform::PlatformFamily::NtFamily) {
        m_host.SetMainWindowOpacity(core::OpacityOfAlpha(state.Settings.Alpha));
    }
}

void OptionsController::CancelClick()
{
    RestoreOpacity();
    m_host.HideOptionsDialog();
}

void OptionsController::ResetClick()
{
    core::MonitorState& state = m_monitor.State();
    core::ResetSensorOptions(state.Settings);
    RestoreOpacity();
    m_monitor.ReadDiskTemperatures();
    m_monitor.UpdatePass();
    m_monitor.BuildMainWindow();
    m_host.HideOptionsDialog();
    m_monitor.Hardware().ReleaseFanControl();
}

} // namespace calventa::app
