#include "app/monitor.h"

namespace calventa::app {

CommandWord ParseCommandWord(const std::string& firstArgument)
{
    // Compared exactly: "Test" is a normal start.
    if (firstArgument == "test") {
        return CommandWord::Test;
    }
    if (firstArgument == "fancontrol") {
        return CommandWord::FanControl;
    }
    if (firstArgument == "debug") {
        return CommandWord::Debug;
    }
    if (firstArgument == "install") {
        return CommandWord::Install;
    }
    if (firstArgument == "uninstall") {
        return CommandWord::Uninstall;
    }
    return CommandWord::None;
}

CommandWord FirstCommandWord(int argc, const char* const* argv)
{
    if (argc < 2 || argv == nullptr || argv[1] == nullptr) {
        return CommandWord::None;
    }
    return ParseCommandWord(argv[1]);
}

Monitor::Monitor(platform::Platform& platform) : m_state(platform), m_hardware(m_state) {}

Monitor::~Monitor()
{
    Close();
}

void Monitor::AttachDisks(platform::DiskPlatform& disks, disks::DiskNotices& notices, disks::UserMessages& messages)
{
    m_disks = std::make_unique<disks::SmartDisks>(m_state, disks, notices, messages);
}

void Monitor::ApplyCommandWord(CommandWord word)
{
    m_state.Flags.TestMode = word == CommandWord::Test;
    m_state.Flags.FanControlMode = word == CommandWord::FanControl;
    m_state.Flags.DebugMode = word == CommandWord::Debug;
}

void Monitor::StartUp(const std::optional<std::string>& programDirectory)
{
    if (programDirectory) {
        m_state.ProgramPath = *programDirectory;
    } else {
        m_state.ReadProgramPath();
    }
    m_state.CheckProgramDirectory();
    m_state.SetDefaultSettings();
    m_state.Log().OpenLog(m_state.ProgramFiles(), core::kLogFileName,
                          m_state.Flags.DebugMode && m_state.UsesProgramDirectory());
    m_hardware.CreateBusMutexes();
    m_started = true;

    m_state.Log().WriteLog("Start SMART init");
    // The whole file is loaded only after the search (its slots name the chips found), but
    // the disks' start decides on the administrator notice now, from the user's choice.
    m_state.LoadAdminNoticeChoice();
    if (m_disks && m_disks->StartSmart(m_state.ProgramPath)) {
        m_state.Log().WriteLog("SMART init successful");
        m_disks->ScanDisks();
    }
    if (m_hardware.StartHardwareAccess()) {
        m_hardware.SearchChips([this] { UpdatePass(); });
    } else if (m_hardware.SearchKernelChips()) {
        // The kernel's monitors need no port access: a normal user still sees them.
        m_hardware.AssignKernelDefaults();
        UpdatePass();
    }
    m_state.LoadSettings();
    m_hardware.AssignKernelDefaults(); // slots settings.dat leaves without a chip
    core::ClearAlarmFlags(m_state.Settings);
    if (m_state.Flags.TestMode) {
        ApplyTestMode();
    }
    m_state.Log().CloseLog();
    BuildMainWindow();
    // The disk rows' first values; the disk timer brings the next ones.
    core::RecordShownValues(m_history, m_state, m_mainWindow, core::HistoryPass::Disks);
    ShowTray();
}

// Test mode points every chip slot at record 0 and lists two disks, so that the window
// shows a row for every enabled slot even where nothing was found.
void Monitor::ApplyTestMode()
{
    for (int slot = 0; slot < core::kSlotCount; ++slot) {
        if (core::KindOfSlot(slot) != core::SlotKind::Disk) {
            m_state.Settings.Slots[static_cast<size_t>(slot)].Chip = 0;
        }
    }
    m_state.Disks.DiskCount = 2;
    m_state.Settings.Slots[core::kSlotHd0].Enabled = 1;
    m_state.Settings.Slots[core::kSlotHd0 + 1].Enabled = 1;
}

void Monitor::UpdatePass()
{
    for (uint8_t chip = 0; chip < m_state.Chips.ChipCount; ++chip) {
        m_hardware.ReadChip(chip);
    }
    m_hardware.ApplyCorrections();
    m_hardware.UpdateFanControl();
    RefreshMainWindow();
    core::RecordShownValues(m_history, m_state, m_mainWindow, core::HistoryPass::Sensors);
    ShowTray();
    if (m_alarms.AlarmWindowShown) {
        CheckAlarms();
    }
}

void Monitor::DiskPass()
{
    ReadDiskTemperatures();
    RefreshMainWindow();
    core::RecordShownValues(m_history, m_state, m_mainWindow, core::HistoryPass::Disks);
    if (m_alarms.AlarmWindowShown) {
        CheckAlarms();
    }
}

void Monitor::ReadDiskTemperatures()
{
    if (m_disks && m_state.Disks.DiskCount > 0) {
        m_disks->ReadDiskTemperatures();
    }
}

void Monitor::BuildMainWindow()
{
    m_mainWindow.BuildMainWindow(m_state, m_alarms);
    if (m_view != nullptr) {
        m_view->MainWindowChanged(m_mainWindow, true);
    }
    if (m_alarms.NewAlarm) {
        ShowAlarmWindow();
    }
}

void Monitor::RefreshMainWindow()
{
    const bool newAlarm = m_mainWindow.RefreshMainWindow(m_state, m_alarms);
    if (m_view != nullptr) {
        m_view->MainWindowChanged(m_mainWindow, false);
    }
    if (newAlarm) {
        ShowAlarmWindow();
    }
}

void Monitor::ShowTray()
{
    m_tray = core::ShowTray(m_state);
    if (m_view != nullptr) {
        m_view->TrayChanged(m_tray);
    }
}

void Monitor::ShowAlarmWindow()
{
    m_alarms.AlarmWindowShown = true;
    CheckAlarms();
}

void Monitor::CheckAlarms()
{
    m_alarmWindow = core::CheckAlarms(m_state.Settings, m_state.Platform().facts.PrimaryScreen(),
                                      m_state.Platform().facts.DecimalSeparator());
    if (m_alarmWindow.Lines.empty()) {
        m_alarms.AlarmWindowShown = false;
    }
    NotifyAlarmWindow();
}

void Monitor::CloseAlarmWindow()
{
    m_alarms.AlarmWindowShown = false;
    NotifyAlarmWindow();
}

void Monitor::NotifyAlarmWindow()
{
    if (m_view != nullptr) {
        m_view->AlarmWindowChanged(m_alarmWindow, m_alarms.AlarmWindowShown);
    }
}

void Monitor::CloseQuery()
{
    if (m_started) {
        m_hardware.ReleaseFanControl();
    }
}

void Monitor::Close()
{
    if (!m_started) {
        return;
    }
    m_hardware.ReleaseFanControl();
    m_started = false;
    m_hardware.CloseBusMutexes();
    if (m_disks) {
        m_disks->StopSmart();
    }
}

} // namespace calventa::app
