#include "core/settings_block.h"

#include <gtest/gtest.h>

#include "case_name.h"

#include <climits>
#include <random>
#include <vector>

namespace calventa::core {
namespace {

constexpr platform::ScreenSize kScreen{1280, 1024};

SettingsImage RandomImage(uint32_t seed)
{
    std::mt19937 random(seed);
    SettingsImage image{};
    for (uint8_t& byte : image) {
        byte = static_cast<uint8_t>(random());
    }
    return image;
}

SettingsBlock BlockOf(const SettingsImage& image)
{
    SettingsBlock block;
    DecodeSettings(image, block);
    return block;
}

SettingsImage DefaultImage()
{
    SettingsBlock block;
    SetDefaultSettings(block, kScreen, kDefaultMainWindowWidth);
    return EncodeSettings(block);
}

// ---- The default block, byte for byte --------------------------------------------------

struct BytesAt
{
    size_t Offset;
    std::vector<uint8_t> Bytes;
    const char* What;
};

class DefaultImageTest : public ::testing::TestWithParam<BytesAt>
{
};

TEST_P(DefaultImageTest, HoldsTheDefaultAtItsOffset)
{
    const SettingsImage image = DefaultImage();
    const BytesAt& expected = GetParam();
    ASSERT_LE(expected.Offset + expected.Bytes.size(), image.size());
    const std::vector<uint8_t> actual(image.begin() + static_cast<std::ptrdiff_t>(expected.Offset),
                                      image.begin() +
                                          static_cast<std::ptrdiff_t>(expected.Offset + expected.Bytes.size()));
    EXPECT_EQ(actual, expected.Bytes) << expected.What;
}

INSTANTIATE_TEST_SUITE_P(
    Settings, DefaultImageTest,
    ::testing::Values(
        BytesAt{0, {0xFF}, "Cpu chip none"}, BytesAt{2, {1}, "Cpu alarm on"},
        BytesAt{3, {0, 0, 0, 0}, "Cpu correction 0.0"}, BytesAt{7, {0xF6, 0xFF, 0xFF, 0xFF}, "Cpu min -10"},
        BytesAt{11, {70, 0, 0, 0}, "Cpu max 70"}, BytesAt{15, {1}, "Cpu enabled"},
        BytesAt{21 + 2, {0}, "Sys alarm off"}, BytesAt{21 + 11, {50, 0, 0, 0}, "Sys max 50"},
        BytesAt{63, {0, 0, 1}, "HD0: disk 0, alarm on"}, BytesAt{63 + 11, {60, 0, 0, 0}, "HD0 max 60"},
        BytesAt{210, {7}, "HD7 is disk 7"}, BytesAt{231, {0xFF}, "VCoreA chip none"},
        BytesAt{357 + 7, {0xF9, 0xFF, 0xFF, 0xFF, 0xFC, 0xFF, 0xFF, 0xFF}, "-5V limits -7..-4"},
        BytesAt{378 + 7, {0xF1, 0xFF, 0xFF, 0xFF, 0xF7, 0xFF, 0xFF, 0xFF}, "-12V limits -15..-9"},
        BytesAt{546, {0xFF}, "AuxFan2 chip none"},
        BytesAt{546 + 7, {0xE8, 0x03, 0, 0, 0x10, 0x27, 0, 0}, "AuxFan2 limits 1000..10000"},
        BytesAt{567, {16, 40, 0, 0, 0, 0}, "fan control 0: Cpu, 40, off"},
        BytesAt{574, {17, 36, 0, 0, 0, 0}, "fan control 1: Sys, 36, off"},
        BytesAt{602, {18, 34, 0, 0, 0, 0}, "fan control 5: Aux, 34, off"},
        BytesAt{609, {0, 2, 0}, "not minimized, normal window, normal style"}, BytesAt{612, {0, 0, 0, 0}, "alpha 0"},
        BytesAt{616, {5, 0, 0, 0}, "sensor interval 5"}, BytesAt{620, {120, 0, 0, 0}, "disk interval 120"},
        BytesAt{624, {0x2E, 0x04, 0, 0}, "left = 1280 - 210"}, BytesAt{628, {0x0C, 0x02, 0, 0}, "top = 1024 - 500"},
        BytesAt{632, {16, 0, 1, 1}, "tray Cpu in Celsius, both notices on"},
        BytesAt{636, {0x00, 0x00, 0xFF, 0x00}, "tray colour blue"}),
    [](const ::testing::TestParamInfo<BytesAt>& info) {
        const auto& c = info.param;
        (void)c;
        return calventa::testnames::CaseName(c.What);
    });

TEST(SettingsDefaults, EverySlotEnabledWithoutCorrection)
{
    SettingsBlock block;
    SetDefaultSettings(block, kScreen, kDefaultMainWindowWidth);
    for (int k = 0; k < kSlotCount; ++k) {
        const SensorSlot& slot = block.Slots[static_cast<size_t>(k)];
        EXPECT_EQ(slot.Enabled, 1) << SlotName(k);
        EXPECT_EQ(slot.Correction, 0.0f) << SlotName(k);
        const bool disk = KindOfSlot(k) == SlotKind::Disk;
        EXPECT_EQ(slot.Chip, disk ? k - kSlotHd0 : kNoChip) << SlotName(k);
    }
}

TEST(SettingsDefaults, LeaveChannelsRunTimeFieldsAndPwmOutputsAlone)
{
    SettingsImage before;
    before.fill(0xAB);
    SettingsBlock block = BlockOf(before);
    SetDefaultSettings(block, kScreen, kDefaultMainWindowWidth);
    const SettingsImage after = EncodeSettings(block);
    for (size_t k = 0; k < kSlotCount; ++k) {
        const size_t base = k * kSlotImageSize;
        EXPECT_EQ(after[base + 1], 0xAB) << "Channel of slot " << k;
        EXPECT_EQ(after[base + 16], 0xAB) << "AlarmActive of slot " << k;
        for (size_t i = 17; i < 21; ++i) {
            EXPECT_EQ(after[base + i], 0xAB) << "AlarmValue of slot " << k;
        }
    }
    for (size_t k = 0; k < kFanControlCount; ++k) {
        EXPECT_EQ(after[kFanControlImageOffset + 7 * k + 6], 0xAB) << "PwmRegister of record " << k;
    }
}

TEST(SettingsDefaults, WindowPositionFollowsScreenAndWidth)
{
    SettingsBlock block;
    SetDefaultSettings(block, {1920, 1080}, 200);
    EXPECT_EQ(block.WindowLeft, 1920 - 200 - 40);
    EXPECT_EQ(block.WindowTop, 1080 - 500);
    // Absurd screens must not overflow.
    SetDefaultSettings(block, {INT_MIN, INT_MIN}, INT_MAX);
    EXPECT_EQ(block.WindowLeft, INT32_MIN);
    EXPECT_EQ(block.WindowTop, INT32_MIN);
}

// ---- Layout ------------------------------------------------------------------------------

TEST(SettingsLayout, EachSlotFieldLandsAtItsOffset)
{
    SettingsBlock block;
    for (size_t k = 0; k < kSlotCount; ++k) {
        SensorSlot& slot = block.Slots[k];
        const auto tag = static_cast<uint8_t>(k);
        slot.Chip = tag;
        slot.Channel = static_cast<uint8_t>(0x40 + tag);
        slot.AlarmEnabled = static_cast<uint8_t>(0x80 + tag);
        slot.Correction = std::bit_cast<float>(0x3F000000u | tag);
        slot.MinLimit = static_cast<int32_t>(0x11223300u | tag);
        slot.MaxLimit = static_cast<int32_t>(0x81828300u | tag);
        slot.Enabled = static_cast<uint8_t>(0xC0 + tag);
        slot.AlarmActive = static_cast<uint8_t>(0xE0 + tag);
        slot.AlarmValue = std::bit_cast<float>(0xC1000000u | tag);
    }
    const SettingsImage image = EncodeSettings(block);
    for (size_t k = 0; k < kSlotCount; ++k) {
        const auto tag = static_cast<uint8_t>(k);
        const std::vector<uint8_t> expected{tag,
                                            static_cast<uint8_t>(0x40 + tag),
                                            static_cast<uint8_t>(0x80 + tag),
                                            tag,
                                            0x00,
                                            0x00,
                                            0x3F,
                                            tag,
                                            0x33,
                                            0x22,
                                            0x11,
                                            tag,
                                            0x83,
                                            0x82,
                                            0x81,
                                            static_cast<uint8_t>(0xC0 + tag),
                                            static_cast<uint8_t>(0xE0 + tag),
                                            tag,
                                            0x00,
                                            0x00,
                                            0xC1};
        const std::vector<uint8_t> actual(image.begin() + static_cast<std::ptrdiff_t>(21 * k),
                                          image.begin() + static_cast<std::ptrdiff_t>(21 * k + 21));
        EXPECT_EQ(actual, expected) << "slot " << k;
    }
}

TEST(SettingsLayout, FanControlRecordsAndGeneralOptions)
{
    SettingsBlock block;
    for (size_t k = 0; k < kFanControlCount; ++k) {
        block.FanControl[k] = {static_cast<uint8_t>(0x10 + k), static_cast<int32_t>(0x0A0B0C00 + k),
                               static_cast<uint8_t>(0x20 + k), static_cast<uint8_t>(0x30 + k)};
    }
    block.StartMinimized = 1;
    block.WindowMode = 0;
    block.WindowStyle = 1;
    block.Alpha = 94;
    block.SensorInterval = 600;
    block.DiskInterval = 1200;
    block.WindowLeft = -3;
    block.WindowTop = 0x01020304;
    block.TraySource = 18;
    block.TrayFahrenheit = 1;
    block.ShowAdminNotice = 0;
    block.ShowFanWarning = 7;
    block.TrayColor = 0x00123456;
    const SettingsImage image = EncodeSettings(block);

    for (size_t k = 0; k < kFanControlCount; ++k) {
        const size_t base = 567 + 7 * k;
        EXPECT_EQ(image[base], 0x10 + k);
        EXPECT_EQ(image[base + 1], k);
        EXPECT_EQ(image[base + 2], 0x0C);
        EXPECT_EQ(image[base + 4], 0x0A);
        EXPECT_EQ(image[base + 5], 0x20 + k);
        EXPECT_EQ(image[base + 6], 0x30 + k);
    }
    const std::vector<uint8_t> general(image.begin() + 609, image.end());
    const std::vector<uint8_t> expected{1,    0,    1, 94, 0,    0,    0,    0x58, 0x02, 0,    0,
                                        0xB0, 0x04, 0, 0,  0xFD, 0xFF, 0xFF, 0xFF, 0x04, 0x03, 0x02,
                                        0x01, 18,   1, 0,  7,    0x56, 0x34, 0x12, 0x00};
    EXPECT_EQ(general, expected);
}

TEST(SettingsLayout, EveryBitPatternRoundTripsIncludingNanPayloads)
{
    SettingsImage image = RandomImage(7);
    // A signalling NaN with a payload and a negative zero in Correction and AlarmValue.
    const std::array<uint8_t, 4> signallingNan{0x01, 0x00, 0xA0, 0x7F};
    const std::array<uint8_t, 4> negativeZero{0x00, 0x00, 0x00, 0x80};
    std::copy(signallingNan.begin(), signallingNan.end(), image.begin() + 3);
    std::copy(negativeZero.begin(), negativeZero.end(), image.begin() + 17);
    EXPECT_EQ(EncodeSettings(BlockOf(image)), image);
}

// ---- Reset and alarm latches -------------------------------------------------------------

TEST(ResetSensorOptions, KeepsAssignmentsPositionAndNoticeFlags)
{
    const SettingsBlock user = BlockOf(RandomImage(42));

    SettingsBlock expected = user;
    SetDefaultSettings(expected, kScreen, kDefaultMainWindowWidth);
    expected.ShowAdminNotice = user.ShowAdminNotice;
    expected.ShowFanWarning = user.ShowFanWarning;
    expected.WindowLeft = user.WindowLeft;
    expected.WindowTop = user.WindowTop;
    for (size_t k = 0; k < kSlotCount; ++k) {
        if (KindOfSlot(static_cast<int>(k)) != SlotKind::Disk) {
            expected.Slots[k].Chip = user.Slots[k].Chip;
        }
    }

    SettingsBlock reset = user;
    ResetSensorOptions(reset);
    EXPECT_EQ(EncodeSettings(reset), EncodeSettings(expected));
    EXPECT_EQ(reset.Slots[kSlotHd0 + 5].Chip, 5);
    EXPECT_EQ(reset.SensorInterval, 5);
}

TEST(ClearAlarmFlags, ClearsOnlyTheLatches)
{
    const SettingsImage before = RandomImage(3);
    SettingsBlock block = BlockOf(before);
    ClearAlarmFlags(block);
    const SettingsImage after = EncodeSettings(block);
    for (size_t i = 0; i < before.size(); ++i) {
        const bool latch = i < kFanControlImageOffset && i % kSlotImageSize == 16;
        EXPECT_EQ(after[i], latch ? 0 : before[i]) << "byte " << i;
    }
}

// ---- Names ---------------------------------------------------------------------------------

struct SlotNames
{
    int Slot;
    const char* Name;
    const char* Label;
    SlotKind Kind;
};

class SlotNamesTest : public ::testing::TestWithParam<SlotNames>
{
};

TEST_P(SlotNamesTest, NameLabelAndKind)
{
    EXPECT_STREQ(SlotName(GetParam().Slot), GetParam().Name);
    EXPECT_STREQ(SlotLabel(GetParam().Slot), GetParam().Label);
    EXPECT_EQ(KindOfSlot(GetParam().Slot), GetParam().Kind);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SlotNamesTest,
    ::testing::Values(
        SlotNames{0, "Cpu", "CPU :", SlotKind::Temperature}, SlotNames{2, "Aux", "AUX :", SlotKind::Temperature},
        SlotNames{3, "HD0", "HD0 :", SlotKind::Disk}, SlotNames{10, "HD7", "HD7 :", SlotKind::Disk},
        SlotNames{11, "VCoreA", "VCoreA :", SlotKind::Voltage}, SlotNames{14, "+3.3V", "+3.3V :", SlotKind::Voltage},
        SlotNames{18, "-12V", "-12V :", SlotKind::Voltage}, SlotNames{20, "+VBAT", "+VBAT :", SlotKind::Voltage},
        SlotNames{21, "CpuFan", "CPU :", SlotKind::Fan}, SlotNames{23, "AuxFan", "AUX :", SlotKind::Fan},
        SlotNames{24, "CpuFan2", "CPU2 :", SlotKind::Fan}, SlotNames{26, "AuxFan2", "AUX2 :", SlotKind::Fan},
        SlotNames{-1, "", "", SlotKind::Temperature}, SlotNames{27, "", "", SlotKind::Temperature},
        SlotNames{INT_MIN, "", "", SlotKind::Temperature}, SlotNames{INT_MAX, "", "", SlotKind::Temperature}),
    [](const ::testing::TestParamInfo<SlotNames>& info) {
        const auto& c = info.param;
        (void)c;
        return "Slot" + calventa::testnames::NumberName(c.Slot) + "_" + calventa::testnames::CaseName(c.Name);
    });

} // namespace
} // namespace calventa::core
