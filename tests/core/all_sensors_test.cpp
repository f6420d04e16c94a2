// The "All sensors" list: every channel of every chip and every drive, the extremes since start
// kept in the core, and which slot shows each.
#include <gtest/gtest.h>

#include "core/all_sensors.h"
#include "core/fakes.h"

namespace calventa::core {
namespace {

const std::string kDeg = "\xC2\xB0";

class AllSensorsList : public ::testing::Test
{
protected:
    AllSensorsList()
    {
        state.SetDefaultSettings();
        for (int slot = 0; slot < kSlotCount; ++slot) {
            state.Settings.Slots[static_cast<size_t>(slot)].Chip = kNoChip;
            state.Settings.Slots[static_cast<size_t>(slot)].Enabled = 0;
        }
        ChipRecord& chip = state.Chips.Records[0];
        chip.Name = "W83627HF";
        chip.Bus = kBusIsa;
        chip.TempCount = 2;
        chip.VoltCount = 1;
        chip.FanCount = 1;
        chip.SetTemp(1, 40);
        chip.SetTemp(2, 31);
        chip.SetVolt(1, 1.5f);
        chip.SetFan(1, 2400);
        state.Chips.ChipCount = 1;
    }
    ChipRecord& Chip() { return state.Chips.Records[0]; }

    fake::FakeMachine machine;
    MonitorState state{machine.Machine};
    AllSensorsPresenter list;
};

TEST_F(AllSensorsList, EveryChannelInKindOrderWithNamesWhereTheChipHasNoLabels)
{
    list.Update(state);
    const std::vector<SensorListRow> rows = list.Rows(state);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].Label, "temp1");
    EXPECT_EQ(rows[1].Label, "temp2");
    EXPECT_EQ(rows[2].Label, "in0");
    EXPECT_EQ(rows[3].Label, "fan1");
    EXPECT_EQ(rows[0].Group, "W83627HF (ISA)");
    EXPECT_EQ(rows[2].Current, "1.50 V");
    EXPECT_EQ(rows[3].Current, "2400 RPM");
    EXPECT_EQ(rows[2].Slots.size(), 10u); // every voltage slot
    EXPECT_EQ(rows[3].Slots.size(), 6u);  // every fan slot
}

TEST_F(AllSensorsList, ExtremesFollowTheReadingsAndStartAgainForAnotherChip)
{
    const std::vector<SensorListRow> before = list.Rows(state);
    EXPECT_EQ(before[0].Minimum, "n/a"); // no pass yet
    for (const int32_t t : {40, 52, 35, 44}) {
        Chip().SetTemp(1, t);
        list.Update(state);
    }
    std::vector<SensorListRow> rows = list.Rows(state);
    EXPECT_EQ(rows[0].Current, "44 " + kDeg + "C / 112 " + kDeg + "F");
    EXPECT_EQ(rows[0].Minimum, "35 " + kDeg + "C / 95 " + kDeg + "F");
    EXPECT_EQ(rows[0].Maximum, "52 " + kDeg + "C / 126 " + kDeg + "F");
    // A failed read and a value no sensor gives leave the extremes alone.
    Chip().SetTemp(1, 5000);
    list.Update(state);
    rows = list.Rows(state);
    EXPECT_EQ(rows[0].Current, "n/a");
    EXPECT_EQ(rows[0].Maximum, "52 " + kDeg + "C / 126 " + kDeg + "F");

    Chip().Name = "LM75";
    Chip().SetTemp(1, 20);
    list.Update(state);
    rows = list.Rows(state);
    EXPECT_EQ(rows[0].Minimum, "20 " + kDeg + "C / 68 " + kDeg + "F");
    EXPECT_EQ(rows[0].Maximum, "20 " + kDeg + "C / 68 " + kDeg + "F");
}

TEST_F(AllSensorsList, ShownInNamesTheEnabledSlotShowingTheChannel)
{
    SensorSlot& sys = state.Settings.Slots[kSlotSys];
    sys.Chip = 0;
    sys.Channel = 2;
    EXPECT_EQ(list.Rows(state)[1].ShownIn, -1) << "not enabled";
    sys.Enabled = 1;
    EXPECT_EQ(list.Rows(state)[1].ShownIn, kSlotSys);
    EXPECT_EQ(list.Rows(state)[0].ShownIn, -1);
}

TEST_F(AllSensorsList, DrivesAreListedAndASleepingDrivesOldValueIsNoExtreme)
{
    state.Disks.DiskCount = 1;
    state.Disks.Model[0] = "SIM DISK";
    state.Disks.Temperature[0] = 41;
    list.Update(state);
    state.Disks.Temperature[0] = 30;
    state.Disks.ReadState[0] = DiskReadState::Asleep;
    list.Update(state);
    const SensorListRow drive = list.Rows(state).back();
    EXPECT_TRUE(drive.IsDisk);
    EXPECT_EQ(drive.Label, "HD0 SIM DISK");
    EXPECT_EQ(drive.Group, "Drives");
    EXPECT_EQ(drive.Minimum, "41 " + kDeg + "C / 106 " + kDeg + "F");
    EXPECT_EQ(drive.Slots, (std::vector<int>{kSlotHd0}));
}

TEST_F(AllSensorsList, ChannelCountsBeyondTheRecordNeverReadPastIt)
{
    Chip().TempCount = 255;
    Chip().VoltCount = 255;
    Chip().FanCount = 255;
    list.Update(state);
    EXPECT_EQ(list.Rows(state).size(), Chip().Temps.size() + Chip().Volts.size() + Chip().Fans.size());
}

} // namespace
} // namespace calventa::core
