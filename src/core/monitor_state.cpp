#include "core/monitor_state.h"

#include "core/program_store_access.h"
#include "platform/directory_by_path.h"

namespace calventa::core {

MonitorState::MonitorState(platform::Platform& platform)
    : m_platform(platform), m_log(platform.files, platform.clock, platform.facts)
{
}

std::string MonitorState::ProgramFile(const std::string& name) const
{
    return m_platform.facts.JoinPath(ProgramPath, name);
}

void MonitorState::ReadProgramPath()
{
    ProgramPath = core::ReadProgramPath(m_platform.store, m_platform.facts);
}

void MonitorState::CheckProgramDirectory()
{
    std::string why;
    m_programDirectory = m_platform.files.OpenProgramDirectory(ProgramPath, why);
    if (m_programDirectory) {
        ProgramPath = m_programDirectory->Path();
        ProgramDirectoryRefusal.clear();
    } else {
        ProgramDirectoryRefusal = "Program directory " + ProgramPath + " not used: " + why;
    }
}

platform::Directory& MonitorState::ProgramFiles()
{
    if (m_programDirectory) {
        return *m_programDirectory;
    }
    if (!m_byPath || m_byPath->Path() != ProgramPath) {
        const platform::SystemFacts& facts = m_platform.facts;
        m_byPath = std::make_unique<platform::DirectoryByPath>(
            m_platform.files, ProgramPath,
            [&facts](const std::string& directory, const std::string& name) { return facts.JoinPath(directory, name); });
    }
    return *m_byPath;
}

void MonitorState::SetDefaultSettings()
{
    MainWindowWidth = kDefaultMainWindowWidth;
    FanDuty.SetAll(100);
    core::SetDefaultSettings(Settings, m_platform.facts.PrimaryScreen(), MainWindowWidth);
}

void MonitorState::LoadSettings()
{
    // A notice answered during the start-up wanted its choice saved while the block still
    // lacked the file's settings: saved now, over the loaded block.
    const bool deferredSave = m_saveDeferred;
    const uint8_t showAdminNotice = Settings.ShowAdminNotice;
    const uint8_t showFanWarning = Settings.ShowFanWarning;
    m_deferSaves = false;
    m_saveDeferred = false;
    if (!UsesProgramDirectory()) {
        return;
    }
    // Read-only access is enough: a settings.dat the user made read-only still loads.
    const std::string path = ProgramFile(kSettingsFileName);
    const auto bytes = ProgramFiles().ReadFile(kSettingsFileName, kSettingsImageSize);
    if (bytes) {
        DecodeSettings(*bytes, Settings);
    }
    // Such a file is never replaced (the user froze the settings); the saves after start-up
    // have no log to say so, hence the line now.
    if (ProgramFiles().IsReadOnly(kSettingsFileName)) {
        m_log.WriteLog(path + " is read-only: changed settings will not be saved");
    }
    if (deferredSave) {
        Settings.ShowAdminNotice = showAdminNotice;
        Settings.ShowFanWarning = showFanWarning;
        SaveSettings();
    }
}

void MonitorState::LoadAdminNoticeChoice()
{
    if (!UsesProgramDirectory()) {
        return;
    }
    m_deferSaves = true;
    const auto bytes = ProgramFiles().ReadFile(kSettingsFileName, kSettingsImageSize);
    if (bytes) {
        SettingsBlock stored = Settings;
        DecodeSettings(*bytes, stored);
        Settings.ShowAdminNotice = stored.ShowAdminNotice;
    }
}

void MonitorState::SaveSettings()
{
    if (!UsesProgramDirectory()) {
        return;
    }
    if (m_deferSaves) {
        m_saveDeferred = true; // the block holds defaults, not the user's settings, yet
        return;
    }
    const SettingsImage image = EncodeSettings(Settings);
    ProgramFiles().ReplaceFile(kSettingsFileName, image);
}

void MonitorState::CopyToTempParam()
{
    TempParam = Settings;
}

void MonitorState::CopyFromTempParam()
{
    TempParam.ShowAdminNotice = Settings.ShowAdminNotice;
    TempParam.ShowFanWarning = Settings.ShowFanWarning;
    Settings = TempParam;
}

} // namespace calventa::core
