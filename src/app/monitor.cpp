#include "app/monitor.h"

#include <algorithm>

#include "core/numeric.h"
#include "core/program_store_access.h"

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
    const bool portAccess = m_hardware.StartHardwareAccess();
    if (portAccess) {
        m_hardware.SearchChips([this] { UpdatePass(); });
    } else if (m_hardware.SearchKernelChips()) {
        // The kernel's monitors need no port access: a normal user still sees them.
        m_hardware.AssignKernelDefaults();
        UpdatePass();
    }
    m_state.LoadSettings();
    m_state.AlarmNotifications = core::AlarmNotificationsOn(m_state.Platform().store);
    m_hardware.AssignKernelDefaults(); // slots settings.dat leaves without a chip
    ListKernelDrives();
    core::ClearAlarmFlags(m_state.Settings);
    if (m_state.Flags.TestMode) {
        ApplyTestMode();
    }
    m_state.Log().CloseLog();
    GatherFindings(portAccess);
    BuildMainWindow();
    // The disk rows' first values; the disk timer brings the next ones.
    core::RecordShownValues(m_history, m_state, m_mainWindow, core::HistoryPass::Disks);
    m_allSensors.Update(m_state);
    ShowTray();
}

void Monitor::GatherFindings(bool portAccess)
{
    m_findings = core::SearchFindings{};
    const core::ChipTable& chips = m_state.Chips;
    bool portChip = false;
    for (int chip = 0; chip < chips.ChipCount; ++chip) {
        const core::ChipRecord* record = chips.At(chip);
        if (record != nullptr && !record->IsKernelDevice()) {
            portChip = true;
            if (m_findings.IdentifiedChip.empty()) {
                m_findings.IdentifiedChip = record->Name;
            }
        }
    }
    m_findings.Ports = !portAccess ? core::PortSearchOutcome::Refused
                       : portChip  ? core::PortSearchOutcome::Found
                                   : core::PortSearchOutcome::NothingAnswered;
    m_findings.PortNotes = m_hardware.AccessNotes();
    m_findings.KernelDevices = static_cast<int>(m_hardware.KernelChipCount());
    if (m_disks) {
        m_findings.Disks = core::DiskSearchOutcome::NoDrive;
        if (m_state.Disks.DiskCount > 0) {
            m_findings.Disks = core::DiskSearchOutcome::Found;
        } else if (const auto detection = m_disks->LastServiceDetection()) {
            switch (*detection) {
            case disks::ServiceDetection::NoService:
                m_findings.Disks = core::DiskSearchOutcome::ServiceNotInstalled;
                break;
            case disks::ServiceDetection::NotRunning:
                m_findings.Disks = core::DiskSearchOutcome::ServiceNotRunning;
                break;
            case disks::ServiceDetection::NoServiceManager:
            case disks::ServiceDetection::StatusQueryFailed:
                m_findings.Disks = core::DiskSearchOutcome::ServiceUnknown;
                break;
            case disks::ServiceDetection::Detected:
                break;
            }
        }
    }
    // Test mode shows rows on any machine: nothing to explain there.
    m_nothingFound = m_state.Flags.TestMode ? core::NothingFoundReport{} : core::BuildNothingFoundReport(m_findings);
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
    m_allSensors.Update(m_state);
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
    m_allSensors.Update(m_state);
    if (m_alarms.AlarmWindowShown) {
        CheckAlarms();
    }
}

void Monitor::ReadDiskTemperatures()
{
    if (m_disks && m_state.Disks.DiskCount > 0) {
        m_disks->ReadDiskTemperatures();
    }
    ListKernelDrives();
}

// A drive only the kernel reports on (an nvme or drivetemp device whose drive the disk pass
// does not read: a user without the disk service) is listed as a drive, as the service would
// list it, after the drives the disk pass found; its temperature is the device's last reading.
// The service's own table replaces the list on every read, so in that mode nothing is added.
void Monitor::ListKernelDrives()
{
    if (!m_disks || m_disks->AccessMode() == disks::DiskAccessMode::DiskService) {
        return;
    }
    core::DiskTable& table = m_state.Disks;
    for (const hardware::HardwareEngine::KernelDrive& drive : m_hardware.KernelDrives()) {
        if (drive.Number < 0 || drive.Number >= core::kNvmeDriveFlag) {
            continue;
        }
        const auto number = static_cast<uint8_t>(drive.Nvme ? core::kNvmeDriveFlag | drive.Number : drive.Number);
        int entry = -1;
        for (int n = 0; table.Listed(n); ++n) {
            if (table.DriveNumbers[static_cast<size_t>(n)] == number) {
                entry = n;
            }
        }
        if (entry >= 0 && table.Source[static_cast<size_t>(entry)] != core::DiskTemperatureSource::KernelHwmon) {
            continue; // the disk pass reads this drive itself
        }
        if (entry < 0) {
            if (table.DiskCount >= core::kMaxDisks) {
                return;
            }
            entry = table.DiskCount++;
            const auto n = static_cast<size_t>(entry);
            table.DriveCount = std::max(table.DriveCount, table.DiskCount);
            table.DriveNumbers[n] = number;
            table.Model[n] = drive.Nvme ? "nvme" + std::to_string(drive.Number)
                                        : "sd" + std::string(1, static_cast<char>('a' + drive.Number % 26));
            table.Serial[n].clear();
            table.Firmware[n].clear();
            table.Temperature[n] = 0;
            table.Source[n] = core::DiskTemperatureSource::KernelHwmon;
        }
        const auto n = static_cast<size_t>(entry);
        if (m_state.Chips.HasReading(core::ChannelKind::Temperature, drive.Chip, drive.Channel)) {
            const float correction = m_state.Settings.Slots[core::kSlotHd0 + n].Correction;
            table.Temperature[n] =
                core::SaturatingAdd(m_state.Chips.Temp(drive.Chip, drive.Channel), core::CeilToInt32(correction));
            table.ReadState[n] = core::DiskReadState::Current;
        }
    }
}

void Monitor::BuildMainWindow()
{
    m_mainWindow.SetNothingFound(m_nothingFound);
    m_mainWindow.BuildMainWindow(m_state, m_alarms);
    if (m_view != nullptr) {
        m_view->MainWindowChanged(m_mainWindow, true);
    }
    LookForAlarmStarts();
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
    LookForAlarmStarts();
    if (newAlarm) {
        ShowAlarmWindow();
    }
}

void Monitor::LookForAlarmStarts()
{
    const std::optional<core::AlarmNotice> notice =
        m_alarmStarts.Look(m_state.Settings, m_state.Platform().facts.DecimalSeparator());
    if (notice && m_view != nullptr) {
        m_view->AlarmsStarted(*notice);
    }
}

void Monitor::ShowTray()
{
    m_tray = core::ShowTray(m_state, m_nothingFound);
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
