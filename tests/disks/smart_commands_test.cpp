// The three S.M.A.R.T. commands' register values and the parsing of IDENTIFY and
// S.M.A.R.T. data pages.

#include <gtest/gtest.h>

#include <random>

#include "disks/smart_commands.h"

namespace calventa::disks {
namespace {

using platform::IdeRegisters;
using platform::SmartCommand;
using platform::SmartDataPage;

struct CommandCase
{
    const char* name;
    SmartCommand (*build)(uint8_t);
    uint8_t drive;
    SmartCommand expected;
};

SmartCommand Expected(uint32_t code, uint32_t bufferSize, IdeRegisters registers, uint8_t drive, uint32_t output)
{
    return SmartCommand{code, bufferSize, registers, drive, output};
}

class SmartCommandTable : public ::testing::TestWithParam<CommandCase>
{
};

TEST_P(SmartCommandTable, CarriesTheExactRegisterValues)
{
    const CommandCase& c = GetParam();
    EXPECT_EQ(c.build(c.drive), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, SmartCommandTable,
    ::testing::Values(CommandCase{"EnableDrive0", EnableSmartCommand, 0,
                                  Expected(0x7C084, 0, {0xD8, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0}, 0, 16)},
                      CommandCase{"EnableDrive3", EnableSmartCommand, 3,
                                  Expected(0x7C084, 0, {0xD8, 1, 1, 0x4F, 0xC2, 0xB0, 0xB0}, 3, 16)},
                      CommandCase{"IdentifyDrive0", IdentifyDeviceCommand, 0,
                                  Expected(0x7C088, 512, {0x00, 1, 1, 0x00, 0x00, 0xA0, 0xEC}, 0, 528)},
                      CommandCase{"IdentifyDrive5", IdentifyDeviceCommand, 5,
                                  Expected(0x7C088, 512, {0x00, 1, 1, 0x00, 0x00, 0xB0, 0xEC}, 5, 528)},
                      CommandCase{"ReadDataDrive6", ReadSmartDataCommand, 6,
                                  Expected(0x7C088, 512, {0xD0, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0}, 6, 528)},
                      CommandCase{"ReadDataDrive7", ReadSmartDataCommand, 7,
                                  Expected(0x7C088, 512, {0xD0, 1, 1, 0x4F, 0xC2, 0xB0, 0xB0}, 7, 528)},
                      // READ LOG: the log address 0xE0 (SCT command/status) in the sector number.
                      CommandCase{"ReadSctStatusDrive0", ReadSctStatusCommand, 0,
                                  Expected(0x7C088, 512, {0xD5, 1, 0xE0, 0x4F, 0xC2, 0xA0, 0xB0}, 0, 528)},
                      CommandCase{"ReadSctStatusDrive3", ReadSctStatusCommand, 3,
                                  Expected(0x7C088, 512, {0xD5, 1, 0xE0, 0x4F, 0xC2, 0xB0, 0xB0}, 3, 528)},
                      // CHECK POWER MODE: every register zero but device and command; it answers
                      // in its registers.
                      CommandCase{"CheckPowerModeDrive0", CheckPowerModeCommand, 0,
                                  SmartCommand{0x7C084, 0, {0, 0, 0, 0, 0, 0xA0, 0xE5}, 0, 16, true}},
                      CommandCase{"CheckPowerModeDrive5", CheckPowerModeCommand, 5,
                                  SmartCommand{0x7C084, 0, {0, 0, 0, 0, 0, 0xB0, 0xE5}, 5, 16, true}}),
    [](const ::testing::TestParamInfo<CommandCase>& param) { return std::string(param.param.name); });

// Writes an ATA text field the way a drive does: byte-swapped words, blank padded.
void PutAta(SmartDataPage& page, size_t offset, size_t length, const std::string& text)
{
    for (size_t i = 0; i < length; ++i) {
        page[offset + (i ^ 1)] = static_cast<uint8_t>(i < text.size() ? text[i] : ' ');
    }
}

TEST(IdentityStrings, WordsAreByteSwappedAndTrailingBlanksCut)
{
    SmartDataPage page{};
    PutAta(page, 54, 40, "SIM DISK1");
    PutAta(page, 20, 20, "   SN0001");
    PutAta(page, 46, 8, "1.0");
    EXPECT_EQ(page[54], 'I'); // "SI" is stored as 'I', 'S'
    EXPECT_EQ(page[55], 'S');
    const IdentityStrings strings = ReadIdentityStrings(page);
    EXPECT_EQ(strings.model, "SIM DISK1");
    EXPECT_EQ(strings.model.size(), 9u);
    EXPECT_EQ(strings.serial, "   SN0001"); // leading blanks stay
    EXPECT_EQ(strings.firmware, "1.0");
}

TEST(IdentityStrings, BlankAndFullFields)
{
    SmartDataPage page{};
    PutAta(page, 54, 40, "");
    PutAta(page, 20, 20, std::string(20, 'Q'));
    const IdentityStrings strings = ReadIdentityStrings(page);
    EXPECT_EQ(strings.model, "");
    EXPECT_EQ(strings.serial, std::string(20, 'Q'));
    EXPECT_EQ(strings.firmware, std::string(8, '\0')); // NULs are characters, not blanks
}

TEST(IdentityStrings, FieldReachingPastThePageGivesWhatFits)
{
    SmartDataPage page{};
    page.fill('a');
    EXPECT_EQ(AtaString(page, 508, 40), "aaaa");
    EXPECT_EQ(AtaString(page, 600, 8), "");
}

SmartDataPage WithAttribute(size_t entry, uint8_t id, uint8_t rawLow)
{
    SmartDataPage page{};
    page[2 + entry * 12] = id;
    page[2 + entry * 12 + 5] = rawLow;
    return page;
}

struct AttributeCase
{
    size_t entry;
    uint8_t rawLow;
    std::optional<int32_t> expected;
};

class TemperatureAttribute : public ::testing::TestWithParam<AttributeCase>
{
};

TEST_P(TemperatureAttribute, RawLowByteIsASignedTemperature)
{
    const AttributeCase c = GetParam();
    EXPECT_EQ(FindTemperatureAttribute(WithAttribute(c.entry, 194, c.rawLow)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Entries, TemperatureAttribute,
                         ::testing::Values(AttributeCase{0, 41, 41}, AttributeCase{3, 0xF6, -10},
                                           AttributeCase{35, 38, 38}, AttributeCase{41, 0x7F, 127},
                                           AttributeCase{12, 0x80, -128}, AttributeCase{7, 0xFF, -1},
                                           AttributeCase{7, 0, 0}),
                         [](const ::testing::TestParamInfo<AttributeCase>& testCase) {
                             return "Entry" + std::to_string(testCase.param.entry) + "RawLow" +
                                    std::to_string(testCase.param.rawLow);
                         });

TEST(TemperatureAttributeSearch, StopsAfterFortyTwoEntries)
{
    // Entry 42 would start at byte 506: not part of the table.
    EXPECT_EQ(FindTemperatureAttribute(WithAttribute(42, 194, 40)), std::nullopt);
    EXPECT_EQ(FindTemperatureAttribute(WithAttribute(5, 190, 40)), std::nullopt);
}

TEST(TemperatureAttributeSearch, TheFirstEntryWins)
{
    SmartDataPage page = WithAttribute(10, 194, 50);
    page[2 + 4 * 12] = 194;
    page[2 + 4 * 12 + 5] = 30;
    EXPECT_EQ(FindTemperatureAttribute(page), 30);
}

// ---- the other temperature sources ----

using core::DiskTemperatureSource;

TEST(AtaTemperatureOrder, AttributeOneNinetyFourWinsWhereverOneNinetyStands)
{
    SmartDataPage page = WithAttribute(20, 194, 41);
    page[2 + 1 * 12] = 190; // earlier in the table
    page[2 + 1 * 12 + 5] = 29;
    const auto found = FindAtaTemperature(page);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->celsius, 41);
    EXPECT_EQ(found->source, DiskTemperatureSource::Attribute194);
}

TEST(AtaTemperatureOrder, WithoutOneNinetyFourTheAirflowTemperatureIsTaken)
{
    const auto found = FindAtaTemperature(WithAttribute(7, 190, 0x1F)); // QEMU's disk: 31 °C
    ASSERT_TRUE(found);
    EXPECT_EQ(found->celsius, 31);
    EXPECT_EQ(found->source, DiskTemperatureSource::Attribute190);
    EXPECT_EQ(FindAtaTemperature(WithAttribute(3, 190, 0xFB))->celsius, -5);
}

TEST(AtaTemperatureOrder, NeitherAttributeInTheFortyTwoEntriesGivesNothing)
{
    EXPECT_FALSE(FindAtaTemperature(WithAttribute(42, 190, 40)));
    EXPECT_FALSE(FindAtaTemperature(WithAttribute(4, 191, 40)));
}

SmartDataPage WithWord(size_t word, uint16_t value)
{
    SmartDataPage page{};
    page[2 * word] = static_cast<uint8_t>(value);
    page[2 * word + 1] = static_cast<uint8_t>(value >> 8);
    return page;
}

TEST(SctSupport, IdentifyWordTwoHundredSixBitZero)
{
    EXPECT_TRUE(SupportsSctStatus(WithWord(206, 0x0001)));
    EXPECT_TRUE(SupportsSctStatus(WithWord(206, 0x003D)));
    EXPECT_FALSE(SupportsSctStatus(WithWord(206, 0x0000)));
    EXPECT_FALSE(SupportsSctStatus(WithWord(206, 0x0020)));
    EXPECT_FALSE(SupportsSctStatus(WithWord(206, 0xFFFF))); // a word the drive does not implement
    EXPECT_FALSE(SupportsSctStatus(WithWord(205, 0x0001)));
}

struct SctCase
{
    const char* name;
    uint16_t version;
    uint8_t temperature;
    std::optional<int32_t> expected;
};

class SctStatusPage : public ::testing::TestWithParam<SctCase>
{
};

TEST_P(SctStatusPage, CurrentTemperatureOfAKnownFormat)
{
    const SctCase& c = GetParam();
    SmartDataPage page = WithWord(0, c.version);
    page[200] = c.temperature;
    page[201] = 99; // reserved byte after it: never taken for the temperature
    EXPECT_EQ(SctStatusTemperature(page), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Pages, SctStatusPage,
                         ::testing::Values(SctCase{"VersionThree", 3, 36, 36}, SctCase{"VersionTwo", 2, 44, 44},
                                           SctCase{"BelowZero", 3, 0xF6, -10},
                                           SctCase{"NoReadingMarker", 3, 0x80, std::nullopt},
                                           SctCase{"ZeroedPage", 0, 36, std::nullopt},
                                           SctCase{"UnknownVersion", 0x0101, 36, std::nullopt}),
                         [](const ::testing::TestParamInfo<SctCase>& param) { return std::string(param.param.name); });

struct PowerCase
{
    const char* name;
    std::optional<uint8_t> count;
    PowerMode expected;
};

class PowerModeAnswer : public ::testing::TestWithParam<PowerCase>
{
};

TEST_P(PowerModeAnswer, OnlyActiveOrIdleDrivesAreAwake)
{
    EXPECT_EQ(PowerModeOf(GetParam().count), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Counts, PowerModeAnswer,
    ::testing::Values(PowerCase{"Standby", 0x00, PowerMode::Standby}, PowerCase{"StandbyY", 0x01, PowerMode::Standby},
                      PowerCase{"NvCacheSpunDown", 0x40, PowerMode::Standby},
                      PowerCase{"NvCacheSpunUp", 0x41, PowerMode::Active}, PowerCase{"Idle", 0x80, PowerMode::Active},
                      PowerCase{"IdleC", 0x83, PowerMode::Active}, PowerCase{"ActiveOrIdle", 0xFF, PowerMode::Active},
                      PowerCase{"Reserved02", 0x02, PowerMode::Unknown},
                      PowerCase{"Reserved84", 0x84, PowerMode::Unknown},
                      PowerCase{"NoAnswer", std::nullopt, PowerMode::Unknown}),
    [](const ::testing::TestParamInfo<PowerCase>& param) { return std::string(param.param.name); });

TEST(SmartPages, RandomPagesParseWithoutStrayReads)
{
    std::mt19937 random(194);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int iteration = 0; iteration < 500; ++iteration) {
        SmartDataPage page;
        for (uint8_t& b : page) {
            b = static_cast<uint8_t>(byte(random));
        }
        const IdentityStrings strings = ReadIdentityStrings(page);
        ASSERT_LE(strings.model.size(), 40u);
        ASSERT_LE(strings.serial.size(), 20u);
        ASSERT_LE(strings.firmware.size(), 8u);
        if (const auto t = FindTemperatureAttribute(page)) {
            ASSERT_GE(*t, -128);
            ASSERT_LE(*t, 127);
        }
        if (const auto t = FindAtaTemperature(page)) {
            ASSERT_NE(t->source, DiskTemperatureSource::Unknown);
            ASSERT_GE(t->celsius, -128);
            ASSERT_LE(t->celsius, 127);
        }
        if (const auto t = SctStatusTemperature(page)) {
            ASSERT_NE(*t, -128);
            ASSERT_LE(*t, 127);
        }
        (void)SupportsSctStatus(page);
    }
}

} // namespace
} // namespace calventa::disks
