// SmartDisks on simulated boards: mode choice, scans and read passes in the three access
// modes, corrections, and the disk service's detection and requests.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <random>

#include "disks/disk_fakes.h"

namespace calventa::disks {
namespace {

using testing::DiskBench;
using Strings = std::vector<std::string>;

constexpr const char* kTwoDisksAt0And2 = R"({"disks": [
    {"drive": 0, "model": "SIM DISK 1", "serial": "SN0001", "firmware": "1.0", "temperature": 40, "attribute_entry": 3},
    {"drive": 2, "model": "SIM DISK 3", "serial": "SN0003", "firmware": "2.1", "temperature": 35, "attribute_entry": 35}
]})";

// ---- direct access ----

TEST(DirectAccess, DrivesZeroAndTwoBecomeEntriesZeroAndOne)
{
    DiskBench bench(kTwoDisksAt0And2);
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    EXPECT_EQ(bench.smart.AccessMode(), DiskAccessMode::Direct);
    EXPECT_EQ(bench.drives.OpenHandles(), 0); // the probe of drive 0 is closed again
    ASSERT_TRUE(bench.smart.ScanDisks());

    const core::DiskTable& table = bench.state.Disks;
    EXPECT_EQ(table.DiskCount, 2);
    EXPECT_EQ(table.DriveCount, 2);
    EXPECT_EQ(table.DriveNumbers[0], 0);
    EXPECT_EQ(table.DriveNumbers[1], 2);
    EXPECT_EQ(table.Model[0], "SIM DISK 1");
    EXPECT_EQ(table.Serial[1], "SN0003");
    EXPECT_EQ(table.Firmware[1], "2.1");
    EXPECT_EQ(table.Temperature[0], 40);
    EXPECT_EQ(table.Temperature[1], 35); // attribute 194 in entry 35
    EXPECT_EQ(bench.LogMessages(), Strings{"Direct access allowed"});
    EXPECT_EQ(bench.drives.OpenHandles(), 2);

    // Each listed drive is read through the handle kept for it by the scan.
    std::map<int, int> handleOfDrive;
    for (const sim::SimDiskCommand& c : bench.drives.Commands()) {
        handleOfDrive[c.drive] = c.handle;
    }
    bench.drives.ClearCommands();
    bench.drives.Disk(2)->temperature = 37;
    ASSERT_TRUE(bench.smart.ReadDiskTemperatures());
    EXPECT_EQ(table.Temperature[1], 37);
    // Each drive is asked its power mode, then read.
    ASSERT_EQ(bench.drives.Commands().size(), 4u);
    for (const sim::SimDiskCommand& c : bench.drives.Commands()) {
        EXPECT_EQ(c.handle, handleOfDrive[c.drive]);
    }
    EXPECT_EQ(bench.drives.Commands()[0].command.registers.command, 0xE5);
    EXPECT_EQ(bench.drives.Commands()[1].command.registers.features, 0xD0);
    EXPECT_EQ(bench.drives.Commands()[1].drive, 0);
    EXPECT_EQ(bench.drives.Commands()[3].drive, 2);
    EXPECT_EQ(table.DiskCount, 2);

    bench.smart.StopSmart();
    EXPECT_EQ(bench.drives.OpenHandles(), 0);
}

TEST(DirectAccess, DrivesThatFailAStepAreNotListedAndTheirHandlesClosed)
{
    DiskBench bench(R"({"disks": [
        {"drive": 0, "model": "NO SMART", "smart": false},
        {"drive": 1, "model": "NO TEMPERATURE", "attribute_entry": -1},
        {"drive": 4, "model": "GOOD", "temperature": 30}]})");
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    ASSERT_TRUE(bench.smart.ScanDisks());
    const core::DiskTable& table = bench.state.Disks;
    EXPECT_EQ(table.DriveCount, 1);
    EXPECT_EQ(table.DriveNumbers[0], 4);
    EXPECT_EQ(table.Model[0], "GOOD");
    EXPECT_EQ(bench.drives.OpenHandles(), 1);
}

TEST(DirectAccess, AFailedDiskLeavesItsStringsForTheNextListedDisk)
{
    DiskBench bench(R"({"disks": [
        {"drive": 0, "model": "LISTED", "temperature": 30},
        {"drive": 1, "model": "NO TEMPERATURE", "serial": "SERIAL-OF-1", "attribute_entry": -1}]})");
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    ASSERT_TRUE(bench.smart.ScanDisks());
    EXPECT_EQ(bench.state.Disks.DiskCount, 1);
    EXPECT_EQ(bench.state.Disks.Model[1], "NO TEMPERATURE");
    EXPECT_EQ(bench.state.Disks.Serial[1], "SERIAL-OF-1");
}

// Drives that carry their temperature elsewhere than attribute 194.
constexpr const char* kFourTemperatureSources = R"({"disks": [
    {"drive": 0, "model": "WITH 194", "temperature": 40, "attribute_entry": 2, "sct_temperature": 50},
    {"drive": 1, "model": "ONLY 190", "attribute_entry": -1, "airflow_temperature": 31},
    {"drive": 2, "model": "ONLY SCT", "attribute_entry": -1, "sct_temperature": 44},
    {"drive": 3, "model": "NO READING", "attribute_entry": -1}]})";

TEST(TemperatureSources, AttributeOneNinetyThenSctStatusListDrivesWithoutOneNinetyFour)
{
    DiskBench bench(kFourTemperatureSources);
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    ASSERT_TRUE(bench.smart.ScanDisks());
    const core::DiskTable& table = bench.state.Disks;
    ASSERT_EQ(table.DriveCount, 3);
    EXPECT_EQ(table.Model[0], "WITH 194");
    EXPECT_EQ(table.Temperature[0], 40);
    EXPECT_EQ(table.Source[0], core::DiskTemperatureSource::Attribute194);
    EXPECT_EQ(table.Model[1], "ONLY 190");
    EXPECT_EQ(table.Temperature[1], 31);
    EXPECT_EQ(table.Source[1], core::DiskTemperatureSource::Attribute190);
    EXPECT_EQ(table.Model[2], "ONLY SCT");
    EXPECT_EQ(table.Temperature[2], 44);
    EXPECT_EQ(table.Source[2], core::DiskTemperatureSource::SctStatus);

    bench.drives.ClearCommands();
    bench.drives.Disk(1)->airflowTemperature = 33;
    bench.drives.Disk(2)->sctTemperature = 46;
    ASSERT_TRUE(bench.smart.ReadDiskTemperatures());
    EXPECT_EQ(table.Temperature[1], 33);
    EXPECT_EQ(table.Temperature[2], 46);
}

TEST(TemperatureSources, ADriveWithOneNinetyFourIsSentOnlyTheCommandsItAlwaysWas)
{
    DiskBench bench(kFourTemperatureSources);
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    ASSERT_TRUE(bench.smart.ScanDisks());
    bench.drives.ClearCommands();
    ASSERT_TRUE(bench.smart.ReadDiskTemperatures());
    std::map<int, std::vector<uint8_t>> features;
    for (const sim::SimDiskCommand& c : bench.drives.Commands()) {
        if (c.command.registers.command == 0xB0) { // the power-mode checks aside
            features[c.drive].push_back(c.command.registers.features);
        }
    }
    EXPECT_EQ(features[0], (std::vector<uint8_t>{0xD0}));       // 194: read data alone, SCT unused
    EXPECT_EQ(features[1], (std::vector<uint8_t>{0xD0}));       // 190 comes with the same page
    EXPECT_EQ(features[2], (std::vector<uint8_t>{0xD0, 0xD5})); // then the SCT status log
    EXPECT_EQ(features.count(3), 0u);                           // not listed, not read
}

TEST(TemperatureSources, AnSctStatusWithoutAReadingKeepsThePreviousValue)
{
    DiskBench bench(kFourTemperatureSources);
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    ASSERT_TRUE(bench.smart.ScanDisks());
    bench.drives.Disk(2)->sctTemperature = 0x80; // "no reading"
    bench.smart.ReadDiskTemperatures();
    EXPECT_EQ(bench.state.Disks.Temperature[2], 44);
}

// ---- NVMe controllers ----

constexpr const char* kTwoAtaAndNvme = R"({"disks": [
    {"drive": 0, "model": "SIM DISK 1", "temperature": 40},
    {"drive": 1, "model": "SIM DISK 2", "attribute_entry": -1, "airflow_temperature": 31},
    {"kind": "nvme", "drive": 0, "model": "SIM NVME SSD", "serial": "NVME0001", "firmware": "3B2QGXA7",
     "temperature": 38}]})";

TEST(NvmeControllers, AnNvmeDriveFollowsTheAtaDrives)
{
    DiskBench bench(kTwoAtaAndNvme);
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    ASSERT_TRUE(bench.smart.ScanDisks());
    const core::DiskTable& table = bench.state.Disks;
    ASSERT_EQ(table.DriveCount, 3);
    EXPECT_EQ(table.DiskCount, 3);
    EXPECT_EQ(table.Model[2], "SIM NVME SSD");
    EXPECT_EQ(table.Serial[2], "NVME0001");
    EXPECT_EQ(table.Firmware[2], "3B2QGXA7");
    EXPECT_EQ(table.Temperature[2], 38);
    EXPECT_EQ(table.Source[2], core::DiskTemperatureSource::NvmeComposite);
    EXPECT_TRUE(table.IsNvme(2));
    EXPECT_TRUE(table.ListsNvmeController(0));
    EXPECT_TRUE(table.ListsDrive(0)); // the ATA drive 0 is a different disk
    EXPECT_TRUE(bench.smart.Reader().NvmeControllerOpen(0));

    bench.drives.ClearCommands();
    bench.drives.NvmeDisk(0)->temperature = 41;
    bench.state.Settings.Slots[core::kSlotHd0 + 2].Correction = 1.5f;
    ASSERT_TRUE(bench.smart.ReadDiskTemperatures());
    EXPECT_EQ(table.Temperature[2], 43);
    // Its power state, then the log page; no second Identify.
    ASSERT_EQ(bench.drives.NvmeCommands().size(), 2u);
    EXPECT_EQ(bench.drives.NvmeCommands()[0].command.opcode, 0x0A);
    EXPECT_EQ(bench.drives.NvmeCommands()[1].command.opcode, 0x02);

    bench.smart.StopSmart();
    EXPECT_EQ(bench.drives.OpenHandles(), 0);
}

TEST(NvmeControllers, AControllerThatStopsAnsweringKeepsItsLastValue)
{
    DiskBench bench(kTwoAtaAndNvme);
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    ASSERT_TRUE(bench.smart.ScanDisks());
    bench.drives.NvmeDisk(0)->smart = false;
    bench.drives.Disk(0)->temperature = 42;
    EXPECT_TRUE(bench.smart.ReadDiskTemperatures());
    EXPECT_EQ(bench.state.Disks.Temperature[0], 42);
    EXPECT_EQ(bench.state.Disks.Temperature[2], 38);
}

TEST(NvmeControllers, NoReadingMeansNotListed)
{
    DiskBench bench(R"({"disks": [{"kind": "nvme", "drive": 0, "temperature": -273}]})");
    ASSERT_TRUE(bench.smart.StartSmart("/prog")); // Kelvin 0: the controller has no reading
    EXPECT_FALSE(bench.smart.ScanDisks());
    EXPECT_EQ(bench.drives.OpenHandles(), 0);
}

TEST(NvmeControllers, AMachineWithNvmeDrivesOnlyReadsThemDirectly)
{
    DiskBench bench(R"({"disks": [{"kind": "nvme", "drive": 0, "model": "ONLY NVME", "temperature": 45},
                                  {"kind": "nvme", "drive": 2, "model": "SECOND", "temperature": 50}]})");
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    EXPECT_EQ(bench.smart.AccessMode(), DiskAccessMode::Direct);
    EXPECT_EQ(bench.LogMessages(), Strings{"Direct access allowed"});
    ASSERT_TRUE(bench.smart.ScanDisks());
    EXPECT_EQ(bench.state.Disks.DriveCount, 2);
    EXPECT_EQ(bench.state.Disks.DriveNumbers[1], core::kNvmeDriveFlag | 2);
    EXPECT_EQ(bench.state.Disks.Temperature[1], 50);
}

TEST(NvmeControllers, TheTableEndsAtEightEntries)
{
    std::string board = R"({"disks": [)";
    for (int i = 0; i < 8; ++i) {
        board += std::string(i ? "," : "") + R"({"drive": )" + std::to_string(i) + R"(, "temperature": 30})";
    }
    board += "]}";
    DiskBench bench(board);
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    ASSERT_TRUE(bench.smart.ScanDisks());
    EXPECT_EQ(bench.state.Disks.DriveCount, 8);
    EXPECT_TRUE(bench.drives.NvmeCommands().empty()); // no room: no controller is asked
}

// The ATA drives open, the NVMe controllers are root's alone.
class NvmeDeniedDevices : public platform::SmartDevices
{
public:
    explicit NvmeDeniedDevices(sim::SimDisks& disks) : m_disks(disks) {}
    platform::DriveOpenResult OpenPhysicalDrive(int drive) override { return m_disks.OpenPhysicalDrive(drive); }
    platform::NvmeOpenResult OpenNvmeController(int) override
    {
        return {nullptr, platform::DriveOpenError::AccessDenied};
    }
    std::unique_ptr<platform::SmartDevice> OpenSmartVsd() override { return nullptr; }
    std::string SystemDirectory() override { return {}; }
    bool CopyFile(const std::string&, const std::string&) override { return false; }

private:
    sim::SimDisks& m_disks;
};

TEST(NvmeControllers, RefusedControllersAreLeftToTheRunningService)
{
    DiskBench bench(kTwoAtaAndNvme);
    NvmeDeniedDevices devices(bench.drives);
    platform::DiskPlatform disks{devices, bench.services};
    SmartDisks smart(bench.state, disks, bench.notices, bench.messages);
    ASSERT_TRUE(smart.StartSmart("/prog"));
    EXPECT_TRUE(smart.ScanDisks());
    EXPECT_EQ(smart.AccessMode(), DiskAccessMode::DiskService);
    EXPECT_EQ(bench.services.Controls, (std::vector<uint32_t>{platform::kDiskScanControl}));
    EXPECT_EQ(bench.drives.OpenHandles(), 0);
    EXPECT_EQ(bench.notices.AdminNotices, 0);
}

TEST(NvmeControllers, WithoutTheServiceTheAtaDrivesReadDirectlyStayListed)
{
    DiskBench bench(kTwoAtaAndNvme);
    bench.services.Installed = false;
    NvmeDeniedDevices devices(bench.drives);
    platform::DiskPlatform disks{devices, bench.services};
    SmartDisks smart(bench.state, disks, bench.notices, bench.messages);
    ASSERT_TRUE(smart.StartSmart("/prog"));
    EXPECT_TRUE(smart.ScanDisks());
    EXPECT_EQ(smart.AccessMode(), DiskAccessMode::Direct);
    EXPECT_EQ(bench.state.Disks.DriveCount, 2);
    EXPECT_EQ(bench.notices.AdminNotices, 0);
}

// ---- sleeping disks ----

constexpr const char* kAwakeAndSleepingDisks = R"({"disks": [
    {"drive": 0, "model": "AWAKE", "temperature": 40},
    {"drive": 1, "model": "SLEEPER", "temperature": 35, "power": "standby"}]})";

uint64_t ReadDataSent(const sim::SimDisks& drives, int drive)
{
    uint64_t count = 0;
    for (const sim::SimDiskCommand& c : drives.Commands()) {
        count += c.drive == drive && c.command.registers.command == 0xB0 && c.command.registers.features == 0xD0;
    }
    return count;
}

TEST(SleepingDisks, AStandbyDriveIsNeverSentReadDataAndIsReadAgainOnceAwake)
{
    DiskBench bench(kAwakeAndSleepingDisks);
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    // The scan lists it (its one read there wakes it, as at any start-up); then it sleeps.
    ASSERT_TRUE(bench.smart.ScanDisks());
    ASSERT_EQ(bench.state.Disks.DriveCount, 2);
    bench.drives.Disk(1)->powerMode = 0x00;
    bench.drives.Disk(1)->temperature = 30;
    bench.drives.ClearCommands();
    bench.state.Settings.Slots[core::kSlotHd0 + 1].Correction = 2.0f;
    for (int pass = 0; pass < 3; ++pass) {
        EXPECT_TRUE(bench.smart.ReadDiskTemperatures());
    }
    EXPECT_EQ(ReadDataSent(bench.drives, 1), 0u);
    EXPECT_EQ(ReadDataSent(bench.drives, 0), 3u);
    EXPECT_EQ(bench.drives.Disk(1)->powerMode, 0x00); // still asleep
    const core::DiskTable& table = bench.state.Disks;
    EXPECT_EQ(table.Temperature[1], 35); // the scan's value, not corrected again
    EXPECT_EQ(table.ReadState[1], core::DiskReadState::Asleep);
    EXPECT_EQ(table.ReadState[0], core::DiskReadState::Current);

    bench.drives.Disk(1)->powerMode = 0xFF;
    EXPECT_TRUE(bench.smart.ReadDiskTemperatures());
    EXPECT_EQ(ReadDataSent(bench.drives, 1), 1u);
    EXPECT_EQ(table.Temperature[1], 32);
    EXPECT_EQ(table.ReadState[1], core::DiskReadState::Current);
    const Strings log = bench.LogMessages();
    EXPECT_EQ(std::count(log.begin(), log.end(), "Disk HD1 asleep (standby): not read, last value kept"), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "Disk HD1 awake: read again"), 1);
}

TEST(SleepingDisks, WakeDisksInTheProgramStoreReadsThemAsBefore)
{
    DiskBench bench(kAwakeAndSleepingDisks);
    bench.machine.Store.Keys[platform::StoreKeyId::Program].Values[core::kWakeDisksValue] = uint32_t{1};
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    ASSERT_TRUE(bench.smart.ScanDisks());
    bench.drives.Disk(1)->powerMode = 0x00;
    bench.drives.ClearCommands();
    EXPECT_TRUE(bench.smart.ReadDiskTemperatures());
    EXPECT_EQ(ReadDataSent(bench.drives, 1), 1u);
    EXPECT_EQ(bench.drives.Disk(1)->powerMode, 0xFF); // spun up by the read
    EXPECT_EQ(bench.drives.Commands().size(), 2u);    // no power-mode check at all
    EXPECT_EQ(bench.state.Disks.ReadState[1], core::DiskReadState::Current);
}

TEST(SleepingDisks, AnAnswerThatIsNeitherActiveNorStandbyKeepsTheValueMarked)
{
    DiskBench bench(kAwakeAndSleepingDisks);
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    ASSERT_TRUE(bench.smart.ScanDisks());
    bench.drives.Disk(1)->powerMode = 0x42;
    bench.drives.ClearCommands();
    bench.smart.ReadDiskTemperatures();
    EXPECT_EQ(ReadDataSent(bench.drives, 1), 0u);
    EXPECT_EQ(bench.state.Disks.ReadState[1], core::DiskReadState::PowerModeUnknown);
    // A drive gone between passes answers nothing at all.
    bench.drives.Disk(0)->powerMode = std::nullopt;
    bench.drives.Disk(0)->smart = false;
    bench.smart.ReadDiskTemperatures();
    EXPECT_EQ(bench.state.Disks.ReadState[0], core::DiskReadState::PowerModeUnknown);
    EXPECT_EQ(bench.state.Disks.Temperature[0], 40);
    const Strings log = bench.LogMessages();
    EXPECT_NE(std::find(log.begin(), log.end(),
                        "Disk HD1 answered power mode 0x42, neither active nor standby: not read, last value kept"),
              log.end());
    EXPECT_NE(
        std::find(log.begin(), log.end(), "Disk HD0 did not answer the power-mode check: not read, last value kept"),
        log.end());
}

uint64_t LogPagesSent(const sim::SimDisks& drives)
{
    return static_cast<uint64_t>(std::count_if(drives.NvmeCommands().begin(), drives.NvmeCommands().end(),
                                               [](const sim::SimNvmeCommand& c) { return c.command.opcode == 0x02; }));
}

TEST(SleepingDisks, AnNvmeControllerInANonOperationalStateIsNotAskedForItsLog)
{
    DiskBench bench(kTwoAtaAndNvme);
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    ASSERT_TRUE(bench.smart.ScanDisks());
    bench.drives.ClearCommands();
    bench.drives.NvmeDisk(0)->nvmePowerState = 4; // non-operational in its Identify data
    bench.drives.NvmeDisk(0)->temperature = 30;
    bench.smart.ReadDiskTemperatures();
    bench.smart.ReadDiskTemperatures();
    EXPECT_EQ(LogPagesSent(bench.drives), 0u);
    EXPECT_EQ(bench.state.Disks.Temperature[2], 38);
    EXPECT_EQ(bench.state.Disks.ReadState[2], core::DiskReadState::Asleep);

    bench.drives.NvmeDisk(0)->nvmePowerState = 2; // low power, but operational
    bench.smart.ReadDiskTemperatures();
    EXPECT_EQ(LogPagesSent(bench.drives), 1u);
    EXPECT_EQ(bench.state.Disks.Temperature[2], 30);
    EXPECT_EQ(bench.state.Disks.ReadState[2], core::DiskReadState::Current);
    const Strings log = bench.LogMessages();
    EXPECT_NE(
        std::find(log.begin(), log.end(), "Disk HD2 asleep (non-operational power state 4): not read, last value kept"),
        log.end());

    bench.drives.NvmeDisk(0)->nvmePowerState = std::nullopt; // Get Features fails from now on
    bench.smart.ReadDiskTemperatures();
    EXPECT_EQ(LogPagesSent(bench.drives), 1u);
    EXPECT_EQ(bench.state.Disks.ReadState[2], core::DiskReadState::PowerModeUnknown);
}

TEST(SleepingDisks, WakeDisksAlsoReadsNvmeControllersWithoutAskingTheirPowerState)
{
    DiskBench bench(kTwoAtaAndNvme);
    bench.machine.Store.Keys[platform::StoreKeyId::Program].Values[core::kWakeDisksValue] = uint32_t{1};
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    ASSERT_TRUE(bench.smart.ScanDisks());
    bench.drives.NvmeDisk(0)->nvmePowerState = 4;
    bench.drives.ClearCommands();
    bench.smart.ReadDiskTemperatures();
    ASSERT_EQ(bench.drives.NvmeCommands().size(), 1u);
    EXPECT_EQ(bench.drives.NvmeCommands()[0].command.opcode, 0x02);
}

TEST(SleepingDisks, AReaderWhoseNotesAreNeverTakenKeepsOnlyTheLatest)
{
    // The disk service reads for ever; a drive that sleeps and wakes must not grow it.
    sim::SimDisks drives(testing::Board(kAwakeAndSleepingDisks), sim::DiskRights::Service);
    DiskReader reader(drives);
    core::DiskTable table;
    ASSERT_TRUE(reader.ScanDisks(table));
    for (int pass = 0; pass < 100; ++pass) {
        drives.Disk(1)->powerMode = pass % 2 == 0 ? 0x00 : 0xFF;
        reader.ReadDiskTemperatures(table);
    }
    const std::vector<std::string> notes = reader.TakeNotes();
    ASSERT_EQ(notes.size(), DiskReader::kMaxNotes);
    EXPECT_EQ(notes.back(), "Disk HD1 awake: read again");
    EXPECT_TRUE(reader.TakeNotes().empty());
}

TEST(SleepingDisks, ADriveThatCannotTellItsPowerModeAtTheScanIsReadAsBefore)
{
    DiskBench bench(R"({"disks": [{"drive": 0, "temperature": 40, "power": "unanswered"}]})");
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    ASSERT_TRUE(bench.smart.ScanDisks());
    bench.drives.ClearCommands();
    bench.drives.Disk(0)->temperature = 41;
    EXPECT_TRUE(bench.smart.ReadDiskTemperatures());
    EXPECT_EQ(bench.state.Disks.Temperature[0], 41);
    EXPECT_EQ(bench.drives.Commands().size(), 1u);
}

TEST(DirectAccess, RescanClosesTheEarlierHandlesFirst)
{
    DiskBench bench(kTwoDisksAt0And2);
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    ASSERT_TRUE(bench.smart.ScanDisks());
    bench.drives.Disk(2)->smart = false;
    ASSERT_TRUE(bench.smart.ScanDisks());
    EXPECT_EQ(bench.state.Disks.DriveCount, 1);
    EXPECT_EQ(bench.drives.OpenHandles(), 1);
    EXPECT_TRUE(bench.smart.Reader().DriveOpen(0));
    EXPECT_FALSE(bench.smart.Reader().DriveOpen(2));
}

TEST(DirectAccess, CorrectionIsRoundedUpAndKeptWhenTheNextReadFails)
{
    DiskBench bench(kTwoDisksAt0And2);
    bench.state.Settings.Slots[core::kSlotHd0].Correction = 1.5f;
    bench.state.Settings.Slots[core::kSlotHd0 + 1].Correction = -1.5f;
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    ASSERT_TRUE(bench.smart.ScanDisks());
    EXPECT_EQ(bench.state.Disks.Temperature[0], 40); // the scan stores raw readings

    ASSERT_TRUE(bench.smart.ReadDiskTemperatures());
    EXPECT_EQ(bench.state.Disks.Temperature[0], 42);
    EXPECT_EQ(bench.state.Disks.Temperature[1], 34);

    bench.drives.Disk(0)->smart = false;
    bench.drives.Disk(2)->temperature = 0xF6;
    ASSERT_TRUE(bench.smart.ReadDiskTemperatures());
    EXPECT_EQ(bench.state.Disks.Temperature[0], 42);
    EXPECT_EQ(bench.state.Disks.Temperature[1], -11); // -10, then -1.5 rounded up

    bench.drives.Disk(2)->smart = false;
    EXPECT_FALSE(bench.smart.ReadDiskTemperatures());
    EXPECT_EQ(bench.state.Disks.Temperature[0], 42);
    EXPECT_EQ(bench.state.Disks.Temperature[1], -11);
    EXPECT_EQ(bench.state.Disks.DiskCount, 2);
}

TEST(DirectAccess, CorrectionsOfAnyBitPatternStayDefined)
{
    DiskBench bench(kTwoDisksAt0And2);
    bench.state.Settings.Slots[core::kSlotHd0].Correction = std::numeric_limits<float>::quiet_NaN();
    bench.state.Settings.Slots[core::kSlotHd0 + 1].Correction = 3e38f;
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    ASSERT_TRUE(bench.smart.ScanDisks());
    ASSERT_TRUE(bench.smart.ReadDiskTemperatures());
    EXPECT_EQ(bench.state.Disks.Temperature[0], 40);
    EXPECT_EQ(bench.state.Disks.Temperature[1], std::numeric_limits<int32_t>::max());
}

TEST(DirectAccess, NoListedDiskMeansNoReadPass)
{
    DiskBench bench(R"({"disks": [{"drive": 0, "smart": false}]})");
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    EXPECT_FALSE(bench.smart.ScanDisks());
    bench.drives.ClearCommands();
    EXPECT_FALSE(bench.smart.ReadDiskTemperatures());
    EXPECT_TRUE(bench.drives.Commands().empty());
}

TEST(DirectAccess, DriveListFromAnImageIsCheckedBeforeUse)
{
    DiskBench bench(kTwoDisksAt0And2);
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    ASSERT_TRUE(bench.smart.ScanDisks());
    bench.state.Disks.DriveCount = 200;
    bench.state.Disks.DriveNumbers = {0, 2, 9, 255, 1, 3, 5, 7};
    EXPECT_TRUE(bench.smart.ReadDiskTemperatures());
    EXPECT_EQ(bench.state.Disks.DiskCount, 8);
}

// Members of group disk open the drives, but the system refuses them raw commands.
constexpr const char* kNoRawIoTwoDisks = R"({"disk_access": "no_rawio", "disks": [
    {"drive": 0, "model": "SIM DISK 1", "temperature": 40},
    {"drive": 2, "model": "SIM DISK 3", "temperature": 35}]})";

TEST(NoRawCommands, AUserWhoOpensTheDrivesButMaySendNoCommandUsesTheService)
{
    DiskBench bench(kNoRawIoTwoDisks);
    // The service's part, with the rights the user lacks.
    sim::SimDisks serviceDrives(bench.board, sim::DiskRights::Service);
    DiskReader serviceReader(serviceDrives);
    core::DiskTable serviceTable;
    bench.services.OnControl = [&](uint32_t, uint32_t&) {
        serviceReader.ScanDisks(serviceTable);
        bench.PutSysdata(core::EncodeDiskTable(serviceTable, core::kDiskScanImageSize));
        return true;
    };
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    EXPECT_EQ(bench.smart.AccessMode(), DiskAccessMode::Direct);
    EXPECT_TRUE(bench.smart.ScanDisks());
    EXPECT_EQ(bench.smart.AccessMode(), DiskAccessMode::DiskService);
    EXPECT_EQ(bench.state.Disks.DriveCount, 2);
    EXPECT_EQ(bench.state.Disks.Model[1], "SIM DISK 3");
    EXPECT_EQ(bench.services.Controls, std::vector<uint32_t>{234});
    EXPECT_EQ(bench.drives.OpenHandles(), 0);
    EXPECT_GT(bench.drives.Counts().refusedForRights, 0u);
    EXPECT_EQ(bench.LogMessages(),
              (Strings{"Direct access allowed",
                       "Direct disk commands refused (no right to send raw commands): using the disk service",
                       "Connect SCM OK", "Service detected"}));
    EXPECT_EQ(bench.notices.AdminNotices, 0);
}

TEST(NoRawCommands, WithoutTheServiceTheNoticeIsShownAsToAUserWhoMayNotOpenTheDrives)
{
    DiskBench bench(kNoRawIoTwoDisks);
    bench.services.Installed = false;
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    EXPECT_FALSE(bench.smart.ScanDisks());
    EXPECT_EQ(bench.smart.AccessMode(), DiskAccessMode::None);
    EXPECT_EQ(bench.notices.AdminNotices, 1);
    EXPECT_FALSE(bench.smart.ReadDiskTemperatures());
}

TEST(NoRawCommands, DrivesThatMerelyFailStayInDirectMode)
{
    DiskBench bench(R"({"disks": [{"drive": 0, "smart": false}]})");
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    EXPECT_FALSE(bench.smart.ScanDisks());
    EXPECT_EQ(bench.smart.AccessMode(), DiskAccessMode::Direct);
    EXPECT_TRUE(bench.services.Controls.empty());
    EXPECT_EQ(bench.notices.AdminNotices, 0);
}

TEST(StartSmart, MissingDriveZeroMeansNoDiskTemperaturesAtAll)
{
    DiskBench bench(R"({"disk_access": "absent", "disks": [{"drive": 0}, {"drive": 1}]})");
    EXPECT_FALSE(bench.smart.StartSmart("/prog"));
    EXPECT_EQ(bench.smart.AccessMode(), DiskAccessMode::None);
    EXPECT_EQ(bench.LogMessages(), Strings{"No direct access to disk"});
    EXPECT_TRUE(bench.services.OpenedNames.empty());
    EXPECT_EQ(bench.notices.AdminNotices, 0);
    EXPECT_FALSE(bench.smart.ScanDisks());
}

// ---- the 9x driver ----

constexpr const char* kNineXTwoDisks = R"({"family": "9x", "disks": [
    {"drive": 1, "model": "FIRST", "temperature": 33},
    {"drive": 3, "model": "SECOND", "temperature": 44}]})";

TEST(SmartVsdAccess, ListsOnlyTheFirstAnsweringDrive)
{
    DiskBench bench(kNineXTwoDisks);
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    EXPECT_EQ(bench.smart.AccessMode(), DiskAccessMode::SmartVsd);
    ASSERT_TRUE(bench.smart.ScanDisks());
    EXPECT_EQ(bench.state.Disks.DiskCount, 1);
    EXPECT_EQ(bench.state.Disks.DriveNumbers[0], 1);
    EXPECT_EQ(bench.state.Disks.Model[0], "FIRST");
    EXPECT_EQ(bench.drives.DriveOpens(), 0);
    for (const sim::SimDiskCommand& c : bench.drives.Commands()) {
        EXPECT_TRUE(c.smartVsd);
        EXPECT_LE(c.drive, 1); // drive 0 answers nothing, drive 1 is listed, the scan stops
    }

    bench.drives.Disk(1)->temperature = 36;
    ASSERT_TRUE(bench.smart.ReadDiskTemperatures());
    EXPECT_EQ(bench.state.Disks.Temperature[0], 36);
    EXPECT_TRUE(bench.LogMessages().empty());

    bench.smart.StopSmart();
    EXPECT_EQ(bench.drives.OpenHandles(), 0);
    EXPECT_FALSE(bench.smart.ScanDisks());
    EXPECT_EQ(bench.drives.DriveOpens(), 0); // no fall-back to the drives themselves
}

TEST(SmartVsdAccess, DriverIsCopiedWhenItIsNotLoaded)
{
    DiskBench bench(kNineXTwoDisks);
    bench.drives.SetSmartVsdLoaded(false);
    bench.drives.SetSystemDirectory("/windows/system");
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    ASSERT_EQ(bench.drives.Copies().size(), 1u);
    EXPECT_EQ(bench.drives.Copies()[0].first, "/prog/drv/smartvsd.vxd");
    EXPECT_EQ(bench.drives.Copies()[0].second, "/windows/system/iosubsys/smartvsd.vxd");
    EXPECT_TRUE(bench.messages.Warnings.empty());
    EXPECT_TRUE(bench.smart.ScanDisks());
}

TEST(SmartVsdAccess, FailedCopyShowsTheCopyError)
{
    DiskBench bench(kNineXTwoDisks);
    bench.drives.SetSmartVsdLoaded(false);
    bench.drives.SetDriverCopyFails(true);
    bench.drives.SetSystemDirectory("C:/WINDOWS/SYSTEM");
    EXPECT_FALSE(bench.smart.StartSmart("/prog"));
    ASSERT_EQ(bench.messages.Warnings.size(), 1u);
    EXPECT_EQ(bench.messages.Warnings[0].first, "Calventa");
    EXPECT_EQ(bench.messages.Warnings[0].second, "Copy Error!\n\rSource : /prog/drv/smartvsd.vxd\n\r"
                                                 "Dest : C:/WINDOWS/SYSTEM/iosubsys/smartvsd.vxd");
    EXPECT_EQ(bench.smart.AccessMode(), DiskAccessMode::None);
}

TEST(SmartVsdAccess, DriverThatStillDoesNotOpenAfterTheCopyGivesNoMode)
{
    DiskBench bench(kNineXTwoDisks);
    bench.drives.SetSmartVsdLoaded(false);
    bench.drives.SetDriverLoadsOnCopy(false);
    EXPECT_FALSE(bench.smart.StartSmart("/prog"));
    EXPECT_TRUE(bench.messages.Warnings.empty());
    EXPECT_EQ(bench.drives.OpenHandles(), 0);
}

// ---- the disk service ----

constexpr const char* kDeniedTwoDisks = R"({"disk_access": "denied", "disks": [
    {"drive": 0, "model": "SIM DISK 1", "temperature": 40},
    {"drive": 2, "model": "SIM DISK 3", "temperature": 35}]})";

struct DetectionCase
{
    const char* name;
    bool installed;
    std::optional<platform::ServiceState> state;
    Strings log;
};

class ServiceDetectionTable : public ::testing::TestWithParam<DetectionCase>
{
};

TEST_P(ServiceDetectionTable, FailuresAreLoggedAndTheNoticeShownOnce)
{
    const DetectionCase& c = GetParam();
    DiskBench bench(kDeniedTwoDisks);
    bench.services.Installed = c.installed;
    bench.services.State = c.state;
    EXPECT_FALSE(bench.smart.StartSmart("/prog"));
    EXPECT_EQ(bench.LogMessages(), c.log);
    EXPECT_EQ(bench.notices.AdminNotices, 1);
    EXPECT_EQ(bench.services.LiveHandles, 0);
    EXPECT_EQ(bench.smart.AccessMode(), DiskAccessMode::None);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, ServiceDetectionTable,
    ::testing::Values(DetectionCase{"NoService",
                                    false,
                                    platform::ServiceState::Running,
                                    {"No direct access to disk", "Connect SCM OK",
                                     "No service detected. SVC name=(calventasvc)"}},
                      DetectionCase{"StatusQueryFails",
                                    true,
                                    std::nullopt,
                                    {"No direct access to disk", "Connect SCM OK", "Error QueryServiceStatus"}},
                      DetectionCase{"Stopped",
                                    true,
                                    platform::ServiceState::Stopped,
                                    {"No direct access to disk", "Connect SCM OK", "Error Service not running"}},
                      DetectionCase{"StartPending",
                                    true,
                                    platform::ServiceState::StartPending,
                                    {"No direct access to disk", "Connect SCM OK", "Error Service not running"}}),
    [](const ::testing::TestParamInfo<DetectionCase>& param) { return std::string(param.param.name); });

TEST(ServiceDetection, NoticeRespectsTheSetting)
{
    DiskBench bench(kDeniedTwoDisks);
    bench.services.Installed = false;
    bench.state.Settings.ShowAdminNotice = 0;
    EXPECT_FALSE(bench.smart.StartSmart("/prog"));
    EXPECT_EQ(bench.notices.AdminNotices, 0);
}

TEST(ServiceDetection, UnreachableManagerIsSilent)
{
    DiskBench bench(kDeniedTwoDisks);
    bench.services.Reachable = false;
    EXPECT_FALSE(bench.smart.StartSmart("/prog"));
    EXPECT_EQ(bench.LogMessages(), Strings{"No direct access to disk"});
    EXPECT_EQ(bench.notices.AdminNotices, 0);
}

TEST(ServiceDetection, RunningServiceIsKeptUntilStopSmart)
{
    DiskBench bench(kDeniedTwoDisks);
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    EXPECT_EQ(bench.smart.AccessMode(), DiskAccessMode::DiskService);
    EXPECT_EQ(bench.LogMessages(), (Strings{"No direct access to disk", "Connect SCM OK", "Service detected"}));
    EXPECT_EQ(bench.services.LiveHandles, 1);
    EXPECT_EQ(bench.notices.AdminNotices, 0);
    bench.smart.StopSmart();
    EXPECT_EQ(bench.services.LiveHandles, 0);
}

// The service's part, played in process: the same reader on the board's disks, opened with
// the service's rights, leaving the table in "sysdata".
class InProcessService
{
public:
    explicit InProcessService(DiskBench& bench) : m_bench(bench), m_drives(bench.board, sim::DiskRights::Service)
    {
        bench.services.OnControl = [this](uint32_t code, uint32_t&) {
            if (code == platform::kDiskScanControl) {
                m_table = {};
                m_reader.ScanDisks(m_table);
                m_bench.PutSysdata(core::EncodeDiskTable(m_table, core::kDiskScanImageSize));
            } else {
                m_reader.ReadDiskTemperatures(m_table);
                m_bench.PutSysdata(core::EncodeDiskTable(m_table, core::kDiskTemperatureImageSize));
            }
            return true;
        };
    }
    sim::SimDisks& Drives() { return m_drives; }

private:
    DiskBench& m_bench;
    sim::SimDisks m_drives;
    DiskReader m_reader{m_drives};
    core::DiskTable m_table;
};

TEST(ServiceAccess, ScanAndReadGoThroughTheService)
{
    DiskBench bench(kDeniedTwoDisks);
    InProcessService service(bench);
    bench.state.Settings.Slots[core::kSlotHd0].Correction = 1.5f;
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    ASSERT_TRUE(bench.smart.ScanDisks());
    EXPECT_EQ(bench.services.Controls, std::vector<uint32_t>{234});
    const core::DiskTable& table = bench.state.Disks;
    EXPECT_EQ(table.DriveCount, 2);
    EXPECT_EQ(table.DriveNumbers[1], 2);
    EXPECT_EQ(table.Model[1], "SIM DISK 3");
    EXPECT_EQ(bench.drives.DriveOpens(), 0); // the monitor itself opened no drive

    service.Drives().Disk(2)->temperature = 36;
    const uint64_t slept = bench.machine.Time.SleptMs;
    ASSERT_TRUE(bench.smart.ReadDiskTemperatures());
    EXPECT_EQ(bench.services.Controls, (std::vector<uint32_t>{234, 235}));
    EXPECT_EQ(bench.machine.Time.SleptMs - slept, 100u);
    EXPECT_EQ(table.Temperature[0], 42); // raw 40 from the service, corrected here
    EXPECT_EQ(table.Temperature[1], 36);
    EXPECT_EQ(table.DriveCount, 2);
}

// Another user's request lands in "sysdata" between the service's reply and the monitor's
// read: the image that came with the reply is this monitor's answer, whatever "sysdata" holds.
TEST(ServiceAccess, TheReplysImageIsTakenOverWhateverAnotherRequestLeftInSysdata)
{
    DiskBench bench(kDeniedTwoDisks);
    InProcessService service(bench);
    std::vector<uint8_t> own;
    bench.services.ReplyImage = [&](uint32_t) {
        own = std::get<std::vector<uint8_t>>(
            bench.machine.Store.Keys[platform::StoreKeyId::Program].Values[core::kSysdataValue]);
        core::DiskTable other;
        other.DiskCount = 1;
        other.Temperature[0] = 99;
        // The other kind of image, as a spammer's request of the other code leaves it.
        bench.PutSysdata(core::EncodeDiskTable(other, own.size() == core::kDiskScanImageSize
                                                          ? core::kDiskTemperatureImageSize
                                                          : core::kDiskScanImageSize));
        return own;
    };
    bench.state.Settings.Slots[core::kSlotHd0].Correction = 1.5f;
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    ASSERT_TRUE(bench.smart.ScanDisks());
    EXPECT_EQ(bench.state.Disks.DriveCount, 2); // a 601-byte image would have left 0
    EXPECT_EQ(bench.state.Disks.Model[1], "SIM DISK 3");

    const uint64_t slept = bench.machine.Time.SleptMs;
    ASSERT_TRUE(bench.smart.ReadDiskTemperatures());
    EXPECT_EQ(bench.machine.Time.SleptMs, slept);    // nothing to wait for: the answer came along
    EXPECT_EQ(bench.state.Disks.Temperature[0], 42); // taken and corrected, not refused as too long
    EXPECT_EQ(bench.state.Disks.Temperature[1], 35);
}

TEST(ServiceAccess, AReplyImageLongerThanTheRequestTakesIsNotTaken)
{
    DiskBench bench(kDeniedTwoDisks);
    InProcessService service(bench);
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    ASSERT_TRUE(bench.smart.ScanDisks());
    bench.services.ReplyImage = [](uint32_t) { return std::vector<uint8_t>(core::kDiskScanImageSize, 0x7F); };
    const core::DiskTable before = bench.state.Disks;
    ASSERT_TRUE(bench.smart.ReadDiskTemperatures());
    EXPECT_EQ(bench.state.Disks.Temperature, before.Temperature);
}

TEST(ServiceAccess, FailedScanRequestShowsTheErrorNumber)
{
    DiskBench bench(kDeniedTwoDisks);
    bench.services.OnControl = [](uint32_t, uint32_t& error) {
        error = 1062;
        return false;
    };
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    EXPECT_FALSE(bench.smart.ScanDisks());
    EXPECT_EQ(bench.messages.Messages, Strings{"1062"});
    EXPECT_EQ(bench.state.Disks.DriveCount, 0);
    EXPECT_FALSE(bench.smart.ReadDiskTemperatures());
    EXPECT_EQ(bench.services.Controls.size(), 1u); // no temperature request without disks
}

TEST(ServiceAccess, FailedTemperatureRequestIsSilentAndKeepsTheValues)
{
    DiskBench bench(kDeniedTwoDisks);
    InProcessService service(bench);
    bench.state.Settings.Slots[core::kSlotHd0].Correction = 2.0f;
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    ASSERT_TRUE(bench.smart.ScanDisks());
    ASSERT_TRUE(bench.smart.ReadDiskTemperatures());
    EXPECT_EQ(bench.state.Disks.Temperature[0], 42);

    bench.services.OnControl = [](uint32_t, uint32_t& error) {
        error = 1053;
        return false;
    };
    EXPECT_FALSE(bench.smart.ReadDiskTemperatures());
    EXPECT_EQ(bench.state.Disks.Temperature[0], 42);
    EXPECT_TRUE(bench.messages.Messages.empty());
}

TEST(ServiceAccess, UntakenTableIsNotCorrectedAgain)
{
    DiskBench bench(kDeniedTwoDisks);
    InProcessService service(bench);
    bench.state.Settings.Slots[core::kSlotHd0].Correction = 2.0f;
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    ASSERT_TRUE(bench.smart.ScanDisks());
    ASSERT_TRUE(bench.smart.ReadDiskTemperatures());
    ASSERT_EQ(bench.state.Disks.Temperature[0], 42);

    // Delivered, but the service left no value behind.
    bench.services.OnControl = [&bench](uint32_t, uint32_t&) {
        bench.machine.Store.Keys[platform::StoreKeyId::Program].Values.clear();
        return true;
    };
    EXPECT_TRUE(bench.smart.ReadDiskTemperatures());
    EXPECT_EQ(bench.state.Disks.Temperature[0], 42);
}

// How much of the table a "sysdata" of n bytes gives after a scan request.
struct SysdataCase
{
    size_t length;
    bool modelArrives;  // the value is taken and reaches the first model
    uint8_t driveCount; // afterwards
};

class ScanSysdataLength : public ::testing::TestWithParam<SysdataCase>
{
};

TEST_P(ScanSysdataLength, OnlyValuesThatFitAreTaken)
{
    const SysdataCase c = GetParam();
    DiskBench bench(kDeniedTwoDisks);
    core::DiskTable service;
    service.DiskCount = 2;
    service.Temperature[0] = 40;
    service.Model[0] = "FROM SERVICE";
    service.DriveCount = 2;
    service.DriveNumbers = {0, 2};
    std::vector<uint8_t> image = core::EncodeDiskTable(service, core::kDiskRecordSize);
    image.resize(c.length, 0);
    bench.services.OnControl = [&](uint32_t, uint32_t&) {
        bench.PutSysdata(image);
        return true;
    };
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    EXPECT_TRUE(bench.smart.ScanDisks()); // delivered, whatever the value holds
    EXPECT_EQ(bench.state.Disks.Model[0], c.modelArrives ? "FROM SERVICE" : "");
    EXPECT_EQ(bench.state.Disks.DriveCount, c.driveCount);
    bench.smart.ReadDiskTemperatures();
    EXPECT_EQ(bench.services.Controls.size(), c.driveCount > 0 ? 2u : 1u);
}

INSTANTIATE_TEST_SUITE_P(Lengths, ScanSysdataLength,
                         ::testing::Values(SysdataCase{0, false, 0}, SysdataCase{600, true, 0},
                                           SysdataCase{601, true, 0}, SysdataCase{602, true, 2},
                                           SysdataCase{606, true, 2}, SysdataCase{610, true, 2},
                                           SysdataCase{611, false, 0}, SysdataCase{4096, false, 0}),
                         [](const ::testing::TestParamInfo<SysdataCase>& testCase) {
                             return "Sysdata" + std::to_string(testCase.param.length) + "Bytes" +
                                    (testCase.param.modelArrives ? "Taken" : "Refused");
                         });

TEST(ServiceAccess, TemperatureValueLongerThan601BytesIsNotTaken)
{
    DiskBench bench(kDeniedTwoDisks);
    core::DiskTable service;
    service.DiskCount = 1;
    service.Temperature[0] = 40;
    service.DriveCount = 1;
    bench.services.OnControl = [&](uint32_t code, uint32_t&) {
        service.Temperature[0] = code == platform::kDiskScanControl ? 40 : 50;
        bench.PutSysdata(core::EncodeDiskTable(service, core::kDiskScanImageSize)); // 610 both times
        return true;
    };
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    ASSERT_TRUE(bench.smart.ScanDisks());
    EXPECT_TRUE(bench.smart.ReadDiskTemperatures());
    EXPECT_EQ(bench.state.Disks.Temperature[0], 40);
}

TEST(ServiceAccess, SysdataOfAnotherTypeIsNotTaken)
{
    DiskBench bench(kDeniedTwoDisks);
    bench.services.OnControl = [&](uint32_t, uint32_t&) {
        bench.machine.Store.Keys[platform::StoreKeyId::Program].Values[core::kSysdataValue] = std::string("text");
        return true;
    };
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    EXPECT_TRUE(bench.smart.ScanDisks());
    EXPECT_EQ(bench.state.Disks.DriveCount, 0);
}

TEST(ServiceAccess, RandomSysdataNeverLeavesTheTable)
{
    DiskBench bench(kDeniedTwoDisks);
    std::mt19937 random(235);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<size_t> length(0, 620);
    std::vector<uint8_t> image;
    bench.services.OnControl = [&](uint32_t, uint32_t&) {
        image.resize(length(random));
        for (uint8_t& b : image) {
            b = static_cast<uint8_t>(byte(random));
        }
        bench.PutSysdata(image);
        return true;
    };
    ASSERT_TRUE(bench.smart.StartSmart("/prog"));
    for (int i = 0; i < 300; ++i) {
        bench.smart.ScanDisks();
        bench.smart.ReadDiskTemperatures();
        ASSERT_LE(bench.state.Disks.DiskCount, core::kMaxDisks);
        ASSERT_LE(bench.state.Disks.DriveCount, core::kMaxDisks);
        ASSERT_LE(bench.state.Disks.Model[7].size(), core::kDiskModelMax);
    }
}

} // namespace
} // namespace calventa::disks
