#include "app/monitor.h"

#include <gtest/gtest.h>

#include "../disks/disk_fakes.h"
#include "core/notice_presenter.h"
#include "monitor_on_board.h"

namespace calventa::app {
namespace {

using namespace core;

// The on-board monitor with its start-up log at hand.
class MonitorOnBoard : public testing::MonitorOnBoard
{
public:
    using testing::MonitorOnBoard::MonitorOnBoard;
    std::string DebugLog() const { return files.Text("/home/user/.config/calventa/debug.txt"); }
};

constexpr const char* kWinbondBoard =
    R"({"pci": {}, "isa": {"model": "W83627HF", "registers": {"0x28": 135}, "banks": {"1": {"0x50": 44}}},
        "smbus": [{"address": "0x48", "model": "LM75", "registers": {"0x00": 25}}]})";

TEST(CommandWord, OnlyTheExactLowerCaseWordsCount)
{
    EXPECT_EQ(ParseCommandWord("test"), CommandWord::Test);
    EXPECT_EQ(ParseCommandWord("fancontrol"), CommandWord::FanControl);
    EXPECT_EQ(ParseCommandWord("debug"), CommandWord::Debug);
    EXPECT_EQ(ParseCommandWord("install"), CommandWord::Install);
    EXPECT_EQ(ParseCommandWord("uninstall"), CommandWord::Uninstall);
    EXPECT_EQ(ParseCommandWord("Test"), CommandWord::None);
    EXPECT_EQ(ParseCommandWord(""), CommandWord::None);
    EXPECT_EQ(ParseCommandWord("debug test"), CommandWord::None);
}

TEST(MonitorStartUp, SearchesReadsAndKeepsTheDefaultAssignmentsWithoutASettingsFile)
{
    MonitorOnBoard m(kWinbondBoard);
    m.monitor->StartUp();
    const MonitorState& state = m.monitor->State();
    EXPECT_EQ(state.ProgramPath, "/home/user/.config/calventa");
    ASSERT_EQ(state.Chips.ChipCount, 2);
    EXPECT_EQ(state.Chips.Temp(0, 2), 44); // read by the search's own pass
    EXPECT_EQ(state.Chips.Fan(0, 1), 10000);
    EXPECT_EQ(state.Chips.Temp(1, 1), 43);
    EXPECT_EQ(state.Settings.Slots[kSlotCpu].Chip, 1);
    EXPECT_EQ(state.Settings.SensorInterval, 5);
    EXPECT_TRUE(m.files.Text("/home/user/.config/calventa/debug.txt").empty()); // no log without "debug"
    EXPECT_FALSE(m.files.Files.contains("/home/user/.config/calventa/debug.txt"));
}

TEST(MonitorStartUp, SettingsFileReplacesTheSearchAssignmentsAndLatchesAreCleared)
{
    MonitorOnBoard m(kWinbondBoard);
    SettingsBlock saved;
    SetDefaultSettings(saved, {1024, 768}, kDefaultMainWindowWidth);
    saved.Slots[kSlotCpu].Chip = 0;
    saved.Slots[kSlotCpu].Channel = 3;
    saved.Slots[kSlotCpu].AlarmActive = 1;
    saved.SensorInterval = 9;
    const SettingsImage image = EncodeSettings(saved);
    m.files.Files["/sim/settings.dat"] = {image.begin(), image.end()};

    m.monitor->StartUp(std::string("/sim"));
    const MonitorState& state = m.monitor->State();
    EXPECT_EQ(state.Settings.Slots[kSlotCpu].Chip, 0);
    EXPECT_EQ(state.Settings.Slots[kSlotCpu].Channel, 3);
    EXPECT_EQ(state.Settings.Slots[kSlotCpu].AlarmActive, 0);
    EXPECT_EQ(state.Settings.SensorInterval, 9);
    EXPECT_EQ(m.files.Replacements, 0); // start-up never writes settings.dat
}

// Root with a program directory another user can write (the platform refuses it): the start
// runs on, on the defaults, reading and writing nothing there, and says why.
TEST(MonitorStartUp, ARefusedProgramDirectoryIsNeitherReadNorWritten)
{
    MonitorOnBoard m(kWinbondBoard);
    const std::string dir = "/home/user/.config/calventa";
    m.files.Untrusted.insert(dir);
    SettingsBlock saved;
    SetDefaultSettings(saved, {1024, 768}, kDefaultMainWindowWidth);
    saved.SensorInterval = 9;
    const SettingsImage image = EncodeSettings(saved);
    m.files.Files[dir + "/settings.dat"] = {image.begin(), image.end()};
    m.monitor->ApplyCommandWord(CommandWord::Debug);

    m.monitor->StartUp();
    MonitorState& state = m.monitor->State();
    EXPECT_FALSE(state.UsesProgramDirectory());
    EXPECT_EQ(state.ProgramDirectoryRefusal,
              "Program directory " + dir + " not used: " + dir + " is writable by group or others (mode 0777)");
    EXPECT_EQ(state.Settings.SensorInterval, 5); // the file was not read
    EXPECT_EQ(state.Chips.ChipCount, 2);         // the monitor itself runs
    state.SaveSettings();
    EXPECT_EQ(m.files.Touched, std::vector<std::string>{}); // no debug.txt, no settings.dat
    EXPECT_EQ(m.files.Replacements, 0);
}

TEST(MonitorStartUp, DebugLogOfAMachineWithoutChipsOrPortAccess)
{
    MonitorOnBoard m(R"({"port_access": false})");
    m.monitor->ApplyCommandWord(CommandWord::Debug);
    m.monitor->StartUp();
    const std::string log = m.DebugLog();
    EXPECT_EQ(log.rfind("08.12.2004   14:05:33     Log opened\r\n", 0), 0u);
    EXPECT_NE(log.find("     Start SMART init\r\n"), std::string::npos);
    EXPECT_NE(log.find("     Sensors I/O init failed!\r\n"), std::string::npos);
    EXPECT_EQ(log.find("Search start..."), std::string::npos);
    EXPECT_TRUE(log.ends_with("     Log closed\r\n"));
}

// A user who may not open the drives, without the disk service: the start-up's disk step
// raises the administrator notice unless the stored settings said "Do not show me again".
int AdminNoticesAtStartUp(std::optional<uint8_t> storedShowAdminNotice)
{
    const std::string board = R"({"disk_access": "denied", "disks": [{"drive": 0}]})";
    sim::SimDisks drives(disks::testing::Board(board));
    disks::testing::FakeServiceManager services;
    services.Installed = false;
    disks::testing::RecordingNotices notices;
    disks::testing::RecordingMessages messages;
    platform::DiskPlatform diskPlatform{drives, services};
    MonitorOnBoard m(board); // after the disks: the monitor closes them when it goes
    if (storedShowAdminNotice) {
        SettingsBlock stored;
        SetDefaultSettings(stored, {1920, 1080}, kDefaultMainWindowWidth);
        stored.ShowAdminNotice = *storedShowAdminNotice;
        const SettingsImage image = EncodeSettings(stored);
        m.files.Files["/sim/settings.dat"] = std::vector<uint8_t>(image.begin(), image.end());
    }
    m.monitor->AttachDisks(diskPlatform, notices, messages);
    m.monitor->StartUp(std::string("/sim"));
    EXPECT_EQ(m.monitor->State().Settings.ShowAdminNotice, storedShowAdminNotice.value_or(1));
    return notices.AdminNotices;
}

TEST(MonitorStartUp, TheAdministratorNoticeFollowsTheStoredChoice)
{
    EXPECT_EQ(AdminNoticesAtStartUp(std::nullopt), 1); // no settings.dat: the default shows it
    EXPECT_EQ(AdminNoticesAtStartUp(1), 1);
    EXPECT_EQ(AdminNoticesAtStartUp(0), 0); // "Do not show me again" was ticked
}

// "Do not show me again" ticked in the start-up's notice is saved at once, but the block
// then still holds defaults: the file must keep the user's settings and gain only the tick.
TEST(MonitorStartUp, TheStartUpNoticesChoiceIsSavedOverTheUsersSettingsNotOverDefaults)
{
    const std::string board = R"({"disk_access": "denied", "disks": [{"drive": 0}]})";
    sim::SimDisks drives(disks::testing::Board(board));
    disks::testing::FakeServiceManager services;
    services.Installed = false;
    platform::DiskPlatform diskPlatform{drives, services};
    MonitorOnBoard m(board);
    SettingsBlock stored;
    SetDefaultSettings(stored, {1920, 1080}, kDefaultMainWindowWidth);
    stored.SensorInterval = 42;
    stored.Slots[kSlotCpu].MaxLimit = 61;
    const SettingsImage image = EncodeSettings(stored);
    m.files.Files["/sim/settings.dat"] = std::vector<uint8_t>(image.begin(), image.end());

    // The notice answered with the box ticked, as NoticeOkClick does.
    class TickingNotices : public disks::DiskNotices
    {
    public:
        explicit TickingNotices(MonitorState& state) : m_state(state) {}
        void ShowAdminNotice() override { NoticeOkClick(m_state, NoticeKind::AdminNotice, true); }

    private:
        MonitorState& m_state;
    } notices(m.monitor->State());
    disks::testing::RecordingMessages messages;
    m.monitor->AttachDisks(diskPlatform, notices, messages);
    m.monitor->StartUp(std::string("/sim"));

    SettingsBlock saved;
    DecodeSettings(m.files.Files["/sim/settings.dat"], saved);
    EXPECT_EQ(saved.ShowAdminNotice, 0);
    EXPECT_EQ(saved.SensorInterval, 42);
    EXPECT_EQ(saved.Slots[kSlotCpu].MaxLimit, 61);
    EXPECT_EQ(m.monitor->State().Settings.ShowAdminNotice, 0);
    EXPECT_EQ(m.monitor->State().Settings.SensorInterval, 42);
}

TEST(MonitorStartUp, TestModePointsEveryChipSlotAtRecordZero)
{
    MonitorOnBoard m("{}");
    m.monitor->ApplyCommandWord(CommandWord::Test);
    m.monitor->StartUp();
    const MonitorState& state = m.monitor->State();
    EXPECT_EQ(state.Chips.ChipCount, 0);
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const bool disk = KindOfSlot(slot) == SlotKind::Disk;
        EXPECT_EQ(state.Settings.Slots[static_cast<size_t>(slot)].Chip, disk ? slot - kSlotHd0 : 0) << slot;
    }
    EXPECT_EQ(state.Settings.Slots[kSlotHd0].Enabled, 1);
    EXPECT_EQ(state.Settings.Slots[kSlotHd0 + 1].Enabled, 1);
    m.monitor->UpdatePass(); // reads nothing, and the slots on the empty record 0 stay inside the table
    EXPECT_EQ(state.Chips.Temp(0, 1), 0);
}

TEST(MonitorUpdatePass, ReadsEveryChipOncePerPass)
{
    MonitorOnBoard m(kWinbondBoard);
    m.monitor->StartUp();
    m.sim->IsaChip()->Poke(0x50, 50, 1);
    m.sim->ResetCounters();
    m.monitor->UpdatePass();
    EXPECT_EQ(m.monitor->State().Chips.Temp(0, 2), 50);
    EXPECT_GT(m.sim->Counters().smbusTransactions, 0u);
    EXPECT_EQ(m.sim->MutexStatsFor(platform::kIsaMutexName).depth, 0);
}

} // namespace
} // namespace calventa::app
