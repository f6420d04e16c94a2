#pragma once

#include "app/monitor.h"
#include "core/options_presenter.h"

namespace calventa::app {

// The options dialog's buttons and life, over the monitor: the presenter owns the pages, this
// runs what "OK", "Cancel" and "Reset to default" do to the monitor and the windows.
class OptionsController
{
public:
    OptionsController(Monitor& monitor, core::OptionsHost& host);

    core::OptionsPresenter& Presenter() { return m_presenter; }

    // Dialog creation at start-up, after the main window and the alarm window: working copy,
    // tree, General page.
    void CreateDialog();
    // Tray "Settings..": a fresh working copy and General page; a sensor or summary page left
    // from the last use stays on top with what it showed. The window then shows itself.
    void Open();

    // "OK": fan outputs back, working copy into the live block (the notice flags kept), saved,
    // disks and chips read, main window and tray rebuilt, timers, window mode, dialog hidden.
    void OkClick();
    // A sensor put on a main-window slot from elsewhere (the "All sensors" window): the slot of a
    // fresh working copy is pointed at the chip channel and enabled (a disk slot only enabled),
    // then "OK" runs as from the dialog, so the block is saved and the windows rebuilt as for any
    // slot the dialog assigns. False for a slot or chip outside the tables.
    bool AssignSlot(int slot, int chip, int channel);
    // "Cancel": the saved opacity back (undoing a preview; the 9x family has none), dialog hidden.
    void CancelClick();
    // "Reset to default": default options in force at once, not saved.
    void ResetClick();

private:
    // The live block's opacity on the main window, on the NT family only.
    void RestoreOpacity();
    // The General page's notification choice into the state and, when it changed, the store.
    void KeepAlarmNotificationsChoice();
    // "OK" over the settings image: apply and save the working copy, refresh, re-place the window.
    void ApplyWorkingCopy();

    Monitor& m_monitor;
    core::OptionsHost& m_host;
    core::OptionsPresenter m_presenter;
};

} // namespace calventa::app
