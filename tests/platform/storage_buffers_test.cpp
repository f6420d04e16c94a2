#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "disks/nvme_commands.h"
#include "disks/smart_commands.h"
#include "platform/windows/storage_buffers.h"

namespace calventa::platform::windows_backend {
namespace {

using Bytes = std::vector<uint8_t>;

void PutDword(Bytes& bytes, size_t offset, uint32_t value)
{
    for (size_t i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

void PutWord(Bytes& bytes, size_t offset, uint16_t value)
{
    bytes[offset] = static_cast<uint8_t>(value);
    bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
}

TEST(SmartInputBlock, CarriesEveryRegisterOfTheThreeCommandsAtItsOffset)
{
    // cBufferSize, then IDEREGS (features, count, number, cyl low, cyl high, drive/head,
    // command, reserved), the drive number, then reserved bytes up to 32.
    const Bytes enable = {0, 0, 0, 0, 0xD8, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0, 0, 0, 0, 0, 0,
                          0, 0, 0, 0, 0,    0, 0, 0,    0,    0,    0,    0, 0, 0, 0, 0};
    const auto built = BuildSendCmdIn(disks::EnableSmartCommand(0));
    EXPECT_EQ(Bytes(built.begin(), built.end()), enable);

    const auto identify = BuildSendCmdIn(disks::IdentifyDeviceCommand(3));
    const Bytes identifyHead = {0x00, 0x02, 0, 0, 0x00, 1, 1, 0x00, 0x00, 0xB0, 0xEC, 0, 3};
    EXPECT_EQ(Bytes(identify.begin(), identify.begin() + 13), identifyHead);

    const auto read = BuildSendCmdIn(disks::ReadSmartDataCommand(6));
    const Bytes readHead = {0x00, 0x02, 0, 0, 0xD0, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0, 0, 6};
    EXPECT_EQ(Bytes(read.begin(), read.begin() + 13), readHead);
    EXPECT_EQ(read.size(), 32u);
}

TEST(SmartOutputBlock, TakesThePageOnlyWhenTheWholePageCameBack)
{
    Bytes answer(kSmartDataOutputLength, 0);
    PutDword(answer, 0, 512);
    answer[4] = 0x00; // driver error
    answer[5] = 0x51; // IDE error register
    for (size_t i = 0; i < kSmartDataSize; ++i) {
        answer[16 + i] = static_cast<uint8_t>(i * 7);
    }
    const auto page = ParseSmartDataPage(answer, answer.size());
    ASSERT_TRUE(page.has_value());
    EXPECT_EQ((*page)[0], 0);
    EXPECT_EQ((*page)[1], 7);
    EXPECT_EQ((*page)[511], static_cast<uint8_t>(511 * 7));
    const auto status = ParseDriverStatus(answer, 16);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(status->ideError, 0x51);

    EXPECT_FALSE(ParseSmartDataPage(answer, 527).has_value());
    EXPECT_FALSE(ParseSmartDataPage(answer, 16).has_value());
    EXPECT_FALSE(ParseSmartDataPage(answer, 0).has_value());
    EXPECT_FALSE(ParseDriverStatus(answer, 15).has_value());
    // A count beyond the buffer is bounded by the buffer.
    EXPECT_FALSE(ParseSmartDataPage(std::span<const uint8_t>(answer.data(), 100), 528).has_value());
}

TEST(SmartVersionAnswer, ReadsTheCapabilitiesAndRefusesAShortAnswer)
{
    // GETVERSIONINPARAMS of a SATA disk: version 1, revision 1, device map 1, ATA ID, ATAPI
    // ID and S.M.A.R.T. commands.
    const Bytes answer = {1, 1, 0, 1, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const auto version = ParseSmartVersion(answer);
    ASSERT_TRUE(version.has_value());
    EXPECT_TRUE(version->SmartCommands());
    EXPECT_EQ(version->ideDeviceMap, 1);
    Bytes noSmart = answer;
    noSmart[4] = 0x03;
    EXPECT_FALSE(ParseSmartVersion(noSmart)->SmartCommands());
    EXPECT_FALSE(ParseSmartVersion(std::span<const uint8_t>(answer.data(), 23)).has_value());
}

TEST(PropertyQuery, IsThePropertyAndTheStandardQuery)
{
    EXPECT_EQ(BuildPropertyQuery(kStorageDeviceTemperatureProperty), (Bytes{52, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

// Wine's virtual disk answers StorageDeviceProperty with 40 bytes: SCSI bus, no strings.
const Bytes kWineDeviceDescriptor = {40, 0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                     0,  0, 0, 0, 0,  0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

Bytes NvmeDeviceDescriptor()
{
    const std::string strings = std::string("\0", 1) + "Samsung SSD 980 PRO 1TB" + std::string("\0", 1) + "5B2QGXA7" +
                                std::string("\0", 1) + "  S5GXNF0R123456A     " + std::string("\0", 1);
    Bytes bytes(40 + strings.size(), 0);
    std::copy(strings.begin(), strings.end(), bytes.begin() + 40);
    PutDword(bytes, 0, 40);
    PutDword(bytes, 4, static_cast<uint32_t>(bytes.size()));
    PutDword(bytes, 12, 40); // vendor: the empty string
    PutDword(bytes, 16, 41);
    PutDword(bytes, 20, 41 + 24);
    PutDword(bytes, 24, 41 + 24 + 9);
    PutDword(bytes, 28, kBusTypeNvme);
    return bytes;
}

TEST(DeviceDescriptor, ReadsBusAndIdentityStrings)
{
    const auto wine = ParseStorageDeviceDescriptor(kWineDeviceDescriptor, kWineDeviceDescriptor.size());
    ASSERT_TRUE(wine.has_value());
    EXPECT_EQ(wine->busType, 1u);
    EXPECT_EQ(wine->product, "");
    EXPECT_EQ(wine->serial, "");

    const Bytes nvme = NvmeDeviceDescriptor();
    const auto parsed = ParseStorageDeviceDescriptor(nvme, nvme.size());
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->busType, kBusTypeNvme);
    EXPECT_EQ(parsed->vendor, "");
    EXPECT_EQ(parsed->product, "Samsung SSD 980 PRO 1TB");
    EXPECT_EQ(parsed->revision, "5B2QGXA7");
    EXPECT_EQ(parsed->serial, "S5GXNF0R123456A");
}

TEST(DeviceDescriptor, StringsEndWhereTheAnswerEnds)
{
    Bytes nvme = NvmeDeviceDescriptor();
    // Cut inside the serial: what came back is all there is, and no terminator is needed.
    const auto cut = ParseStorageDeviceDescriptor(nvme, 41 + 24 + 9 + 6);
    ASSERT_TRUE(cut.has_value());
    EXPECT_EQ(cut->serial, "S5GX");
    // Offsets into the fixed part or beyond the answer name no string.
    PutDword(nvme, 16, 12);
    PutDword(nvme, 24, 100000);
    const auto odd = ParseStorageDeviceDescriptor(nvme, nvme.size());
    ASSERT_TRUE(odd.has_value());
    EXPECT_EQ(odd->product, "");
    EXPECT_EQ(odd->serial, "");
    // The descriptor's own size bounds the strings.
    Bytes sized = NvmeDeviceDescriptor();
    PutDword(sized, 4, 41 + 3);
    EXPECT_EQ(ParseStorageDeviceDescriptor(sized, sized.size())->product, "Sam");
    EXPECT_FALSE(ParseStorageDeviceDescriptor(nvme, 35).has_value());
    PutDword(sized, 4, 20);
    EXPECT_FALSE(ParseStorageDeviceDescriptor(sized, sized.size()).has_value());
    // Control bytes are shown, not passed on.
    Bytes control = NvmeDeviceDescriptor();
    control[41] = 0x1B;
    EXPECT_EQ(ParseStorageDeviceDescriptor(control, control.size())->product, "?amsung SSD 980 PRO 1TB");
}

Bytes TemperatureDescriptor(std::vector<std::pair<uint16_t, int16_t>> sensors)
{
    Bytes bytes(kTemperatureDescriptorHeaderSize + sensors.size() * kTemperatureInfoSize, 0);
    PutDword(bytes, 0, static_cast<uint32_t>(bytes.size()));
    PutDword(bytes, 4, static_cast<uint32_t>(bytes.size()));
    PutWord(bytes, 8, 84);  // critical
    PutWord(bytes, 10, 80); // warning
    PutWord(bytes, 12, static_cast<uint16_t>(sensors.size()));
    for (size_t i = 0; i < sensors.size(); ++i) {
        const size_t at = kTemperatureDescriptorHeaderSize + i * kTemperatureInfoSize;
        PutWord(bytes, at, sensors[i].first);
        PutWord(bytes, at + 2, static_cast<uint16_t>(sensors[i].second));
        PutWord(bytes, at + 4, 80);
    }
    return bytes;
}

TEST(TemperatureDescriptor, TakesTheDeviceSensorElseTheFirst)
{
    const Bytes two = TemperatureDescriptor({{1, 51}, {0, 38}});
    EXPECT_EQ(ParseDeviceTemperature(two, two.size()), 38);
    const Bytes other = TemperatureDescriptor({{2, 45}, {3, 47}});
    EXPECT_EQ(ParseDeviceTemperature(other, other.size()), 45);
    const Bytes below = TemperatureDescriptor({{0, -12}});
    EXPECT_EQ(ParseDeviceTemperature(below, below.size()), -12);
}

TEST(TemperatureDescriptor, CountsOnlyTheSensorsThatCameBack)
{
    Bytes two = TemperatureDescriptor({{1, 51}, {0, 38}});
    // The second entry was cut off: the first is all there is.
    EXPECT_EQ(ParseDeviceTemperature(two, two.size() - 1), 51);
    PutWord(two, 12, 60000); // a count far beyond the answer
    EXPECT_EQ(ParseDeviceTemperature(two, two.size()), 38);
    PutWord(two, 12, 0);
    EXPECT_FALSE(ParseDeviceTemperature(two, two.size()).has_value());
    const Bytes one = TemperatureDescriptor({{0, 40}});
    EXPECT_FALSE(ParseDeviceTemperature(one, 39).has_value());
    Bytes small = one;
    PutDword(small, 4, 24);
    EXPECT_FALSE(ParseDeviceTemperature(small, small.size()).has_value());
}

TEST(NvmeProtocolQuery, CarriesIdentifyLogAndFeatureAsWindowsAsksThem)
{
    const auto identify = ProtocolQueryFor(disks::IdentifyControllerCommand());
    ASSERT_TRUE(identify.has_value());
    const Bytes built = BuildProtocolQuery(*identify);
    ASSERT_EQ(built.size(), 48u + 4096u);
    const Bytes head = {49, 0, 0, 0, 0, 0, 0, 0, 3,  0, 0, 0, 1, 0,    0, 0,
                        1,  0, 0, 0, 0, 0, 0, 0, 40, 0, 0, 0, 0, 0x10, 0, 0};
    EXPECT_EQ(Bytes(built.begin(), built.begin() + 32), head);

    const auto log = ProtocolQueryFor(disks::SmartHealthLogCommand());
    ASSERT_TRUE(log.has_value());
    const Bytes logBuilt = BuildProtocolQuery(*log);
    const Bytes logHead = {50, 0, 0, 0, 0, 0, 0, 0, 3,  0, 0, 0, 2, 0, 0, 0,
                           2,  0, 0, 0, 0, 0, 0, 0, 40, 0, 0, 0, 0, 2, 0, 0};
    EXPECT_EQ(Bytes(logBuilt.begin(), logBuilt.begin() + 32), logHead);
    EXPECT_EQ(logBuilt.size(), 48u + 512u);

    const auto feature = ProtocolQueryFor(disks::PowerStateCommand());
    ASSERT_TRUE(feature.has_value());
    const Bytes featureBuilt = BuildProtocolQuery(*feature);
    EXPECT_EQ(featureBuilt.size(), 48u);
    EXPECT_EQ(featureBuilt[12], kNvmeDataTypeFeature);
    EXPECT_EQ(featureBuilt[16], 2); // power management
    EXPECT_EQ(featureBuilt[24], 0); // no data
}

TEST(NvmeProtocolQuery, RefusesCommandsItCannotCarry)
{
    NvmeAdminCommand format;
    format.opcode = 0x80;
    EXPECT_FALSE(ProtocolQueryFor(format).has_value());
    NvmeAdminCommand namespaceIdentify = disks::IdentifyControllerCommand();
    namespaceIdentify.cdw10 = 0;
    EXPECT_FALSE(ProtocolQueryFor(namespaceIdentify).has_value());
    NvmeAdminCommand errorLog = disks::SmartHealthLogCommand();
    errorLog.cdw10 = 0x01;
    EXPECT_FALSE(ProtocolQueryFor(errorLog).has_value());
    NvmeAdminCommand huge = disks::IdentifyControllerCommand();
    huge.dataLength = 8192;
    EXPECT_FALSE(ProtocolQueryFor(huge).has_value());
}

// The answer as the driver writes it into the query's buffer: the descriptor (version and
// size 48), the protocol data with offset and length, then the page.
Bytes ProtocolAnswerFor(const ProtocolQuery& query, uint32_t fixed)
{
    Bytes bytes = BuildProtocolQuery(query);
    PutDword(bytes, 0, 48);
    PutDword(bytes, 4, 48);
    PutDword(bytes, 8 + 24, fixed);
    for (size_t i = 0; i < query.dataLength; ++i) {
        bytes[48 + i] = static_cast<uint8_t>(i ^ 0x5A);
    }
    return bytes;
}

TEST(NvmeProtocolAnswer, GivesThePageAndTheCompletion)
{
    const ProtocolQuery log = *ProtocolQueryFor(disks::SmartHealthLogCommand());
    Bytes answer = ProtocolAnswerFor(log, 0);
    // Composite temperature 310 K = 37 °C at bytes 1..2 of the log.
    answer[48 + 1] = 0x36;
    answer[48 + 2] = 0x01;
    const auto parsed = ParseProtocolAnswer(answer, answer.size(), log);
    ASSERT_TRUE(parsed.has_value());
    ASSERT_EQ(parsed->data.size(), 512u);
    NvmeDataPage page{};
    std::copy(parsed->data.begin(), parsed->data.end(), page.begin());
    EXPECT_EQ(disks::NvmeCompositeTemperature(page), 37);

    const ProtocolQuery feature = *ProtocolQueryFor(disks::PowerStateCommand());
    const Bytes featureAnswer = ProtocolAnswerFor(feature, 0x00000003);
    const auto state = ParseProtocolAnswer(featureAnswer, featureAnswer.size(), feature);
    ASSERT_TRUE(state.has_value());
    EXPECT_EQ(disks::PowerStateOf(state->fixedReturnData), 3);
}

TEST(NvmeProtocolAnswer, RefusesWhatDoesNotHoldTheWholePage)
{
    const ProtocolQuery log = *ProtocolQueryFor(disks::SmartHealthLogCommand());
    const Bytes good = ProtocolAnswerFor(log, 0);
    EXPECT_FALSE(ParseProtocolAnswer(good, good.size() - 1, log).has_value());
    Bytes version = good;
    PutDword(version, 0, 40);
    EXPECT_FALSE(ParseProtocolAnswer(version, version.size(), log).has_value());
    Bytes offset = good;
    PutDword(offset, 8 + 16, 0xFFFFFFF0u); // an offset that would wrap a 32-bit sum
    EXPECT_FALSE(ParseProtocolAnswer(offset, offset.size(), log).has_value());
    Bytes inside = good;
    PutDword(inside, 8 + 16, 8); // the data would overlap the protocol fields
    EXPECT_FALSE(ParseProtocolAnswer(inside, inside.size(), log).has_value());
    Bytes shortLength = good;
    PutDword(shortLength, 8 + 20, 511);
    EXPECT_FALSE(ParseProtocolAnswer(shortLength, shortLength.size(), log).has_value());
    EXPECT_FALSE(ParseProtocolAnswer(good, 47, log).has_value());
}

TEST(StorageBuffers, RandomAnswersParseWithoutStrayReads)
{
    std::mt19937 random(0x2D1400);
    const ProtocolQuery identify = *ProtocolQueryFor(disks::IdentifyControllerCommand());
    for (int round = 0; round < 2000; ++round) {
        Bytes bytes(random() % 700);
        for (uint8_t& b : bytes) {
            b = static_cast<uint8_t>(random());
        }
        // Plausible headers now and then, so that the parsers get past their first checks.
        if (bytes.size() >= 48 && round % 3 == 0) {
            PutDword(bytes, 0, 48);
            PutDword(bytes, 4, 48);
        }
        const size_t returned = random() % 1000;
        (void)ParseSmartVersion(bytes);
        (void)ParseDriverStatus(bytes, returned);
        (void)ParseSmartDataPage(bytes, returned);
        if (const auto descriptor = ParseStorageDeviceDescriptor(bytes, returned)) {
            EXPECT_LE(descriptor->product.size(), bytes.size());
        }
        (void)ParseDeviceTemperature(bytes, returned);
        if (const auto answer = ParseProtocolAnswer(bytes, returned, identify)) {
            EXPECT_EQ(answer->data.size(), 4096u);
        }
    }
}

} // namespace
} // namespace calventa::platform::windows_backend
