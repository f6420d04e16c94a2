// Random kernel sections through the whole monitor: start-up, passes with failing and absurd
// reads, a driver unbound between passes, fan control and its release. The sanitizer build
// proves that no label, count or index leaves the chip table.
#include <cmath>
#include <random>
#include <set>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cli/cli_output.h"
#include "app/monitor.h"
#include "core/fakes.h"
#include "platform/sim/sim_machine.h"

namespace calventa::app {
namespace {

constexpr int kRounds = 300;

class BoardMaker
{
public:
    explicit BoardMaker(uint32_t seed) : m_rng(seed) {}

    int Below(int limit) { return std::uniform_int_distribution<int>(0, limit - 1)(m_rng); }

    std::string Bytes(int maxLength)
    {
        std::string text(static_cast<size_t>(Below(maxLength + 1)), '\0');
        for (char& c : text) {
            c = static_cast<char>(Below(256));
        }
        return text;
    }

    std::string Name()
    {
        static const char* const kNames[] = {"coretemp", "k10temp",   "nct6798", "it8688", "acpitz",
                                             "nvme",     "drivetemp", "",        "jc42",   "w83627ehf"};
        return Below(5) == 0 ? Bytes(80) : kNames[Below(static_cast<int>(std::size(kNames)))];
    }

    std::string Label()
    {
        static const char* const kLabels[] = {"Package id 0", "Tctl", "Tdie", "SYSTIN", "AUXTIN0", "Vcore", "+3.3V",
                                              "3VSB",         "5VSB", "Vbat", "-12V",   "",        "Core 0"};
        return Below(3) == 0 ? Bytes(300) : kLabels[Below(static_cast<int>(std::size(kLabels)))];
    }

    std::optional<double> Value()
    {
        switch (Below(9)) {
        case 0:
            return std::nullopt;
        case 1:
            return 1e300;
        case 2:
            return -1e300;
        case 3:
            return 4e9;
        case 4:
            return -40.5;
        case 5:
            return std::numeric_limits<double>::quiet_NaN();
        case 6:
            return std::numeric_limits<double>::infinity();
        default:
            return Below(20000) / 100.0;
        }
    }

    sim::BoardDescription Board()
    {
        sim::BoardDescription board;
        board.portAccess = Below(2) == 0;
        const int devices = Below(8) == 0 ? 30 + Below(12) : Below(10);
        for (int d = 0; d < devices; ++d) {
            sim::KernelDeviceDescription device;
            device.name = Name();
            device.busPath = Below(4) == 0 ? Bytes(120) : "platform/dev." + std::to_string(Below(6));
            const int inputs = Below(6) == 0 ? 60 + Below(40) : Below(12);
            for (int i = 0; i < inputs; ++i) {
                sim::KernelInputDescription input;
                input.kind = static_cast<platform::KernelInputKind>(Below(3));
                input.number = Below(256);
                input.label = Label();
                input.value = Value();
                device.inputs.push_back(std::move(input));
            }
            const int pwms = Below(4) == 0 ? 20 : Below(4);
            for (int p = 1; p <= pwms; ++p) { // pwmN exists once per device, as in sysfs
                device.pwms.push_back({p, Below(6), Below(256), Below(4) != 0});
            }
            if (Below(5) == 0) {
                device.ataDrive = Below(3);
            }
            board.kernel.push_back(std::move(device));
        }
        return board;
    }

private:
    std::mt19937 m_rng;
};

TEST(KernelBoardFuzz, RandomKernelSectionsKeepEveryIndexInBoundsAndEveryPwmModeRestored)
{
    BoardMaker make(20260315);
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const sim::BoardDescription board = make.Board();
        sim::SimMachine machine(board);
        core::fake::FakeProgramStore store;
        core::fake::FakeFileSystem files;
        if (make.Below(6) == 0) { // a state file a crashed run (or anyone) left behind
            const std::string leftover = "pwm\t" + (board.kernel.empty() ? "x" : board.kernel[0].name) + "\t" +
                                         make.Bytes(30) + "\t1\t" + std::to_string(make.Below(300)) + "\n" +
                                         make.Bytes(200);
            files.Files["/sim/pwm-restore.txt"] = std::vector<uint8_t>(leftover.begin(), leftover.end());
        }
        platform::Platform platform{machine, machine, machine, store, files, machine, machine};

        Monitor monitor(platform);
        monitor.ApplyCommandWord(CommandWord::FanControl);
        monitor.StartUp(std::string("/sim"));
        monitor.AlarmWindowCreated();
        // Modes as the search left them (it may have restored a leftover file's entry).
        std::vector<std::vector<int>> modes;
        for (size_t d = 0; d < board.kernel.size(); ++d) {
            modes.emplace_back();
            for (const sim::KernelPwmDescription& pwm : board.kernel[d].pwms) {
                modes.back().push_back(machine.KernelPwm(d, pwm.number)->enable);
            }
        }
        core::SettingsBlock& settings = monitor.State().Settings;
        for (core::FanControlRecord& record : settings.FanControl) {
            record.Enabled = static_cast<uint8_t>(make.Below(2));
            record.Source = static_cast<uint8_t>(core::kSourceCpu + make.Below(3));
            record.Nominal = make.Below(90);
            if (make.Below(3) == 0) {
                record.PwmRegister = static_cast<uint8_t>(make.Below(3) == 0 ? 255 : make.Below(24));
            }
        }
        std::set<size_t> unbound;
        for (int pass = 0; pass < 3; ++pass) {
            for (size_t d = 0; d < board.kernel.size(); ++d) {
                if (!board.kernel[d].inputs.empty() && make.Below(3) == 0) {
                    machine.SetKernelInput(
                        d, static_cast<size_t>(make.Below(static_cast<int>(board.kernel[d].inputs.size()))),
                        make.Value());
                }
            }
            if (!board.kernel.empty() && make.Below(8) == 0) {
                const size_t d = static_cast<size_t>(make.Below(static_cast<int>(board.kernel.size())));
                machine.UnbindKernelDevice(d);
                unbound.insert(d);
            }
            monitor.UpdatePass();
        }
        monitor.BuildMainWindow();
        monitor.ShowAlarmWindow();

        const core::ChipTable& chips = monitor.State().Chips;
        ASSERT_LE(chips.ChipCount, core::kChipCapacity);
        for (int slot = 0; slot < core::kSlotCount; ++slot) {
            const core::SensorSlot& s = settings.Slots[static_cast<size_t>(slot)];
            if (core::KindOfSlot(slot) != core::SlotKind::Disk) {
                EXPECT_TRUE(s.Chip == core::kNoChip || s.Chip < chips.ChipCount) << core::SlotName(slot);
            }
        }
        for (int i = 0; i < chips.ChipCount; ++i) {
            const core::ChipRecord& chip = chips.Records[static_cast<size_t>(i)];
            ASSERT_TRUE(chip.IsKernelDevice());
            EXPECT_LE(chip.TempCount, core::kKernelTempChannels);
            EXPECT_LE(chip.VoltCount, core::kKernelVoltChannels);
            EXPECT_LE(chip.FanCount, core::kKernelFanChannels);
            EXPECT_LE(chip.PwmCount, core::kKernelPwmOutputs);
            EXPECT_EQ(chip.TempLabels.size(), chip.TempCount);
            EXPECT_EQ(chip.VoltLabels.size(), chip.VoltCount);
            EXPECT_EQ(chip.FanLabels.size(), chip.FanCount);
            EXPECT_EQ(chip.PwmProblems.size(), chip.PwmCount);
            EXPECT_LE(chip.Name.size(), core::kChipNameMax);
            for (const auto* labels : {&chip.TempLabels, &chip.VoltLabels, &chip.FanLabels}) {
                for (const std::string& label : *labels) {
                    EXPECT_LE(label.size(), core::kChannelLabelMax);
                }
            }
            for (int channel = 1; channel <= chip.VoltCount; ++channel) {
                EXPECT_FALSE(std::isnan(chip.Volt(channel)));
            }
        }
        std::string text;
        ASSERT_NO_THROW(
            text = CliJson(monitor, &machine, false).dump(2, ' ', false, nlohmann::json::error_handler_t::replace));
        const nlohmann::json json = nlohmann::json::parse(text, nullptr, false);
        ASSERT_FALSE(json.is_discarded());
        EXPECT_EQ(json["chips"].size(), chips.ChipCount);

        monitor.CloseQuery();
        monitor.Close();
        for (size_t d = 0; d < board.kernel.size(); ++d) {
            for (size_t p = 0; p < board.kernel[d].pwms.size() && !unbound.contains(d); ++p) {
                EXPECT_EQ(machine.KernelPwm(d, board.kernel[d].pwms[p].number)->enable, modes[d][p])
                    << "device " << d << " pwm" << board.kernel[d].pwms[p].number;
            }
        }
        EXPECT_FALSE(files.Files.contains("/sim/pwm-restore.txt"));
    }
}

} // namespace
} // namespace calventa::app
