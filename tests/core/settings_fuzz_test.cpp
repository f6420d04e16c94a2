// Random settings.dat contents through every consumer of the settings block. When a new
// consumer of the block (alarm test, presenters, fan control, …) arrives, add its call to
// RunEveryConsumer: the sanitizer build then proves it stays inside its arrays.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/chip_table.h"
#include "core/fakes.h"
#include "core/monitor_state.h"
#include "core/settings_block.h"
#include "core/value_text.h"

namespace calventa::core {
namespace {

constexpr int kIterations = 3000;

// Sums lengths so the optimiser cannot drop the calls.
size_t RunEveryConsumer(const SettingsBlock& block, const ChipTable& chips, const FanDutyTable& duties)
{
    size_t sink = 0;
    for (int k = 0; k < kSlotCount; ++k) {
        const SensorSlot& slot = block.Slots[static_cast<size_t>(k)];
        sink += std::string(SlotName(k)).size() + std::string(SlotLabel(k)).size();
        sink += GetFahrString(slot.MinLimit).size() + GetFahrString(slot.MaxLimit).size();
        sink += GetVoltString(slot.Correction).size() + GetVoltString(slot.AlarmValue, ",").size();
        sink += GetFanString(slot.MinLimit).size() + GetFanString(slot.MaxLimit).size();
        sink += static_cast<size_t>(FahrenheitOf(slot.MinLimit) & 1);

        switch (KindOfSlot(k)) {
        case SlotKind::Temperature:
            sink += GetFahrString(chips.Temp(slot.Chip, slot.Channel)).size();
            break;
        case SlotKind::Voltage:
            sink += GetVoltString(chips.Volt(slot.Chip, slot.Channel)).size();
            break;
        case SlotKind::Fan:
            sink += GetFanString(chips.Fan(slot.Chip, slot.Channel)).size();
            break;
        case SlotKind::Disk:
            break; // the disk table arrives with the disk layer
        }
        if (const ChipRecord* record = chips.At(slot.Chip); record && slot.Chip < chips.ChipCount) {
            sink += record->Name.size();
        }
    }
    for (size_t k = 0; k < block.FanControl.size(); ++k) {
        const FanControlRecord& record = block.FanControl[k];
        sink += GetFahrString(record.Nominal).size();
        sink += static_cast<size_t>(duties.Get(static_cast<int>(k) + 1));
        sink += std::string(SlotName(kSlotCpuFan + static_cast<int>(k))).size();
    }
    for (const int32_t value :
         {block.Alpha, block.SensorInterval, block.DiskInterval, block.WindowLeft, block.WindowTop, block.TrayColor}) {
        sink += GetFahrString(value).size() + GetFanString(value).size();
    }
    sink += std::string(SlotName(block.TraySource)).size() + std::string(SlotName(block.TraySource - 16)).size();
    return sink;
}

ChipTable RandomChips(std::mt19937& random)
{
    ChipTable chips;
    chips.ChipCount = static_cast<uint8_t>(random()); // may claim more than the eight records
    for (ChipRecord& record : chips.Records) {
        record.SetName(std::string(random() % 80, 'W'));
        for (int channel = 0; channel <= kVoltChannels + 1; ++channel) {
            record.SetTemp(channel, static_cast<int32_t>(random()));
            record.SetVolt(channel, std::bit_cast<float>(static_cast<uint32_t>(random())));
            record.SetFan(channel, static_cast<int32_t>(random()));
        }
        record.TempCount = static_cast<uint8_t>(random());
        record.VoltCount = static_cast<uint8_t>(random());
        record.FanCount = static_cast<uint8_t>(random());
        record.PwmCount = static_cast<uint8_t>(random());
    }
    return chips;
}

size_t RandomLength(std::mt19937& random, int iteration)
{
    constexpr size_t kEdges[] = {0, 1, 20, 21, 566, 567, 608, 609, 639, 640, 641};
    if (static_cast<size_t>(iteration) < std::size(kEdges)) {
        return kEdges[iteration];
    }
    switch (random() % 4) {
    case 0:
        return random() % 700;
    case 1:
        return 630 + random() % 20;
    default:
        return random() % 4096;
    }
}

TEST(SettingsFuzz, RandomImagesLoadExactlyAndStayInBounds)
{
    std::mt19937 random(20041208);
    fake::FakeMachine machine;
    MonitorState state{machine.Machine};
    state.ReadProgramPath();
    state.SetDefaultSettings();
    const std::string path = state.ProgramFile(kSettingsFileName);

    size_t sink = 0;
    for (int i = 0; i < kIterations; ++i) {
        const size_t length = RandomLength(random, i);
        std::vector<uint8_t> bytes(length);
        for (uint8_t& byte : bytes) {
            byte = static_cast<uint8_t>(random());
        }

        SettingsImage expected = EncodeSettings(state.Settings);
        std::copy_n(bytes.begin(), std::min(length, expected.size()), expected.begin());

        // Half of the images go through the file path, the other half straight to the decoder.
        if (i % 2 == 0) {
            machine.Files.Files[path] = bytes;
            state.LoadSettings();
        } else {
            DecodeSettings(bytes, state.Settings);
        }
        ASSERT_EQ(EncodeSettings(state.Settings), expected) << "iteration " << i << ", " << length << " bytes";

        const ChipTable chips = RandomChips(random);
        sink += RunEveryConsumer(state.Settings, chips, state.FanDuty);

        state.CopyToTempParam();
        ResetSensorOptions(state.TempParam);
        state.CopyFromTempParam();
        ClearAlarmFlags(state.Settings);
        sink += RunEveryConsumer(state.Settings, chips, state.FanDuty);

        // Every fourth round starts again from the defaults, the others pile random bytes up.
        if (i % 4 == 3) {
            state.SetDefaultSettings();
        }
    }
    EXPECT_GT(sink, 0u);
}

} // namespace
} // namespace calventa::core
