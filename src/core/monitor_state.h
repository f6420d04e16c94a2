#pragma once

#include <memory>
#include <string>

#include "core/chip_table.h"
#include "core/disk_table.h"
#include "core/settings_block.h"
#include "core/startup_log.h"
#include "platform/platform.h"

namespace calventa::core {

// Flags from the command line's first word.
struct ModeFlags
{
    bool TestMode = false;
    bool FanControlMode = false;
    bool DebugMode = false;
};

inline constexpr const char* kSettingsFileName = "settings.dat";
inline constexpr const char* kLogFileName = "debug.txt";

// The process-wide state of the monitor: the settings block, the chip table, the fan
// duties, the mode flags and the program directory, with the platform it runs on. The
// monitor owns exactly one; every test builds its own.
class MonitorState
{
public:
    explicit MonitorState(platform::Platform& platform);

    platform::Platform& Platform() { return m_platform; }
    const platform::Platform& Platform() const { return m_platform; }
    StartupLog& Log() { return m_log; }

    // Full path of a file in the program directory.
    std::string ProgramFile(const std::string& name) const;

    void ReadProgramPath();
    // A process running as root keeps no file in a program directory that another user
    // could change: such a directory is not used at all (settings.dat is neither read nor
    // written, debug.txt not made) and ProgramDirectoryRefusal says why, in one line. An
    // accepted directory is kept open (its files are reached through it, whatever its path
    // names later) and ProgramPath becomes the path the platform resolved.
    void CheckProgramDirectory();
    bool UsesProgramDirectory() const { return ProgramDirectoryRefusal.empty(); }
    // The files of the program directory: in the directory CheckProgramDirectory opened, or
    // named by ProgramPath where none was opened (a state set up without that check).
    platform::Directory& ProgramFiles();
    // Defaults for the block, the main window width and the fan duties.
    void SetDefaultSettings();
    // settings.dat over the block: a short file replaces only what it holds, a long one
    // gives its first 640 bytes, a missing one (or a refused directory) changes nothing. A
    // read-only settings.dat is named in the log: the saves leave it alone.
    void LoadSettings();
    // Only the stored "Do not show me again" of the administrator notice, for the disks'
    // start, which runs before settings.dat is loaded. Saves asked for from then until
    // LoadSettings wait for it: written earlier they would replace the user's settings with
    // defaults. LoadSettings then saves the loaded block with the notice choices made since.
    void LoadAdminNoticeChoice();
    // The block into settings.dat, atomically; a failure is silent and keeps the old file,
    // as does a settings.dat the user may not write.
    // Nothing is written into a refused program directory.
    void SaveSettings();

    // The options dialog's working copy: filled when the dialog opens, copied back on "OK".
    void CopyToTempParam();
    // Takes the two notice flags from the live block first, so that a "Do not show me again"
    // given while the dialog was open survives the copy.
    void CopyFromTempParam();

    SettingsBlock Settings{};
    SettingsBlock TempParam{};
    ChipTable Chips{};
    DiskTable Disks{};
    FanDutyTable FanDuty{};
    ModeFlags Flags{};
    std::string ProgramPath;
    std::string ProgramDirectoryRefusal;
    int MainWindowWidth = kDefaultMainWindowWidth;
    // Whether the desktop is told when an alarm starts: the program store's choice, read at
    // start-up; a choice the store refused to keep still holds until the program ends.
    bool AlarmNotifications = true;

private:
    platform::Platform& m_platform;
    std::unique_ptr<platform::Directory> m_programDirectory;
    std::unique_ptr<platform::Directory> m_byPath;
    StartupLog m_log;
    bool m_deferSaves = false;
    bool m_saveDeferred = false;
};

} // namespace calventa::core
