// The simulated board's disks: the pages they answer with, the commands they accept, and
// the access the board grants.

#include "platform/sim/sim_disks.h"

#include <gtest/gtest.h>

#include <numeric>

namespace calventa::sim {
namespace {

using platform::SmartCommand;
using platform::SmartDataPage;

BoardDescription Board(const std::string& json)
{
    std::string error;
    auto board = ParseBoard(json, error);
    EXPECT_TRUE(board.has_value()) << error;
    return board.value_or(BoardDescription{});
}

SmartCommand Command(uint32_t code, uint8_t features, uint8_t cylinderLow, uint8_t cylinderHigh, uint8_t command,
                     uint8_t drive)
{
    const bool data = code == platform::kSmartRcvDriveData;
    return SmartCommand{
        code,
        data ? 512u : 0u,
        {features, 1, 1, cylinderLow, cylinderHigh, static_cast<uint8_t>(drive & 1 ? 0xB0 : 0xA0), command},
        drive,
        data ? 528u : 16u};
}

SmartCommand Enable(uint8_t drive)
{
    return Command(platform::kSmartSendDriveCommand, 0xD8, 0x4F, 0xC2, 0xB0, drive);
}
SmartCommand Identify(uint8_t drive)
{
    return Command(platform::kSmartRcvDriveData, 0, 0, 0, 0xEC, drive);
}
SmartCommand ReadData(uint8_t drive)
{
    return Command(platform::kSmartRcvDriveData, 0xD0, 0x4F, 0xC2, 0xB0, drive);
}

TEST(SimDiskPages, IdentifyHoldsByteSwappedBlankPaddedStrings)
{
    DiskDescription disk;
    disk.model = "SIM DISK 1";
    disk.serial = "SN0001";
    disk.firmware = "1.0";
    const SmartDataPage page = SimDisks::IdentifyPage(disk);
    // Model from byte 54: "SI" "M " "DI" "SK" " 1", each word low byte first.
    EXPECT_EQ(std::string(page.begin() + 54, page.begin() + 64), "IS MIDKS1 ");
    EXPECT_EQ(std::string(page.begin() + 64, page.begin() + 94), std::string(30, ' '));
    EXPECT_EQ(std::string(page.begin() + 20, page.begin() + 26), "NS0010");
    EXPECT_EQ(std::string(page.begin() + 26, page.begin() + 40), std::string(14, ' '));
    EXPECT_EQ(std::string(page.begin() + 46, page.begin() + 54), ".1 0    ");
}

TEST(SimDiskPages, IdentifyKeepsWholeCharactersOfALongMultiByteModel)
{
    DiskDescription disk;
    disk.model = "A";
    for (int i = 0; i < 39; ++i) {
        disk.model += "\xC3\x84"; // U+00C4: 79 bytes in all, 40 characters
    }
    const SmartDataPage page = SimDisks::IdentifyPage(disk);
    std::string field;
    for (size_t i = 0; i < 40; ++i) {
        field += static_cast<char>(page[54 + (i ^ 1)]);
    }
    // "A" and 19 whole characters fill 39 bytes; the 40th byte would start a 20th and stays blank.
    EXPECT_EQ(field, disk.model.substr(0, 39) + " ");
}

TEST(SimDiskPages, AttributeTableCarriesTheTemperatureAtItsEntry)
{
    DiskDescription disk;
    disk.temperature = -10;
    disk.attributeEntry = 35;
    const SmartDataPage page = SimDisks::SmartDataPage(disk);
    const size_t entry = 2 + 35 * 12;
    EXPECT_EQ(page[entry], 194);
    EXPECT_EQ(page[entry + 5], 0xF6);
    for (size_t i = 0; i < 42; ++i) {
        if (i != 35) {
            EXPECT_NE(page[2 + i * 12], 194) << "entry " << i;
        }
    }
    EXPECT_NE(page[2], 0); // other attributes come first
    EXPECT_EQ(std::accumulate(page.begin(), page.end(), 0u) % 256, 0u);

    disk.attributeEntry = -1;
    const SmartDataPage none = SimDisks::SmartDataPage(disk);
    for (size_t i = 0; i < 42; ++i) {
        EXPECT_NE(none[2 + i * 12], 194);
    }
}

TEST(SimDiskCommands, OnlyTheExactThreeCommandsAreAnswered)
{
    SimDisks disks(Board(R"({"disks": [{"drive": 1, "temperature": 41}]})"));
    auto opened = disks.OpenPhysicalDrive(1);
    ASSERT_TRUE(opened.device);
    SmartDataPage page{};
    EXPECT_TRUE(opened.device->SendSmartCommand(Enable(1), page));
    EXPECT_TRUE(opened.device->SendSmartCommand(Identify(1), page));
    EXPECT_TRUE(opened.device->SendSmartCommand(ReadData(1), page));
    EXPECT_EQ(page[2 + 5], 41);

    SmartCommand wrongHead = ReadData(1);
    wrongHead.registers.driveHead = 0xA0; // drive 1 is the odd one
    SmartCommand wrongSignature = Enable(1);
    wrongSignature.registers.cylinderHigh = 0x2C;
    SmartCommand wrongLength = ReadData(1);
    wrongLength.outputLength = 16;
    SmartCommand wrongCode = Enable(1);
    wrongCode.controlCode = platform::kSmartRcvDriveData;
    SmartCommand returnStatus = Enable(1);
    returnStatus.registers.features = 0xDA;
    for (const SmartCommand& c : {wrongHead, wrongSignature, wrongLength, wrongCode, returnStatus}) {
        page.fill(0x5A);
        EXPECT_FALSE(opened.device->SendSmartCommand(c, page));
        EXPECT_EQ(page[0], 0x5A); // a failed command leaves the page alone
    }
    EXPECT_EQ(disks.Commands().size(), 8u);
    EXPECT_FALSE(disks.Commands().back().succeeded);
}

TEST(SimDiskCommands, DriveWithoutSmartStillIdentifiesItself)
{
    SimDisks disks(Board(R"({"disks": [{"drive": 0, "model": "OLD", "smart": false}]})"));
    auto opened = disks.OpenPhysicalDrive(0);
    ASSERT_TRUE(opened.device);
    SmartDataPage page{};
    EXPECT_FALSE(opened.device->SendSmartCommand(Enable(0), page));
    EXPECT_TRUE(opened.device->SendSmartCommand(Identify(0), page));
    EXPECT_FALSE(opened.device->SendSmartCommand(ReadData(0), page));
}

struct AccessCase
{
    const char* access;
    DiskRights rights;
    platform::DriveOpenError drive0;
};

class SimDiskAccess : public ::testing::TestWithParam<AccessCase>
{
};

TEST_P(SimDiskAccess, DriveZeroFollowsTheBoardForUsersOnly)
{
    const AccessCase c = GetParam();
    SimDisks disks(
        Board(std::string(R"({"disk_access": ")") + c.access + R"(", "disks": [{"drive": 0}, {"drive": 1}]})"),
        c.rights);
    const auto drive0 = disks.OpenPhysicalDrive(0);
    EXPECT_EQ(drive0.error, c.drive0);
    EXPECT_EQ(drive0.device != nullptr, c.drive0 == platform::DriveOpenError::None);
    EXPECT_TRUE(disks.OpenPhysicalDrive(1).device);
    EXPECT_EQ(disks.OpenPhysicalDrive(2).error, platform::DriveOpenError::NotFound);
    EXPECT_EQ(disks.OpenPhysicalDrive(-1).error, platform::DriveOpenError::NotFound);
}

INSTANTIATE_TEST_SUITE_P(Boards, SimDiskAccess,
                         ::testing::Values(AccessCase{"direct", DiskRights::User, platform::DriveOpenError::None},
                                           AccessCase{"denied", DiskRights::User,
                                                      platform::DriveOpenError::AccessDenied},
                                           AccessCase{"absent", DiskRights::User, platform::DriveOpenError::NotFound},
                                           AccessCase{"denied", DiskRights::Service, platform::DriveOpenError::None},
                                           AccessCase{"absent", DiskRights::Service, platform::DriveOpenError::None}),
                         [](const ::testing::TestParamInfo<AccessCase>& testCase) {
                             std::string access = testCase.param.access;
                             access[0] = static_cast<char>(access[0] - 'a' + 'A');
                             return access + (testCase.param.rights == DiskRights::User ? "ForAUser" : "ForTheService");
                         });

TEST(SimDiskAccessNoRawIo, UsersOpenTheDrivesButEveryCommandIsRefusedForRights)
{
    const BoardDescription board = Board(R"({"disk_access": "no_rawio", "disks": [{"drive": 0}]})");
    SimDisks user(board, DiskRights::User);
    auto opened = user.OpenPhysicalDrive(0);
    ASSERT_TRUE(opened.device);
    SmartDataPage page{};
    EXPECT_EQ(opened.device->SendSmartCommand(Identify(0), page).status, platform::SmartCommandStatus::RightsMissing);
    EXPECT_EQ(user.Counts().refusedForRights, 1u);

    SimDisks service(board, DiskRights::Service);
    EXPECT_TRUE(service.OpenPhysicalDrive(0).device->SendSmartCommand(Identify(0), page));
}

TEST(SimDiskRecord, KeepsTheLastCommandsAndCountsThemAll)
{
    SimDisks disks(Board(R"({"disks": [{"drive": 1}]})"));
    auto device = disks.OpenPhysicalDrive(1).device;
    ASSERT_TRUE(device);
    SmartDataPage page{};
    const size_t total = 10 * SimDisks::kKeptCommands + 3;
    for (size_t i = 0; i < total; ++i) {
        device->SendSmartCommand(i + 1 == total ? Enable(0) : ReadData(1), page); // the last one fails
    }
    EXPECT_EQ(disks.Commands().size(), SimDisks::kKeptCommands);
    EXPECT_FALSE(disks.Commands().back().succeeded);
    EXPECT_TRUE(disks.Commands().front().succeeded);
    EXPECT_EQ(disks.Counts().sent, total);
    EXPECT_EQ(disks.Counts().succeeded, total - 1);
    disks.ClearCommands();
    EXPECT_TRUE(disks.Commands().empty());
    EXPECT_EQ(disks.Counts().sent, 0u);
}

TEST(SimSmartVsd, LoadedOnNineXOnlyAndReachesDrivesByNumber)
{
    SimDisks nt(Board(R"({"disks": [{"drive": 2}]})"));
    EXPECT_EQ(nt.OpenSmartVsd(), nullptr);

    SimDisks nineX(Board(R"({"family": "9x", "disks": [{"drive": 2, "temperature": 20}]})"));
    auto device = nineX.OpenSmartVsd();
    ASSERT_TRUE(device);
    SmartDataPage page{};
    EXPECT_FALSE(device->SendSmartCommand(ReadData(1), page));
    EXPECT_TRUE(device->SendSmartCommand(ReadData(2), page));
    EXPECT_EQ(page[2 + 5], 20);
    EXPECT_TRUE(nineX.Commands().back().smartVsd);
    EXPECT_EQ(nineX.OpenHandles(), 1);
    device.reset();
    EXPECT_EQ(nineX.OpenHandles(), 0);
}

TEST(SimSmartVsd, CopyOfTheDriverLoadsIt)
{
    SimDisks disks(Board(R"({"family": "9x"})"));
    disks.SetSmartVsdLoaded(false);
    EXPECT_EQ(disks.OpenSmartVsd(), nullptr);
    EXPECT_TRUE(disks.CopyFile("/p/readme.txt", "/windows/system/readme.txt"));
    EXPECT_EQ(disks.OpenSmartVsd(), nullptr);
    EXPECT_TRUE(disks.CopyFile("/p/drv/smartvsd.vxd", disks.SystemDirectory() + "/iosubsys/smartvsd.vxd"));
    EXPECT_NE(disks.OpenSmartVsd(), nullptr);
    EXPECT_EQ(disks.Copies().size(), 2u);
}

TEST(SimDisksLifetime, DevicesMayOutliveTheirDisks)
{
    std::unique_ptr<platform::SmartDevice> device;
    {
        SimDisks disks(Board(R"({"disks": [{"drive": 0}]})"));
        device = disks.OpenPhysicalDrive(0).device;
    }
    SmartDataPage page{};
    EXPECT_TRUE(device->SendSmartCommand(Identify(0), page));
}

} // namespace
} // namespace calventa::sim
