// The NVMe admin commands the disk pass sends and the parsing of what controllers return.

#include <gtest/gtest.h>

#include <random>

#include "disks/nvme_commands.h"

namespace calventa::disks {
namespace {

using platform::NvmeAdminCommand;
using platform::NvmeDataPage;

struct NvmeCommandCase
{
    const char* name;
    NvmeAdminCommand (*build)();
    NvmeAdminCommand expected;
};

class NvmeCommandTable : public ::testing::TestWithParam<NvmeCommandCase>
{
};

TEST_P(NvmeCommandTable, CarriesTheExactFields)
{
    EXPECT_EQ(GetParam().build(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, NvmeCommandTable,
    ::testing::Values(
        // Identify, CNS 1 (the controller), no namespace, one 4096-byte page.
        NvmeCommandCase{"IdentifyController", IdentifyControllerCommand, {0x06, 0, 0x00000001, 0, 4096}},
        // Get Log Page of log 2 for every namespace, 128 dwords (NUMDL 127 in bits 16..31).
        NvmeCommandCase{"SmartHealthLog", SmartHealthLogCommand, {0x02, 0xFFFFFFFF, 0x007F0002, 0, 512}},
        // Get Features, feature 2 (power management), current value, no data.
        NvmeCommandCase{"PowerState", PowerStateCommand, {0x0A, 0, 0x00000002, 0, 0}}),
    [](const ::testing::TestParamInfo<NvmeCommandCase>& param) { return std::string(param.param.name); });

void PutText(NvmeDataPage& page, size_t offset, size_t length, const std::string& text)
{
    for (size_t i = 0; i < length; ++i) {
        page[offset + i] = static_cast<uint8_t>(i < text.size() ? text[i] : ' ');
    }
}

TEST(NvmeIdentity, FieldsInByteOrderWithTrailingBlanksCut)
{
    NvmeDataPage page{};
    PutText(page, 24, 40, "QEMU NVMe Ctrl");
    PutText(page, 4, 20, " NVME0001");
    PutText(page, 64, 8, "7.2.0");
    const IdentityStrings identity = ReadNvmeIdentity(page);
    EXPECT_EQ(identity.model, "QEMU NVMe Ctrl");
    EXPECT_EQ(identity.serial, " NVME0001"); // leading blanks stay, as for ATA drives
    EXPECT_EQ(identity.firmware, "7.2.0");
}

TEST(NvmeIdentity, FullFieldsWithoutTerminatorStayInTheirField)
{
    NvmeDataPage page{};
    page.fill('M'); // no blank, no NUL anywhere
    const IdentityStrings identity = ReadNvmeIdentity(page);
    EXPECT_EQ(identity.model, std::string(40, 'M'));
    EXPECT_EQ(identity.serial, std::string(20, 'M'));
    EXPECT_EQ(identity.firmware, std::string(8, 'M'));
}

TEST(NvmeIdentity, ANulEndsTheFieldAndUnprintableBytesAreMasked)
{
    NvmeDataPage page{};
    PutText(page, 24, 40, "SHORT");
    page[24 + 5] = 0; // terminated early; what follows is not part of the model
    PutText(page, 64, 8, "1\x01\xC3\xA9");
    EXPECT_EQ(ReadNvmeIdentity(page).model, "SHORT");
    EXPECT_EQ(ReadNvmeIdentity(page).firmware, "1???");
    EXPECT_EQ(NvmeString(page, 4094, 8), ""); // zero bytes: empty
    EXPECT_EQ(NvmeString(page, 5000, 8), ""); // beyond the page: nothing read
}

struct CompositeCase
{
    const char* name;
    uint16_t kelvin;
    std::optional<int32_t> expected;
};

class CompositeTemperature : public ::testing::TestWithParam<CompositeCase>
{
};

TEST_P(CompositeTemperature, KelvinToCelsiusWithinPlausibleLimits)
{
    NvmeDataPage page{};
    page[0] = 0xFF; // critical warning bits: not part of the temperature
    page[1] = static_cast<uint8_t>(GetParam().kelvin);
    page[2] = static_cast<uint8_t>(GetParam().kelvin >> 8);
    page[3] = 0xFF;
    EXPECT_EQ(NvmeCompositeTemperature(page), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Readings, CompositeTemperature,
    ::testing::Values(CompositeCase{"ThirtyEight", 311, 38}, CompositeCase{"QemuFixedValue", 323, 50},
                      CompositeCase{"Freezing", 273, 0}, CompositeCase{"LowestPlausible", 213, -60},
                      CompositeCase{"BelowPlausible", 212, std::nullopt}, CompositeCase{"HighestPlausible", 473, 200},
                      CompositeCase{"AboveTwoHundred", 474, std::nullopt},
                      CompositeCase{"ZeroIsNoReading", 0, std::nullopt},
                      CompositeCase{"AllOnesIsNoReading", 0xFFFF, std::nullopt},
                      CompositeCase{"HighByteMatters", 0x0136, 37}),
    [](const ::testing::TestParamInfo<CompositeCase>& param) { return std::string(param.param.name); });

TEST(NvmePowerStates, DescriptorsMarkTheNonOperationalStatesUpToTheCount)
{
    NvmeDataPage page{};
    page[263] = 4; // five states
    page[2048 + 32 * 3 + 3] = 0x02;
    page[2048 + 32 * 4 + 3] = 0x03; // bit 0 (max power scale) beside it changes nothing
    page[2048 + 32 * 2 + 3] = 0x01;
    page[2048 + 32 * 6 + 3] = 0x02; // beyond the count: no such state
    const auto nonOperational = NonOperationalPowerStates(page);
    const std::array<bool, 8> expected = {false, false, false, true, true, false, false, false};
    for (size_t state = 0; state < expected.size(); ++state) {
        EXPECT_EQ(nonOperational[state], expected[state]) << "state " << state;
    }
    EXPECT_EQ(PowerStateOf(0x00000004), 4);
    EXPECT_EQ(PowerStateOf(0xFFFFFFE3), 3); // workload hint and reserved bits above bit 4
}

TEST(NvmePowerStates, ACountAboveThirtyTwoStopsAtTheLastDescriptor)
{
    NvmeDataPage page;
    page.fill(0xFF);
    const auto nonOperational = NonOperationalPowerStates(page);
    EXPECT_TRUE(nonOperational[31]);
}

TEST(NvmePages, RandomPagesParseWithoutStrayReads)
{
    std::mt19937 random(4096);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int iteration = 0; iteration < 300; ++iteration) {
        NvmeDataPage page;
        for (uint8_t& b : page) {
            b = static_cast<uint8_t>(byte(random));
        }
        const IdentityStrings identity = ReadNvmeIdentity(page);
        ASSERT_LE(identity.model.size(), 40u);
        ASSERT_LE(identity.serial.size(), 20u);
        ASSERT_LE(identity.firmware.size(), 8u);
        for (const char c : identity.model + identity.serial + identity.firmware) {
            ASSERT_GE(c, 0x20);
            ASSERT_LE(c, 0x7E);
        }
        (void)NonOperationalPowerStates(page);
        if (const auto celsius = NvmeCompositeTemperature(page)) {
            ASSERT_GE(*celsius, -60);
            ASSERT_LE(*celsius, 200);
        }
    }
}

} // namespace
} // namespace calventa::disks
