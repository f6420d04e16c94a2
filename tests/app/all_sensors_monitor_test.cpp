// Every sensor in reach on the current-desktop board: the kernel-only NVMe drive as a drive
// row, every input with its extremes since start, and a slot assigned from that list through
// the options dialog's own "OK".
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "../disks/disk_fakes.h"
#include "app/options_controller.h"
#include "core/settings_block.h"
#include "monitor_on_board.h"
#include "platform/sim/sim_disks.h"

namespace calventa::app {
namespace {

using namespace core;

// Board order of boards/desktop.json, as SetKernelInput counts the devices.
constexpr size_t kBoardNvme = 0;
constexpr size_t kBoardCoretemp = 1;

std::string DesktopBoard()
{
    std::ifstream file(std::string(CALVENTA_SOURCE_DIR) + "/boards/desktop.json");
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

class QuietOptionsHost : public OptionsHost
{
public:
    void SetMainWindowOpacity(int) override {}
    void ShowFanWarning() override {}
    void ShowMessage(const std::string&) override {}
    void SetTimerIntervals(int, int) override {}
    void HideMainWindow() override {}
    void RestoreMainWindowParent() override {}
    void SetMainWindowStaysOnTop(bool) override {}
    void ReapplyMainWindowFrame() override {}
    void PutMainWindowOnDesktop() override {}
    void ShowMainWindowUnlessMinimized() override {}
    void HideOptionsDialog() override {}
};

class EverySensor : public ::testing::Test
{
protected:
    explicit EverySensor(const std::string& json = DesktopBoard())
        : drives(disks::testing::Board(json)), diskPlatform{drives, services}, board(json), monitor(*board.monitor)
    {
        services.Installed = false; // a user without the disk service
        monitor.AttachDisks(diskPlatform, notices, messages);
        monitor.StartUp(std::string("/sim"));
        monitor.AlarmWindowCreated();
    }

    const DiskTable& Disks() { return monitor.State().Disks; }
    const SensorListRow* RowLabelled(const std::string& label)
    {
        rows = monitor.AllSensors().Rows(monitor.State());
        for (const SensorListRow& row : rows) {
            if (row.Label == label) {
                return &row;
            }
        }
        return nullptr;
    }

    sim::SimDisks drives;
    disks::testing::FakeServiceManager services;
    disks::testing::RecordingNotices notices;
    disks::testing::RecordingMessages messages;
    platform::DiskPlatform diskPlatform;
    testing::MonitorOnBoard board;
    Monitor& monitor;
    std::vector<SensorListRow> rows;
};

TEST_F(EverySensor, TheKernelOnlyNvmeDriveIsADriveRowThatFollowsItsReading)
{
    ASSERT_EQ(Disks().DiskCount, 2);
    EXPECT_EQ(Disks().Model[0], "SIM SATA SSD");
    EXPECT_EQ(Disks().Model[1], "nvme0");
    EXPECT_TRUE(Disks().IsNvme(1));
    EXPECT_EQ(Disks().Source[1], DiskTemperatureSource::KernelHwmon);
    EXPECT_EQ(Disks().Temperature[1], 45); // 44.85 °C, rounded up as every value

    // Its HD slot shows it like any drive once enabled; corrections apply as to any drive.
    monitor.State().Settings.Slots[kSlotHd0 + 1].Enabled = 1;
    monitor.State().Settings.Slots[kSlotHd0 + 1].Correction = 1.5f;
    board.sim->SetKernelInput(kBoardNvme, 0, 50.2);
    monitor.UpdatePass();
    monitor.DiskPass();
    monitor.BuildMainWindow();
    EXPECT_EQ(Disks().Temperature[1], 53);
    EXPECT_EQ(monitor.MainWindow().Value(kSlotHd0 + 1).Text, "53 \xC2\xB0"
                                                             "C / 128 \xC2\xB0"
                                                             "F");
    EXPECT_EQ(Disks().DiskCount, 2) << "listed once, however many passes";
}

TEST_F(EverySensor, EveryInputIsListedWithItsExtremesSinceStart)
{
    for (const char* label : {"Core 0", "Core 1", "Core 2", "Core 3", "CPUTIN", "PECI Agent 0", "Composite", "Sensor 1",
                              "AVCC", "3VSB", "in9", "HD0 SIM SATA SSD", "HD1 nvme0"}) {
        EXPECT_NE(RowLabelled(label), nullptr) << label;
    }
    const SensorListRow* core2 = RowLabelled("Core 2");
    ASSERT_NE(core2, nullptr);
    EXPECT_EQ(core2->Group, "coretemp (platform/coretemp.0)");
    EXPECT_EQ(core2->Current, "44 \xC2\xB0"
                              "C / 112 \xC2\xB0"
                              "F");
    EXPECT_EQ(core2->Slots, (std::vector<int>{kSlotCpu, kSlotSys, kSlotAux}));
    EXPECT_EQ(core2->ShownIn, -1);

    // Core 2 is input 3 of coretemp: up, down, a failed read, back.
    board.sim->SetKernelInput(kBoardCoretemp, 3, 61.0);
    monitor.UpdatePass();
    board.sim->SetKernelInput(kBoardCoretemp, 3, 38.0);
    monitor.UpdatePass();
    board.sim->SetKernelInput(kBoardCoretemp, 3, std::nullopt);
    monitor.UpdatePass();
    core2 = RowLabelled("Core 2");
    EXPECT_EQ(core2->Current, "n/a");
    EXPECT_EQ(core2->Minimum, "38 \xC2\xB0"
                              "C / 101 \xC2\xB0"
                              "F");
    EXPECT_EQ(core2->Maximum, "61 \xC2\xB0"
                              "C / 142 \xC2\xB0"
                              "F");
    board.sim->SetKernelInput(kBoardCoretemp, 3, 50.0);
    monitor.UpdatePass();
    EXPECT_EQ(RowLabelled("Core 2")->Current, "50 \xC2\xB0"
                                              "C / 122 \xC2\xB0"
                                              "F");
    EXPECT_EQ(RowLabelled("Core 2")->Maximum, "61 \xC2\xB0"
                                              "C / 142 \xC2\xB0"
                                              "F");

    const SensorListRow* vcore = RowLabelled("Vcore");
    ASSERT_NE(vcore, nullptr);
    EXPECT_EQ(vcore->Current, "1.23 V");
    EXPECT_EQ(vcore->ShownIn, kSlotVCoreA);
}

TEST_F(EverySensor, ASlotAssignedFromTheListIsSavedAsTheDialogSavesIt)
{
    QuietOptionsHost host;
    OptionsController options(monitor, host);
    options.CreateDialog();
    const SensorListRow* core3 = RowLabelled("Core 3");
    ASSERT_NE(core3, nullptr);
    const int chip = core3->Chip;
    const int channel = core3->Channel;
    ASSERT_TRUE(options.AssignSlot(kSlotAux, chip, channel));

    const SensorSlot& aux = monitor.State().Settings.Slots[kSlotAux];
    EXPECT_EQ(aux.Chip, chip);
    EXPECT_EQ(aux.Channel, channel);
    EXPECT_EQ(aux.Enabled, 1);
    EXPECT_EQ(monitor.MainWindow().Value(kSlotAux).Text, "47 \xC2\xB0"
                                                         "C / 117 \xC2\xB0"
                                                         "F");
    EXPECT_EQ(RowLabelled("Core 3")->ShownIn, kSlotAux);
    // settings.dat holds it as any slot: the file decodes to the live block.
    const auto file = board.files.Files.find("/sim/settings.dat");
    ASSERT_NE(file, board.files.Files.end());
    SettingsBlock saved;
    DecodeSettings(file->second, saved);
    EXPECT_EQ(saved.Slots[kSlotAux].Chip, chip);
    EXPECT_EQ(saved.Slots[kSlotAux].Channel, channel);
    EXPECT_EQ(EncodeSettings(saved), EncodeSettings(monitor.State().Settings));

    // A drive's slot is only switched on; bad slots and chips are refused.
    ASSERT_TRUE(options.AssignSlot(kSlotHd0 + 1, -1, 0));
    EXPECT_TRUE(monitor.MainWindow().Value(kSlotHd0 + 1).Shown);
    EXPECT_FALSE(options.AssignSlot(kSlotCount, chip, channel));
    EXPECT_FALSE(options.AssignSlot(kSlotCpu, 200, 1));
    EXPECT_FALSE(options.AssignSlot(kSlotCpu, chip, 0));
}

// With the disk service the drive list is the service's: nothing is added to it.
TEST(EverySensorService, TheServicesTableIsLeftAsItCame)
{
    std::string json = DesktopBoard();
    json.replace(json.find("\"direct\""), 8, "\"denied\"");
    sim::SimDisks drives(disks::testing::Board(json));
    disks::testing::FakeServiceManager services; // installed and running
    disks::testing::RecordingNotices notices;
    disks::testing::RecordingMessages messages;
    platform::DiskPlatform diskPlatform{drives, services};
    testing::MonitorOnBoard board(json);
    board.monitor->AttachDisks(diskPlatform, notices, messages);
    board.monitor->StartUp(std::string("/sim"));
    const DiskTable& table = board.monitor->State().Disks;
    for (int n = 0; table.Listed(n); ++n) {
        EXPECT_NE(table.Source[static_cast<size_t>(n)], DiskTemperatureSource::KernelHwmon) << n;
    }
}

} // namespace
} // namespace calventa::app
