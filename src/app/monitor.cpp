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

Monitor::Monitor(platform::Platform& platform) : m_state(platform), m_hardware(m_state) {}

Monitor::~Monitor()
{
    Shutdown();
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
    m_state.SetDefaultSettings();
    m_state.Log().OpenLog(m_state.ProgramFile(core::kLogFileName), m_state.Flags.DebugMode);
    m_hardware.CreateBusMutexes();
    m_started = true;

    m_state.Log().WriteLog("Start SMART init");
    if (m_hardware.StartHardwareAccess()) {
        m_hardware.SearchChips([this] { UpdatePass(); });
    }
    m_state.LoadSettings();
    core::ClearAlarmFlags(m_state.Settings);
    if (m_state.Flags.TestMode) {
        ApplyTestMode();
    }
    m_state.Log().CloseLog();
}

// Test mode points every chip slot at record 0 so that the window shows a row for every
// enabled slot even where no chip was found.
void Monitor::ApplyTestMode()
{
    for (int slot = 0; slot < core::kSlotCount; ++slot) {
        if (core::KindOfSlot(slot) != core::SlotKind::Disk) {
            m_state.Settings.Slots[static_cast<size_t>(slot)].Chip = 0;
        }
    }
    m_state.Settings.Slots[core::kSlotHd0].Enabled = 1;
    m_state.Settings.Slots[core::kSlotHd0 + 1].Enabled = 1;
}

void Monitor::UpdatePass()
{
    for (uint8_t chip = 0; chip < m_state.Chips.ChipCount; ++chip) {
        m_hardware.ReadChip(chip);
    }
    m_hardware.ApplyCorrections();
}

void Monitor::Shutdown()
{
    if (!m_started) {
        return;
    }
    m_started = false;
    m_hardware.CloseBusMutexes();
}

} // namespace calventa::app
