// The monitor on the current-desktop board, whose sensors all come from the kernel: default
// slots, settings.dat, failed reads in the window and in --json, and fan control through pwmN.
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cli/cli_output.h"
#include "app/options_controller.h"
#include "core/settings_block.h"
#include "core/value_text.h"
#include "hardware/fan_control.h"
#include "monitor_on_board.h"

namespace calventa::app {
namespace {

using namespace core;

constexpr const char* kStateFile = "/sim/pwm-restore.txt";
// Board order of boards/desktop.json, as SetKernelInput and KernelPwm count the devices.
constexpr size_t kBoardCoretemp = 1;
constexpr size_t kBoardNct = 2;

nlohmann::json DesktopBoard()
{
    std::ifstream file(std::string(CALVENTA_SOURCE_DIR) + "/boards/desktop.json");
    std::stringstream text;
    text << file.rdbuf();
    return nlohmann::json::parse(text.str());
}

// Every write to a pwm output, in order, and whether the state file existed at that moment.
class RecordingKernel : public platform::KernelSensors
{
public:
    RecordingKernel(platform::KernelSensors& inner, fake::FakeFileSystem& files) : m_inner(inner), m_files(files) {}
    std::vector<platform::KernelDevice> ScanDevices() override { return m_inner.ScanDevices(); }
    std::optional<double> ReadInput(size_t device, size_t input) override { return m_inner.ReadInput(device, input); }
    std::optional<int> ReadPwmEnable(size_t device, int pwm) override { return m_inner.ReadPwmEnable(device, pwm); }
    bool WritePwmEnable(size_t device, int pwm, int mode) override
    {
        Record("pwm" + std::to_string(pwm) + "_enable=" + std::to_string(mode));
        return m_inner.WritePwmEnable(device, pwm, mode);
    }
    bool WritePwm(size_t device, int pwm, int value) override
    {
        Record("pwm" + std::to_string(pwm) + "=" + std::to_string(value));
        return m_inner.WritePwm(device, pwm, value);
    }
    platform::PwmAccess CheckPwmAccess(size_t device, int pwm) override { return m_inner.CheckPwmAccess(device, pwm); }
    std::vector<std::string> TakeNotes() override { return m_inner.TakeNotes(); }

    std::vector<std::string> Writes;

private:
    void Record(const std::string& write)
    {
        Writes.push_back(write + (m_files.Files.contains(kStateFile) ? " (state file)" : ""));
    }
    platform::KernelSensors& m_inner;
    fake::FakeFileSystem& m_files;
};

class NoOptionsHost : public OptionsHost
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

// The monitor on boards/desktop.json (or a variant of it), with the kernel's pwm writes recorded.
class DesktopMonitor : public ::testing::Test
{
protected:
    void Start(const nlohmann::json& board = DesktopBoard(), CommandWord word = CommandWord::None)
    {
        std::string error;
        auto description = sim::ParseBoard(board.dump(), error);
        ASSERT_TRUE(description) << error;
        sim = std::make_unique<sim::SimMachine>(*description);
        kernel = std::make_unique<RecordingKernel>(*sim, files);
        machine =
            std::make_unique<platform::Platform>(platform::Platform{*sim, *sim, *sim, store, files, *sim, *kernel});
        monitor = std::make_unique<Monitor>(*machine);
        monitor->ApplyCommandWord(word);
        monitor->StartUp(std::string("/sim"));
        monitor->AlarmWindowCreated();
    }
    SettingsBlock& Settings() { return monitor->State().Settings; }
    const ChipTable& Chips() { return monitor->State().Chips; }
    std::pair<int, int> SlotOf(int slot)
    {
        return {Settings().Slots[static_cast<size_t>(slot)].Chip, Settings().Slots[static_cast<size_t>(slot)].Channel};
    }
    int ChipNamed(const std::string& name)
    {
        for (int i = 0; i < Chips().ChipCount; ++i) {
            if (Chips().Records[static_cast<size_t>(i)].Name == name) {
                return i;
            }
        }
        return -1;
    }
    const MainWindowValue& Row(int slot) { return monitor->MainWindow().Value(slot); }
    nlohmann::json Json() { return nlohmann::json::parse(CliJson(*monitor, sim.get(), false).dump()); }
    const sim::KernelPwmDescription& Pwm(int number) { return *sim->KernelPwm(kBoardNct, number); }

    fake::FakeProgramStore store;
    fake::FakeFileSystem files;
    std::unique_ptr<sim::SimMachine> sim;
    std::unique_ptr<RecordingKernel> kernel;
    std::unique_ptr<platform::Platform> machine;
    std::unique_ptr<Monitor> monitor;
};

// --- default slots and settings.dat --------------------------------------------------------------

TEST_F(DesktopMonitor, WithoutPortAccessTheKernelInputsFillTheSlotsByRule)
{
    Start();
    ASSERT_FALSE(DesktopBoard()["port_access"].get<bool>());
    const int coretemp = ChipNamed("coretemp");
    const int nct = ChipNamed("nct6798");
    ASSERT_GE(coretemp, 0);
    ASSERT_GE(nct, 0);
    EXPECT_LT(ChipNamed("acpitz"), coretemp);                 // sorted by name
    EXPECT_EQ(SlotOf(kSlotCpu), std::make_pair(coretemp, 1)); // "Package id 0"
    EXPECT_EQ(SlotOf(kSlotSys), std::make_pair(nct, 1));      // SYSTIN
    EXPECT_EQ(SlotOf(kSlotAux), std::make_pair(nct, 3));      // AUXTIN0
    EXPECT_EQ(SlotOf(kSlotCpuFan), std::make_pair(nct, 1));
    EXPECT_EQ(SlotOf(kSlotSysFan), std::make_pair(nct, 2));
    EXPECT_EQ(SlotOf(kSlotAuxFan), std::make_pair(nct, 3));
    EXPECT_EQ(Settings().Slots[kSlotCpuFan2].Chip, kNoChip);
    for (int record = 0; record < 3; ++record) {
        EXPECT_EQ(Settings().FanControl[static_cast<size_t>(record)].PwmRegister, record) << record;
    }
    // Voltages by label: Vcore, +5V, AVCC, +3.3V, +12V, 3VSB, Vbat, in9 are channels 1..8.
    EXPECT_EQ(SlotOf(kSlotVCoreA), std::make_pair(nct, 1));
    EXPECT_EQ(SlotOf(kSlot5V), std::make_pair(nct, 2));
    EXPECT_EQ(SlotOf(kSlot3_3V), std::make_pair(nct, 4));
    EXPECT_EQ(SlotOf(kSlot12V), std::make_pair(nct, 5));
    EXPECT_EQ(SlotOf(kSlotVBat), std::make_pair(nct, 7));
    for (const int rail : {kSlotVCoreB, kSlot2_5V, kSlotMinus5V, kSlotMinus12V, kSlot5VSB}) {
        EXPECT_EQ(Settings().Slots[static_cast<size_t>(rail)].Chip, kNoChip) << SlotName(rail); // 3VSB is no 5VSB
    }
    EXPECT_EQ(Row(kSlotCpu).Text.substr(0, 5), "47 \xC2\xB0");
    EXPECT_EQ(Row(kSlot3_3V).Text, "3.36 V");
}

TEST_F(DesktopMonitor, SettingsFileAssignmentsStayAndItsEmptySlotsTakeTheDefaults)
{
    Start(); // the first run finds the chip indexes
    const int coretemp = ChipNamed("coretemp");
    const int nct = ChipNamed("nct6798");
    SettingsBlock block = Settings();
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (KindOfSlot(slot) != SlotKind::Disk) {
            block.Slots[static_cast<size_t>(slot)].Chip = kNoChip;
        }
    }
    block.Slots[kSlotCpu].Chip = static_cast<uint8_t>(coretemp);
    block.Slots[kSlotCpu].Channel = 3; // "Core 1"
    block.Slots[kSlotVCoreB].Chip = static_cast<uint8_t>(nct);
    block.Slots[kSlotVCoreB].Channel = 8; // the unlabelled in9, by the user's choice
    block.FanControl[0].PwmRegister = 2;
    const SettingsImage image = EncodeSettings(block);
    monitor.reset();
    files.Files["/sim/settings.dat"] = std::vector<uint8_t>(image.begin(), image.end());

    Start();
    EXPECT_EQ(SlotOf(kSlotCpu), std::make_pair(coretemp, 3));
    EXPECT_EQ(SlotOf(kSlotVCoreB), std::make_pair(nct, 8));
    EXPECT_EQ(SlotOf(kSlotSys), std::make_pair(nct, 1));
    EXPECT_EQ(SlotOf(kSlotVCoreA), std::make_pair(nct, 1));
    EXPECT_EQ(SlotOf(kSlotCpuFan), std::make_pair(nct, 1));
    EXPECT_EQ(Settings().FanControl[0].PwmRegister, 0); // follows the fan the default gave it
    EXPECT_EQ(Row(kSlotCpu).Text.substr(0, 5), "46 \xC2\xB0");
}

// --- failed reads ----------------------------------------------------------------------------

TEST_F(DesktopMonitor, FailedReadShowsNoValueRaisesNoAlarmAndComesBack)
{
    Start();
    const int coretemp = ChipNamed("coretemp");
    SensorSlot& cpu = Settings().Slots[kSlotCpu];
    cpu.Enabled = 1;
    cpu.AlarmEnabled = 1;
    cpu.MaxLimit = 40; // the last good reading, 47 °C, is above it
    Settings().TraySource = kSourceCpu;
    Settings().TrayFahrenheit = 0;
    sim->SetKernelInput(kBoardCoretemp, 0, std::nullopt);
    monitor->UpdatePass();
    monitor->BuildMainWindow();
    EXPECT_EQ(Row(kSlotCpu).Text, std::string(kNoReadingText));
    EXPECT_FALSE(Row(kSlotCpu).Red);
    EXPECT_EQ(cpu.AlarmActive, 0);
    EXPECT_NE(monitor->Tray().Tip.find("CPU: n/a"), std::string::npos) << monitor->Tray().Tip;
    EXPECT_FALSE(monitor->Tray().Icon); // the program's icon, not the stale 47
    nlohmann::json json = Json();
    EXPECT_TRUE(json["chips"][coretemp]["temps"][0].is_null());
    EXPECT_EQ(json["chips"][coretemp]["temps"][1], 45);
    EXPECT_EQ(json["chips"][coretemp]["labels"]["temps"][0], "Package id 0");

    sim->SetKernelInput(kBoardCoretemp, 0, 50.0);
    monitor->UpdatePass();
    EXPECT_EQ(Row(kSlotCpu).Text.substr(0, 5), "50 \xC2\xB0");
    EXPECT_TRUE(Row(kSlotCpu).Red); // the same limit does alarm on a real value
    ASSERT_TRUE(monitor->Tray().Icon);
    EXPECT_EQ(monitor->Tray().Icon->Text, "50");
    EXPECT_EQ(Json()["chips"][coretemp]["temps"][0], 50);
}

TEST_F(DesktopMonitor, UnboundDriverBetweenPassesLeavesNullsAndNoStaleValues)
{
    Start();
    const int nct = ChipNamed("nct6798");
    sim->UnbindKernelDevice(kBoardNct);
    monitor->UpdatePass();
    const nlohmann::json chip = Json()["chips"][nct];
    for (const char* kind : {"temps", "volts", "fans"}) {
        ASSERT_FALSE(chip[kind].empty()) << kind;
        for (const auto& value : chip[kind]) {
            EXPECT_TRUE(value.is_null()) << kind;
        }
    }
    EXPECT_EQ(Row(kSlotSys).Text, std::string(kNoReadingText));
    EXPECT_EQ(Row(kSlotCpuFan).Text, std::string(kNoReadingText));
    EXPECT_EQ(Row(kSlotVCoreA).Text, std::string(kNoReadingText));
    EXPECT_NE(Row(kSlotCpu).Text, std::string(kNoReadingText));
}

// --- fan control through pwmN ------------------------------------------------------------------

class DesktopFanControl : public DesktopMonitor
{
protected:
    // Fan-control record 1 drives pwm1 from the CPU's 47 °C against 45 °C: 70 %.
    void StartDriving(const nlohmann::json& board = DesktopBoard())
    {
        Start(board, CommandWord::FanControl);
        Settings().Slots[kSlotCpu].Enabled = 1;
        Settings().FanControl[0] = {kSourceCpu, 45, 1, 0};
        kernel->Writes.clear();
        monitor->UpdatePass();
    }
};

TEST_F(DesktopFanControl, DrivingSwitchesToManualAfterWritingDownTheFoundMode)
{
    StartDriving();
    EXPECT_EQ(Pwm(1).enable, 1);
    EXPECT_EQ(Pwm(1).value, hardware::PwmFromDuty(70));
    EXPECT_EQ(Pwm(2).enable, 5); // outputs nobody drives are left to the driver
    EXPECT_EQ(Pwm(2).value, 89);
    EXPECT_EQ(kernel->Writes,
              (std::vector<std::string>{"pwm1_enable=1 (state file)",
                                        "pwm1=" + std::to_string(hardware::PwmFromDuty(70)) + " (state file)"}));
    EXPECT_EQ(files.Text(kStateFile), "pwm\tnct6798\tplatform/nct6775.656\t1\t5\t255\n");
    EXPECT_EQ(Row(kSlotCpuFan).Power, "Power = 70%");
}

TEST_F(DesktopFanControl, CloseWritesFullSpeedThenTheFoundModeAndRemovesTheStateFile)
{
    StartDriving();
    monitor->UpdatePass(); // a second pass does not read the mode again: it is ours now
    kernel->Writes.clear();
    monitor->Close();
    EXPECT_EQ(kernel->Writes, (std::vector<std::string>{"pwm1=255 (state file)", "pwm1_enable=5 (state file)"}));
    EXPECT_EQ(Pwm(1).enable, 5);
    EXPECT_FALSE(files.Files.contains(kStateFile));
}

TEST_F(DesktopFanControl, OptionsOkReleasesBeforeTheNewSettingsDriveAgain)
{
    StartDriving();
    NoOptionsHost host;
    OptionsController options(*monitor, host);
    options.CreateDialog();
    options.Open();
    monitor->State().TempParam.FanControl[0].Nominal = 50; // 47 °C against 50 °C: 20 %
    kernel->Writes.clear();
    options.OkClick();
    EXPECT_EQ(kernel->Writes, (std::vector<std::string>{
                                  "pwm1=255 (state file)", "pwm1_enable=5 (state file)", "pwm1_enable=1 (state file)",
                                  "pwm1=" + std::to_string(hardware::PwmFromDuty(20)) + " (state file)"}));
    EXPECT_EQ(files.Text(kStateFile), "pwm\tnct6798\tplatform/nct6775.656\t1\t5\t255\n"); // not the manual mode

    options.Open();
    monitor->State().TempParam.FanControl[0].Enabled = 0;
    options.OkClick();
    EXPECT_EQ(Pwm(1).enable, 5);
    EXPECT_EQ(Pwm(1).value, 255);
    EXPECT_FALSE(files.Files.contains(kStateFile));
}

TEST_F(DesktopFanControl, LeftoverStateFileOfACrashedRunIsRestoredAtTheNextStart)
{
    nlohmann::json board = DesktopBoard();
    board["kernel"]["devices"][kBoardNct]["pwm"][1]["enable"] = 1; // as the crashed run left it
    board["kernel"]["devices"][kBoardNct]["pwm"][1]["value"] = 40;
    files.Files[kStateFile] = {};
    for (const char c : std::string("pwm\tnct6798\tplatform/nct6775.656\t2\t5\n"
                                    "pwm\tnct6798\tplatform/nct6775.999\t3\t2\n" // gone since: left alone
                                    "\x01garbage\tline\n")) {
        files.Files[kStateFile].push_back(static_cast<uint8_t>(c));
    }
    Start(board, CommandWord::Debug);
    EXPECT_EQ(Pwm(2).enable, 5);
    EXPECT_EQ(Pwm(2).value, 255);
    EXPECT_EQ(Pwm(3).enable, 5);
    EXPECT_EQ(Pwm(3).value, 128);
    EXPECT_FALSE(files.Files.contains(kStateFile));
    const std::string log = files.Text("/sim/debug.txt");
    EXPECT_NE(log.find("Restored pwm2_enable = 5 of nct6798 left by an earlier run"), std::string::npos) << log;
    EXPECT_NE(log.find("Could not restore pwm3_enable = 2 of nct6798"), std::string::npos) << log;
}

TEST_F(DesktopFanControl, OutputThatIsNotWritableSaysWhyAndIsNeverWritten)
{
    nlohmann::json board = DesktopBoard();
    board["kernel"]["devices"][kBoardNct]["pwm"][0]["writable"] = false;
    StartDriving(board);
    const int replacements = files.Replacements;
    monitor->UpdatePass();
    monitor->UpdatePass();
    // Neither the output nor the state file is touched, pass after pass.
    EXPECT_EQ(kernel->Writes, std::vector<std::string>{});
    EXPECT_EQ(files.Replacements, replacements);
    EXPECT_EQ(Pwm(1).enable, 5);
    EXPECT_EQ(Pwm(1).value, 102);
    EXPECT_FALSE(files.Files.contains(kStateFile));

    NoOptionsHost host;
    OptionsController options(*monitor, host);
    options.CreateDialog();
    const std::vector<TreeNode>& tree = options.Presenter().Tree();
    for (size_t node = 0; node < tree.size(); ++node) {
        if (tree[node].Slot == kSlotCpuFan) {
            options.Presenter().TreeClick(static_cast<int>(node));
        }
    }
    ASSERT_EQ(options.Presenter().CurrentSlot(), kSlotCpuFan);
    EXPECT_EQ(options.Presenter().Sensor().RegisterList.Entries, (std::vector<std::string>{"pwm1", "pwm2", "pwm3"}));
    EXPECT_EQ(options.Presenter().Sensor().FanProblem,
              "pwm1 is not writable: fan control through the kernel needs root");
    options.Presenter().RegisterChosen(1);
    EXPECT_EQ(options.Presenter().Sensor().FanProblem, "");
}

TEST_F(DesktopFanControl, SourceWithoutAReadingDrivesItsFanAtFullSpeed)
{
    StartDriving();
    sim->SetKernelInput(kBoardCoretemp, 0, std::nullopt);
    monitor->UpdatePass();
    EXPECT_EQ(monitor->State().FanDuty.Get(1), 100);
    EXPECT_EQ(Pwm(1).value, 255);
    EXPECT_EQ(Pwm(1).enable, 1);
    EXPECT_EQ(Row(kSlotCpuFan).Power, "Power = 100%");
}

} // namespace
} // namespace calventa::app
