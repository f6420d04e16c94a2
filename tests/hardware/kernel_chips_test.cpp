// The kernel's hwmon devices as chip records: the label rules, the state file of driven pwm
// outputs, and the search, reading and fan control on simulated boards.
#include "hardware/kernel_chips.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include <gtest/gtest.h>

#include "hardware/fan_control.h"
#include "sim_bench.h"

namespace calventa::hardware {
namespace {

using namespace core;
using testing::IntelBoard;
using testing::SimBench;

// --- voltage rails by label ----------------------------------------------------------------

struct RailCase
{
    const char* name;
    const char* label;
    int slot;
};

class VoltageSlotOfLabelTest : public ::testing::TestWithParam<RailCase>
{
};

TEST_P(VoltageSlotOfLabelTest, NamesOnlyTheRailTheLabelSays)
{
    EXPECT_EQ(VoltageSlotOfLabel(GetParam().label), GetParam().slot) << "label \"" << GetParam().label << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Labels, VoltageSlotOfLabelTest,
    ::testing::Values(RailCase{"Vcore", "Vcore", kSlotVCoreA}, RailCase{"Plus3_3V", "+3.3V", kSlot3_3V},
                      RailCase{"ThreeVcc", "3VCC", kSlot3_3V}, RailCase{"FiveVStandby", "5VSB", kSlot5VSB},
                      RailCase{"Battery", "Vbat", kSlotVBat}, RailCase{"Minus12V", "-12V", kSlotMinus12V},
                      RailCase{"Plus12VSpaced", "+12 V", kSlot12V}, RailCase{"Minus5V", "-5V", kSlotMinus5V},
                      RailCase{"ThreeVStandbyIsNoRail", "3VSB", -1}, RailCase{"AnalogSupplyIsNoRail", "AVCC", -1},
                      RailCase{"SysfsNameIsNoRail", "in4", -1}, RailCase{"EmptyIsNoRail", "", -1}),
    [](const ::testing::TestParamInfo<RailCase>& rail) { return std::string(rail.param.name); });

// --- CPU temperature choice, label display ---------------------------------------------------

TEST(KernelLabelRules, CpuTemperatureRankPrefersThePackageAndTheDieOverCoresAndControlValues)
{
    EXPECT_GT(CpuTemperatureRank("k10temp", "Tdie"), CpuTemperatureRank("k10temp", "Tctl"));
    EXPECT_GT(CpuTemperatureRank("k10temp", "Tctl"), 0);
    EXPECT_GT(CpuTemperatureRank("coretemp", "Package id 0"), CpuTemperatureRank("coretemp", "Core 0"));
    EXPECT_GT(CpuTemperatureRank("coretemp", "Core 0"), 0);
    EXPECT_EQ(CpuTemperatureRank("k10temp", "Tccd1"), 0);
    EXPECT_EQ(CpuTemperatureRank("nct6798", "CPUTIN"), 0); // a board input near the socket, not the die
    EXPECT_EQ(CpuTemperatureRank("nvme", "Composite"), 0);
    EXPECT_EQ(CpuTemperatureRank("acpitz", "temp1"), 0);
}

bool ValidUtf8(const std::string& text)
{
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80         ? 1
                              : (lead >> 5) == 6  ? 2
                              : (lead >> 4) == 14 ? 3
                              : (lead >> 3) == 30 ? 4
                                                  : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        for (size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

TEST(KernelLabelRules, DisplayLabelReplacesControlBytesAndCutsOnACharacterBoundary)
{
    EXPECT_EQ(DisplayLabel(std::string("a\tb\nc\x7F\0d", 8)), "a?b?c??d");
    EXPECT_EQ(DisplayLabel("Package id 0"), "Package id 0");
    EXPECT_EQ(DisplayLabel(std::string(100, 'x')), std::string(kChannelLabelMax, 'x'));

    std::string twoByte;
    std::string threeByte;
    std::string fourByte;
    for (int i = 0; i < 40; ++i) {
        twoByte += "\xC3\xA9";          // é: 64 bytes fit exactly 32 of them
        threeByte += "\xE2\x82\xAC";    // €: 21 of them make 63 bytes
        fourByte += "\xF0\x9F\x8C\xA1"; // 🌡: 16 of them make 64 bytes
    }
    for (const std::string& label : {twoByte, threeByte, "x" + threeByte, "xx" + fourByte}) {
        const std::string shown = DisplayLabel(label);
        EXPECT_LE(shown.size(), kChannelLabelMax);
        EXPECT_GE(shown.size(), kChannelLabelMax - 3);
        EXPECT_TRUE(ValidUtf8(shown)) << shown;
        EXPECT_EQ(label.substr(0, shown.size()), shown);
    }
}

// --- the state file of driven outputs --------------------------------------------------------

TEST(KernelPwmStateFile, RoundTripKeepsEveryEntryAlsoWithLongNames)
{
    const std::vector<KernelPwmState> entries{
        {"nct6798", "platform/nct6775.656", 1, 5},
        {"it8688", "platform/it87.2624", 3, 2},
        {"lm63", "pci0000:00/0000:00:1f.4/i2c-0/0-004c/some/deep/path/that/is/longer/than/a/label/may/be", 255, 0},
        {std::string(200, 'n'), std::string(255, 'b'), 2, 255},
    };
    const std::vector<KernelPwmState> decoded = DecodeKernelPwmState(EncodeKernelPwmState(entries));
    ASSERT_EQ(decoded.size(), entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(decoded[i].Device, entries[i].Device) << i;
        EXPECT_EQ(decoded[i].BusPath, entries[i].BusPath) << i;
        EXPECT_EQ(decoded[i].Pwm, entries[i].Pwm) << i;
        EXPECT_EQ(decoded[i].Mode, entries[i].Mode) << i;
    }
}

TEST(KernelPwmStateFile, HostileContentKeepsOnlyTheValidLines)
{
    using namespace std::string_literals;
    const std::string text = "garbage\n"
                             "pwm\tnct6798\tplatform/nct6775.656\t1\t5\n"
                             "pwm\ta\tb\t99999999999999999999999\t1\n"
                             "pwm\ta\tb\t1\t-1\n"
                             "pwm\ta\tb\t0\t2\n"
                             "pwm\ta\tb\t256\t2\n"
                             "pwm\ta\tb\t1\t256\n"
                             "pwm\ta\tb\t+1\t2\n"
                             "pwm\ta\tb\t1\n"
                             "pwm\ta\tb\t1\t2\textra\n"
                             "PWM\ta\tb\t1\t2\n"
                             "\n\n\t\t\t\t\n"
                             "pwm\ta\tb\t1\0\t2\n"
                             "pwm\tlm63\ti2c-0/0-004c\t2\t0"s +
                             "\npwm\t" + std::string(256, 'n') + "\tb\t1\t2\n";
    const std::vector<KernelPwmState> decoded = DecodeKernelPwmState(text);
    ASSERT_EQ(decoded.size(), 2u);
    EXPECT_EQ(decoded[0].Device, "nct6798");
    EXPECT_EQ(decoded[0].Pwm, 1);
    EXPECT_EQ(decoded[0].Mode, 5);
    EXPECT_EQ(decoded[1].Device, "lm63");
    EXPECT_EQ(decoded[1].BusPath, "i2c-0/0-004c");
    EXPECT_EQ(decoded[1].Mode, 0);
}

TEST(KernelPwmStateFile, RandomBytesOfAnyLengthDecodeToInRangeEntriesOnly)
{
    std::mt19937 rng(4711);
    std::uniform_int_distribution<int> byte(0, 255);
    const char pieces[] = {'p', 'w', 'm', '\t', '\n', '1', '2', '5', '\0', '-', 'x'};
    for (const size_t size : {size_t{0}, size_t{1}, size_t{37}, size_t{4096}, size_t{100 * 1024}}) {
        std::string text(size, '\0');
        for (char& c : text) {
            // Mostly the file's own alphabet, so that some lines come close to valid ones.
            c = byte(rng) < 200 ? pieces[static_cast<size_t>(byte(rng)) % sizeof pieces] : static_cast<char>(byte(rng));
        }
        for (const KernelPwmState& entry : DecodeKernelPwmState(text)) {
            EXPECT_GE(entry.Pwm, 1);
            EXPECT_LE(entry.Pwm, 255);
            EXPECT_GE(entry.Mode, 0);
            EXPECT_LE(entry.Mode, 255);
            EXPECT_LE(entry.Device.size(), 255u);
            EXPECT_EQ(entry.Device.find_first_of("\t\n"), std::string::npos);
            EXPECT_EQ(entry.BusPath.find_first_of("\t\n"), std::string::npos);
        }
    }
}

// --- search ------------------------------------------------------------------------------------

std::string Device(const std::string& name, const std::string& busPath, const std::string& inputs,
                   const std::string& extra = "")
{
    return R"({"name": ")" + name + R"(", "bus_path": ")" + busPath + R"(", "inputs": [)" + inputs + "]" +
           (extra.empty() ? "" : ", " + extra) + "}";
}

std::string Temp(int number, const std::string& label, double value)
{
    return R"({"kind": "temp", "number": )" + std::to_string(number) + R"(, "label": ")" + label + R"(", "value": )" +
           std::to_string(value) + "}";
}

std::string KernelSection(const std::vector<std::string>& devices)
{
    std::string list;
    for (const std::string& device : devices) {
        list += (list.empty() ? "" : ", ") + device;
    }
    return R"("kernel": {"devices": [)" + list + "]}";
}

std::string KernelBoard(const std::vector<std::string>& devices)
{
    return "{" + KernelSection(devices) + "}";
}

std::vector<std::pair<std::string, std::string>> ListedChips(SimBench& bench)
{
    std::vector<std::pair<std::string, std::string>> chips;
    for (int i = 0; i < bench.State->Chips.ChipCount; ++i) {
        chips.emplace_back(bench.Chip(i).Name, bench.Chip(i).KernelBusPath);
    }
    return chips;
}

TEST(KernelSearch, OrderIsByNameThenBusPathWhateverOrderTheKernelListsThemIn)
{
    std::vector<std::string> devices{
        Device("nct6798", "platform/nct6775.656", Temp(1, "SYSTIN", 30)),
        Device("coretemp", "platform/coretemp.1", Temp(1, "Package id 1", 41)),
        Device("acpitz", "LNXSYSTM:00/LNXTHERM:00", Temp(1, "", 27)),
        Device("coretemp", "platform/coretemp.0", Temp(1, "Package id 0", 40)),
    };
    const std::vector<std::pair<std::string, std::string>> expected{{"acpitz", "LNXSYSTM:00/LNXTHERM:00"},
                                                                    {"coretemp", "platform/coretemp.0"},
                                                                    {"coretemp", "platform/coretemp.1"},
                                                                    {"nct6798", "platform/nct6775.656"}};
    std::mt19937 rng(7);
    for (int round = 0; round < 6; ++round) {
        std::shuffle(devices.begin(), devices.end(), rng);
        SimBench bench(KernelBoard(devices));
        ASSERT_TRUE(bench.StartAndSearch());
        EXPECT_EQ(ListedChips(bench), expected) << "round " << round;
        // The CPU slot follows the device, not its place in the kernel's list.
        EXPECT_EQ(bench.Slot(kSlotCpu).Chip, 1);
        EXPECT_EQ(bench.State->Chips.Temp(1, 1), 40);
    }
}

TEST(KernelSearch, DevicesWithoutNameOrInputsAreSkippedWithALogLine)
{
    SimBench bench(KernelBoard({Device("", "i2c-0/0-0048", Temp(1, "", 20)), Device("jc42", "i2c-0/0-0018", ""),
                                Device("k10temp", "pci0000:00/0000:00:18.3", Temp(1, "Tctl", 50))}));
    ASSERT_TRUE(bench.StartAndSearch());
    ASSERT_EQ(bench.State->Chips.ChipCount, 1);
    EXPECT_EQ(bench.Chip(0).Name, "k10temp");
    const auto log = bench.LogMessages();
    EXPECT_NE(std::find(log.begin(), log.end(), "Kernel device without a name at i2c-0/0-0048 skipped"), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), "Kernel device jc42 (i2c-0/0-0018) has no inputs, skipped"), log.end());
}

TEST(KernelSearch, DriveMonitorIsLeftOutOnlyWhenTheDiskPassListsItsDrive)
{
    const std::string board =
        KernelBoard({Device("drivetemp", "pci0000:00/0000:00:17.0/ata1", Temp(1, "", 36), R"("ata_drive": 1)"),
                     Device("drivetemp", "pci0000:00/0000:00:17.0/ata2", Temp(1, "", 38), R"("ata_drive": 2)")});
    SimBench bench(board);
    bench.State->Disks.DiskCount = 1;
    bench.State->Disks.DriveNumbers[0] = 1;
    ASSERT_TRUE(bench.StartAndSearch());
    ASSERT_EQ(bench.State->Chips.ChipCount, 1);
    EXPECT_EQ(bench.Chip(0).KernelBusPath, "pci0000:00/0000:00:17.0/ata2");

    SimBench withoutDisks(board);
    ASSERT_TRUE(withoutDisks.StartAndSearch());
    EXPECT_EQ(withoutDisks.State->Chips.ChipCount, 2);
}

TEST(KernelSearch, ChannelsBeyondTheRecordsCapacityAreDroppedAndLogged)
{
    std::string inputs;
    for (int n = 1; n <= 70; ++n) {
        inputs += (n > 1 ? ", " : "") + Temp(n, "Core " + std::to_string(n - 1), 30 + n);
    }
    for (int n = 0; n < 40; ++n) {
        inputs += R"(, {"kind": "in", "number": )" + std::to_string(n) + R"(, "value": 1.0})";
    }
    for (int n = 1; n <= 20; ++n) {
        inputs += R"(, {"kind": "fan", "number": )" + std::to_string(n) + R"(, "value": 900})";
    }
    std::string pwm;
    for (int n = 1; n <= 20; ++n) {
        pwm += (n > 1 ? ", " : "") + std::string(R"({"number": )") + std::to_string(n) + "}";
    }
    SimBench bench(KernelBoard({Device("nct6799", "platform/nct6775.656", inputs, R"("pwm": [)" + pwm + "]")}));
    ASSERT_TRUE(bench.StartAndSearch());
    const ChipRecord& chip = bench.Chip(0);
    EXPECT_EQ(chip.TempCount, kKernelTempChannels);
    EXPECT_EQ(chip.VoltCount, kKernelVoltChannels);
    EXPECT_EQ(chip.FanCount, kKernelFanChannels);
    EXPECT_EQ(chip.PwmCount, kKernelPwmOutputs);
    EXPECT_EQ(chip.Temp(kKernelTempChannels), 30 + kKernelTempChannels); // the first 64 kept, in order
    EXPECT_EQ(chip.Label(ChannelKind::Temperature, kKernelTempChannels), "Core 63");
    EXPECT_EQ(chip.PwmLabels.back(), "pwm16");
    const auto log = bench.LogMessages();
    EXPECT_NE(
        std::find(log.begin(), log.end(),
                  "Kernel device nct6799 (platform/nct6775.656): 22 inputs beyond the record's capacity left out"),
        log.end());
}

TEST(KernelSearch, TableFullOfDevicesStopsAtTheCapacityAfterThePortChips)
{
    std::vector<std::string> devices;
    for (int i = 0; i < 40; ++i) {
        devices.push_back(Device("jc42", "i2c-0/0-00" + std::to_string(10 + i), Temp(1, "", 30)));
    }
    SimBench bench(IntelBoard(R"("smbus": [{"address": "0x48", "model": "LM75"}], )" + KernelSection(devices)));
    ASSERT_TRUE(bench.StartAndSearch());
    EXPECT_EQ(bench.State->Chips.ChipCount, kChipCapacity);
    EXPECT_EQ(bench.Chip(0).Name, "LM75");
    EXPECT_FALSE(bench.Chip(0).IsKernelDevice());
    EXPECT_EQ(bench.Chip(1).KernelBusPath, "i2c-0/0-0010");
    EXPECT_EQ(bench.Chip(kChipCapacity - 1).KernelBusPath, "i2c-0/0-0040");
    const auto log = bench.LogMessages();
    EXPECT_NE(
        std::find(log.begin(), log.end(), "Chip table full: kernel device jc42 (i2c-0/0-0041) and later ones left out"),
        log.end());
}

// A board monitor that publishes only some outputs: fan channel k takes the output whose
// number is its fan's, not the k-th output.
TEST(KernelSearch, FanControlRecordsTakeThePwmOutputOfTheirFansNumber)
{
    const std::string fans = R"({"kind": "fan", "number": 1, "value": 900}, {"kind": "fan", "number": 2, "value": 800},
                                {"kind": "fan", "number": 3, "value": 700})";
    SimBench bench(KernelBoard({Device("nct6798", "platform/nct6775.656", fans,
                                       R"("pwm": [{"number": 2, "enable": 5}, {"number": 3, "enable": 5}])")}));
    ASSERT_TRUE(bench.StartAndSearch());
    EXPECT_EQ(bench.State->Settings.FanControl[0].PwmRegister, kNoChip); // fan1 has no pwm1
    EXPECT_EQ(bench.State->Settings.FanControl[1].PwmRegister, 0);       // fan2: pwm2, the first output
    EXPECT_EQ(bench.State->Settings.FanControl[2].PwmRegister, 1);       // fan3: pwm3
}

TEST(KernelSearch, KernelChipsFollowThePortChipsAndFillOnlyTheSlotsTheyLeaveEmpty)
{
    SimBench bench(IntelBoard(R"("smbus": [{"address": "0x48", "model": "LM75"}], )" +
                              KernelSection({Device("coretemp", "platform/coretemp.0", Temp(1, "Package id 0", 47))})));
    ASSERT_TRUE(bench.StartAndSearch());
    ASSERT_EQ(bench.State->Chips.ChipCount, 2);
    EXPECT_EQ(bench.Chip(0).Name, "LM75");
    EXPECT_EQ(bench.Chip(1).Name, "coretemp");
    EXPECT_EQ(bench.Chip(1).ChipCode, chip_code::kKernelDevice);
    EXPECT_EQ(bench.Slot(kSlotAux).Chip, 0); // the port search's default stays
    EXPECT_EQ(bench.Slot(kSlotCpu).Chip, 1); // and the slot it left empty takes the kernel's input
    EXPECT_EQ(bench.State->Chips.Temp(1, 1), 47);
}

// --- reading -----------------------------------------------------------------------------------

class KernelReading : public ::testing::Test
{
protected:
    KernelReading()
        : bench(KernelBoard({Device("coretemp", "platform/coretemp.0", Temp(1, "Package id 0", 47.2)),
                             Device("nct6798", "platform/nct6775.656",
                                    Temp(1, "SYSTIN", 33) + R"(, {"kind": "in", "number": 0, "label": "Vcore",
                                        "value": 1.25}, {"kind": "fan", "number": 1, "value": 1054})",
                                    R"("pwm": [{"number": 1, "enable": 5, "value": 102}])")}))
    {
        EXPECT_TRUE(bench.StartAndSearch());
    }
    SimBench bench;
};

TEST_F(KernelReading, FailedReadHasNoCurrentValueUntilAGoodReadReturns)
{
    ASSERT_TRUE(bench.State->Chips.HasReading(ChannelKind::Temperature, 0, 1));
    EXPECT_EQ(bench.State->Chips.Temp(0, 1), 48); // whole degrees, rounded up
    bench.Sim->SetKernelInput(0, 0, std::nullopt);
    bench.Sim->SetKernelInput(1, 2, std::nullopt);
    bench.UpdatePass();
    EXPECT_FALSE(bench.State->Chips.HasReading(ChannelKind::Temperature, 0, 1));
    EXPECT_FALSE(bench.State->Chips.HasReading(ChannelKind::Fan, 1, 1));
    EXPECT_TRUE(bench.State->Chips.HasReading(ChannelKind::Temperature, 1, 1));
    bench.Sim->SetKernelInput(0, 0, 52.0);
    bench.UpdatePass();
    EXPECT_TRUE(bench.State->Chips.HasReading(ChannelKind::Temperature, 0, 1));
    EXPECT_EQ(bench.State->Chips.Temp(0, 1), 52);
}

TEST_F(KernelReading, UnboundDriverLeavesEveryChannelWithoutAValue)
{
    bench.Sim->UnbindKernelDevice(1);
    bench.UpdatePass();
    EXPECT_FALSE(bench.State->Chips.HasReading(ChannelKind::Temperature, 1, 1));
    EXPECT_FALSE(bench.State->Chips.HasReading(ChannelKind::Voltage, 1, 1));
    EXPECT_FALSE(bench.State->Chips.HasReading(ChannelKind::Fan, 1, 1));
    EXPECT_TRUE(bench.State->Chips.HasReading(ChannelKind::Temperature, 0, 1));
}

TEST_F(KernelReading, CorrectionsApplyOncePerGoodReadAndNotToAFailedOne)
{
    bench.Slot(kSlotCpu).Correction = 2.0f;
    bench.Slot(kSlotVCoreA).Correction = 0.5f;
    ASSERT_EQ(bench.Slot(kSlotVCoreA).Chip, 1);
    bench.UpdatePass();
    bench.UpdatePass();
    EXPECT_EQ(bench.State->Chips.Temp(0, 1), 50);
    EXPECT_FLOAT_EQ(bench.State->Chips.Volt(1, 1), 1.75f);
    bench.Sim->SetKernelInput(0, 0, std::nullopt);
    bench.UpdatePass();
    bench.UpdatePass();
    EXPECT_EQ(bench.State->Chips.Temp(0, 1), 50); // the last value is kept, not corrected again
    bench.Sim->SetKernelInput(0, 0, 40.0);
    bench.UpdatePass();
    EXPECT_EQ(bench.State->Chips.Temp(0, 1), 42);
}

TEST_F(KernelReading, AbsurdValuesStayFiniteAndInRange)
{
    bench.Sim->SetKernelInput(0, 0, 1e300);
    bench.Sim->SetKernelInput(1, 1, -1e300);
    bench.Sim->SetKernelInput(1, 2, 1e12);
    bench.UpdatePass();
    EXPECT_EQ(bench.State->Chips.Temp(0, 1), std::numeric_limits<int32_t>::max());
    EXPECT_TRUE(std::isfinite(bench.State->Chips.Volt(1, 1)));
    EXPECT_LT(bench.State->Chips.Volt(1, 1), 0.0f);
    EXPECT_EQ(bench.State->Chips.Fan(1, 1), std::numeric_limits<int32_t>::max());
}

// --- fan control after a crash -----------------------------------------------------------------

// A run that dies while driving leaves the state file; the next search puts the mode back. The
// device is found again by name and bus path, also when these are longer than a shown label.
TEST(KernelPwmRestore, NextSearchRestoresTheModeARunLeftBehindAlsoForLongNames)
{
    const std::string longPath = "pci0000:00/0000:00:01.2/0000:02:00.0/0000:03:08.0/0000:05:00.0/i2c-7/7-004c";
    const std::string board = KernelBoard(
        {Device("nct6798", longPath, Temp(1, "SYSTIN", 33) + R"(, {"kind": "fan", "number": 1, "value": 900})",
                R"("pwm": [{"number": 1, "enable": 5, "value": 102}])")});
    SimBench bench(board);
    ASSERT_TRUE(bench.StartAndSearch());
    bench.Slot(kSlotSys).Enabled = 1;
    bench.State->Settings.FanControl[0] = {kSourceSys, 30, 1, 0};
    bench.Engine->UpdateFanControl();
    ASSERT_EQ(bench.Sim->KernelPwm(0, 1)->enable, 1);
    EXPECT_EQ(bench.Sim->KernelPwm(0, 1)->value, PwmFromDuty(80));
    ASSERT_TRUE(bench.Files.Files.contains("/sim/pwm-restore.txt"));

    bench.Engine = std::make_unique<HardwareEngine>(*bench.State); // died without releasing
    ASSERT_EQ(bench.Sim->KernelPwm(0, 1)->enable, 1);
    bench.Engine->SearchKernelChips();
    EXPECT_EQ(bench.Sim->KernelPwm(0, 1)->enable, 5);
    EXPECT_EQ(bench.Sim->KernelPwm(0, 1)->value, 255);
    EXPECT_FALSE(bench.Files.Files.contains("/sim/pwm-restore.txt"));
}

} // namespace
} // namespace calventa::hardware
