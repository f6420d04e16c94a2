// The Linux drives: the ATA PASS-THROUGH(16) block built from a command, the reading of
// what SG_IO reports, and how a failed open is classified.

#include "platform/linux/linux_smart_device.h"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <random>
#include <vector>

#include "linux_test_support.h"

namespace calventa::platform::linux_backend {
namespace {

using testing::TempDir;

SmartCommand Command(uint32_t code, IdeRegisters registers, uint8_t drive)
{
    const bool data = code == kSmartRcvDriveData;
    return SmartCommand{code, data ? 512u : 0u, registers, drive, data ? 528u : 16u};
}

struct CdbCase
{
    const char* name;
    SmartCommand command;
    AtaPassThroughCdb cdb;
};

class AtaPassThroughBlock : public ::testing::TestWithParam<CdbCase>
{
};

TEST_P(AtaPassThroughBlock, CarriesTheRegistersByteByByte)
{
    const CdbCase& c = GetParam();
    const AtaPassThroughCdb cdb = BuildAtaPassThrough16(c.command);
    for (size_t i = 0; i < cdb.size(); ++i) {
        EXPECT_EQ(cdb[i], c.cdb[i]) << "byte " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, AtaPassThroughBlock,
    ::testing::Values(
        // opcode, non-data (3 << 1), no transfer, features, count, LBA low/mid/high, device, command
        CdbCase{"EnableDrive0",
                Command(kSmartSendDriveCommand, {0xD8, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0}, 0),
                {0x85, 0x06, 0x00, 0, 0xD8, 0, 0x01, 0, 0x01, 0, 0x4F, 0, 0xC2, 0xA0, 0xB0, 0}},
        // PIO data-in (4 << 1), from the device, in blocks, length in the count field
        CdbCase{"IdentifyDrive1",
                Command(kSmartRcvDriveData, {0x00, 1, 1, 0x00, 0x00, 0xB0, 0xEC}, 1),
                {0x85, 0x08, 0x0E, 0, 0x00, 0, 0x01, 0, 0x01, 0, 0x00, 0, 0x00, 0xB0, 0xEC, 0}},
        CdbCase{"ReadDataDrive2",
                Command(kSmartRcvDriveData, {0xD0, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0}, 2),
                {0x85, 0x08, 0x0E, 0, 0xD0, 0, 0x01, 0, 0x01, 0, 0x4F, 0, 0xC2, 0xA0, 0xB0, 0}},
        // READ LOG of the SCT status: the log address in LBA low
        CdbCase{"ReadSctStatusDrive0",
                Command(kSmartRcvDriveData, {0xD5, 1, 0xE0, 0x4F, 0xC2, 0xA0, 0xB0}, 0),
                {0x85, 0x08, 0x0E, 0, 0xD5, 0, 0x01, 0, 0xE0, 0, 0x4F, 0, 0xC2, 0xA0, 0xB0, 0}},
        // CHECK POWER MODE: non-data with CK_COND (0x20), so that the count comes back
        CdbCase{"CheckPowerModeDrive1",
                SmartCommand{kSmartSendDriveCommand, 0, {0, 0, 0, 0, 0, 0xB0, 0xE5}, 1, 16, true},
                {0x85, 0x06, 0x20, 0, 0x00, 0, 0x00, 0, 0x00, 0, 0x00, 0, 0x00, 0xB0, 0xE5, 0}}),
    [](const ::testing::TestParamInfo<CdbCase>& param) { return std::string(param.param.name); });

// Descriptor-format sense with the ATA status return descriptor.
std::vector<uint8_t> DescriptorSense(uint8_t key, uint8_t asc, uint8_t ascq, uint8_t ataStatus)
{
    std::vector<uint8_t> sense = {0x72, key, asc, ascq, 0, 0, 0, 14};
    const std::vector<uint8_t> descriptor = {0x09, 0x0C, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, ataStatus};
    sense.insert(sense.end(), descriptor.begin(), descriptor.end());
    return sense;
}

std::vector<uint8_t> FixedSense(uint8_t key, uint8_t asc, uint8_t ascq, uint8_t ataStatus)
{
    std::vector<uint8_t> sense(18, 0);
    sense[0] = 0x70;
    sense[2] = key;
    sense[4] = ataStatus;
    sense[7] = 10;
    sense[12] = asc;
    sense[13] = ascq;
    return sense;
}

struct OutcomeCase
{
    const char* name;
    uint8_t status;
    uint16_t host;
    uint16_t driver;
    std::vector<uint8_t> sense;
    bool succeeded;
};

class PassThroughOutcome : public ::testing::TestWithParam<OutcomeCase>
{
};

TEST_P(PassThroughOutcome, OnlyACompletedCommandCounts)
{
    const OutcomeCase& c = GetParam();
    EXPECT_EQ(AtaPassThroughSucceeded({c.status, c.host, c.driver, c.sense}), c.succeeded);
}

INSTANTIATE_TEST_SUITE_P(
    Reports, PassThroughOutcome,
    ::testing::Values(
        OutcomeCase{"Good", 0x00, 0, 0, {}, true}, OutcomeCase{"HostError", 0x00, 0x07, 0, {}, false},
        OutcomeCase{"DriverTimeout", 0x00, 0, 0x06, {}, false},
        OutcomeCase{"AtaInfoDescriptorOk", 0x02, 0, 0x08, DescriptorSense(0x01, 0x00, 0x1D, 0x50), true},
        OutcomeCase{"AtaInfoDescriptorErr", 0x02, 0, 0x08, DescriptorSense(0x01, 0x00, 0x1D, 0x51), false},
        OutcomeCase{"AtaInfoDescriptorFault", 0x02, 0, 0x08, DescriptorSense(0x01, 0x00, 0x1D, 0x70), false},
        OutcomeCase{"AtaInfoFixedOk", 0x02, 0, 0x08, FixedSense(0x01, 0x00, 0x1D, 0x50), true},
        OutcomeCase{"AbortedCommand", 0x02, 0, 0x08, DescriptorSense(0x0B, 0x00, 0x00, 0x51), false},
        OutcomeCase{"IllegalRequest", 0x02, 0, 0x08, FixedSense(0x05, 0x24, 0x00, 0x00), false},
        OutcomeCase{"CheckConditionWithoutSense", 0x02, 0, 0, {}, false},
        OutcomeCase{"ShortSense", 0x02, 0, 0x08, {0x72, 0x01, 0x00, 0x1D}, false},
        OutcomeCase{"DescriptorListCutShort", 0x02, 0, 0x08, {0x72, 0x01, 0x00, 0x1D, 0, 0, 0, 200, 0x09}, false},
        OutcomeCase{"Busy", 0x08, 0, 0, {}, false}),
    [](const ::testing::TestParamInfo<OutcomeCase>& param) { return std::string(param.param.name); });

TEST(DriveOpenErrors, AccessDeniedIsToldFromAMissingDrive)
{
    EXPECT_EQ(DriveOpenErrorOf(EACCES), DriveOpenError::AccessDenied);
    EXPECT_EQ(DriveOpenErrorOf(EPERM), DriveOpenError::AccessDenied);
    EXPECT_EQ(DriveOpenErrorOf(ENOENT), DriveOpenError::NotFound);
    EXPECT_EQ(DriveOpenErrorOf(ENXIO), DriveOpenError::NotFound);
    EXPECT_EQ(DriveOpenErrorOf(ENOMEDIUM), DriveOpenError::NotFound);
    EXPECT_EQ(DriveOpenErrorOf(EBUSY), DriveOpenError::Other);
}

// Group disk opens /dev/sdX, but ATA pass-through needs CAP_SYS_RAWIO: SG_IO answers EPERM,
// which must not look like a drive that merely failed.
TEST(SmartCommandErrors, AMissingRightIsToldFromAFailedCommand)
{
    EXPECT_EQ(SmartCommandStatusOfIoctlError(EPERM), SmartCommandStatus::RightsMissing);
    EXPECT_EQ(SmartCommandStatusOfIoctlError(EACCES), SmartCommandStatus::RightsMissing);
    EXPECT_EQ(SmartCommandStatusOfIoctlError(ENOTTY), SmartCommandStatus::Failed);
    EXPECT_EQ(SmartCommandStatusOfIoctlError(EIO), SmartCommandStatus::Failed);
}

// What CK_COND returns: the ATA status return descriptor (descriptor sense, 0x72) or the
// INFORMATION field (fixed sense, 0x70).
TEST(ReturnedRegisters, TheCountComesFromEitherSenseFormat)
{
    const std::vector<uint8_t> descriptor = {0x72, 0x01, 0x00, 0x1D, 0,    0,    0,   14, // header, 14 bytes follow
                                             0x09, 0x0C, 0x00, 0x00, 0x00, 0xFF, 0,       // count 0xFF
                                             0,    0,    0,    0,    0,    0xA0, 0x50};
    EXPECT_EQ(ReturnedSectorCount(descriptor), 0xFF);
    const std::vector<uint8_t> fixed = {0x70, 0, 0x01, 0x00, 0x50, 0xA0, 0x00, 10, 0, 0, 0, 0, 0x00, 0x1D};
    EXPECT_EQ(ReturnedSectorCount(fixed), 0x00);
    EXPECT_EQ(ReturnedSectorCount(std::vector<uint8_t>{0x72, 0x01}), std::nullopt);
    // A descriptor list that claims more than there is: nothing read beyond it.
    const std::vector<uint8_t> cut = {0x72, 0x01, 0x00, 0x1D, 0, 0, 0, 40, 0x09, 0x0C, 0, 0, 0, 0xFF};
    EXPECT_EQ(ReturnedSectorCount(cut), std::nullopt);
    EXPECT_EQ(ReturnedSectorCount(std::vector<uint8_t>{0x7F, 0, 0, 0, 0, 0, 0, 0}), std::nullopt);
}

TEST(ReturnedRegisters, RandomSenseDataIsReadWithinItsBytes)
{
    std::mt19937 random(0x72);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<size_t> length(0, 64);
    for (int iteration = 0; iteration < 2000; ++iteration) {
        // An exactly sized heap buffer, so that the sanitizer catches any read past it.
        std::vector<uint8_t> sense(length(random));
        for (uint8_t& b : sense) {
            b = static_cast<uint8_t>(byte(random));
        }
        if (!sense.empty() && iteration % 2 == 0) {
            sense[0] = 0x72;
        }
        (void)ReturnedSectorCount(sense);
        (void)AtaPassThroughSucceeded(SgIoOutcome{2, 0, 8, sense});
    }
}

TEST(LinuxDrives, MissingAndOutOfRangeDrivesAreNotFound)
{
    TempDir dir;
    LinuxSmartDevices drives(dir / "sd");
    EXPECT_EQ(DrivePath("/dev/sd", 7), "/dev/sdh");
    EXPECT_EQ(drives.OpenPhysicalDrive(0).error, DriveOpenError::NotFound);
    EXPECT_EQ(drives.OpenPhysicalDrive(8).error, DriveOpenError::NotFound);
    EXPECT_EQ(drives.OpenPhysicalDrive(-1).error, DriveOpenError::NotFound);
    EXPECT_EQ(drives.OpenSmartVsd(), nullptr);
}

TEST(LinuxDrives, SomethingThatIsNoDiskRefusesTheCommand)
{
    TempDir dir;
    testing::WriteText(dir / "sdb", std::string(4096, '\0'));
    LinuxSmartDevices drives(dir / "sd");
    auto opened = drives.OpenPhysicalDrive(1);
    ASSERT_TRUE(opened.device);
    SmartDataPage page;
    page.fill(0x33);
    EXPECT_EQ(
        opened.device->SendSmartCommand(Command(kSmartRcvDriveData, {0x00, 1, 1, 0x00, 0x00, 0xB0, 0xEC}, 1), page)
            .status,
        SmartCommandStatus::Failed);
    EXPECT_EQ(page[0], 0x33);
}

TEST(LinuxDrives, UserWithoutRightsGetsAccessDenied)
{
    TempDir dir;
    testing::WriteText(dir / "sda", "");
    chmod((dir / "sda").c_str(), 0660);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        testing::BecomeUnprivileged();
        LinuxSmartDevices drives(dir / "sd");
        _exit(drives.OpenPhysicalDrive(0).error == DriveOpenError::AccessDenied ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(LinuxDrives, CopyFileReplacesTheDestination)
{
    TempDir dir;
    testing::WriteText(dir / "source", "driver");
    testing::WriteText(dir / "destination", "old content");
    LinuxSmartDevices drives(dir / "sd");
    EXPECT_TRUE(drives.CopyFile(dir / "source", dir / "destination"));
    EXPECT_EQ(testing::ReadText(dir / "destination"), "driver");
    EXPECT_FALSE(drives.CopyFile(dir / "missing", dir / "destination"));
    EXPECT_EQ(testing::ReadText(dir / "destination"), "driver");
}

} // namespace
} // namespace calventa::platform::linux_backend
