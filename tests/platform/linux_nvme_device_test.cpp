// The Linux NVMe controllers: the block NVME_IOCTL_ADMIN_CMD takes, byte by byte, how the
// ioctl's result is classified, and opening /dev/nvmeN.

#include "platform/linux/linux_nvme_device.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "linux_test_support.h"
#include "platform/linux/linux_smart_device.h"

namespace calventa::platform::linux_backend {
namespace {

using testing::TempDir;
using Block = std::array<uint8_t, 72>;

// The block as the kernel reads it (this machine is little-endian, as the layout below).
Block BytesOf(const nvme_admin_cmd& command)
{
    Block bytes{};
    std::memcpy(bytes.data(), &command, bytes.size());
    return bytes;
}

void Put32(Block& block, size_t offset, uint32_t value)
{
    for (size_t i = 0; i < 4; ++i) {
        block[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

struct AdminBlockCase
{
    const char* name;
    NvmeAdminCommand command;
    uint64_t address;
    uint32_t timeoutMs;
};

class NvmeAdminBlock : public ::testing::TestWithParam<AdminBlockCase>
{
};

TEST_P(NvmeAdminBlock, CarriesTheFieldsAtTheirOffsetsAndZeroElsewhere)
{
    const AdminBlockCase& c = GetParam();
    Block expected{};
    expected[0] = c.command.opcode; // flags (1), reserved (2..3) zero
    Put32(expected, 4, c.command.namespaceId);
    // cdw2, cdw3 (8..15) and metadata (16..23) zero
    const uint64_t address = c.command.dataLength != 0 ? c.address : 0;
    Put32(expected, 24, static_cast<uint32_t>(address));
    Put32(expected, 28, static_cast<uint32_t>(address >> 32));
    // metadata length (32..35) zero
    Put32(expected, 36, c.command.dataLength);
    Put32(expected, 40, c.command.cdw10);
    Put32(expected, 44, c.command.cdw11);
    // cdw12..cdw15 (48..63) zero
    Put32(expected, 64, c.timeoutMs);
    // result (68..71) zero: the kernel writes it
    const Block actual = BytesOf(BuildNvmeAdminCommand(c.command, c.address, c.timeoutMs));
    for (size_t i = 0; i < actual.size(); ++i) {
        EXPECT_EQ(actual[i], expected[i]) << "byte " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, NvmeAdminBlock,
    ::testing::Values(AdminBlockCase{"IdentifyController", {0x06, 0, 1, 0, 4096}, 0x00007FFF12345000ULL, 10000},
                      AdminBlockCase{"SmartHealthLog", {0x02, 0xFFFFFFFF, 0x007F0002, 0, 512}, 0x1000, 2500},
                      // Get Features of the power state: no data, so no address.
                      AdminBlockCase{"PowerStateHasNoAddress", {0x0A, 0, 0x02, 0, 0}, 0xDEADBEEF, 1}),
    [](const ::testing::TestParamInfo<AdminBlockCase>& param) { return std::string(param.param.name); });

TEST(NvmeAdminBlock, SpotValuesOfTheIdentifyBlock)
{
    const Block bytes = BytesOf(BuildNvmeAdminCommand({0x06, 0, 1, 0, 4096}, 0x0102030405060708ULL, 10000));
    EXPECT_EQ(bytes[0], 0x06);
    EXPECT_EQ(bytes[24], 0x08); // address, little-endian
    EXPECT_EQ(bytes[31], 0x01);
    EXPECT_EQ(bytes[37], 0x10); // 4096 = 0x1000
    EXPECT_EQ(bytes[40], 0x01); // CNS 1
    EXPECT_EQ(bytes[64], 0x10); // 10000 = 0x2710
    EXPECT_EQ(bytes[65], 0x27);
}

TEST(NvmeCommandStatus, TheIoctlResultIsToldApart)
{
    EXPECT_EQ(NvmeCommandStatusOf(0, 0), SmartCommandStatus::Done);
    EXPECT_EQ(NvmeCommandStatusOf(0x4002, 0), SmartCommandStatus::Failed); // the controller's status
    EXPECT_EQ(NvmeCommandStatusOf(-1, EACCES), SmartCommandStatus::RightsMissing);
    EXPECT_EQ(NvmeCommandStatusOf(-1, EPERM), SmartCommandStatus::RightsMissing);
    EXPECT_EQ(NvmeCommandStatusOf(-1, ENOTTY), SmartCommandStatus::Failed);
    EXPECT_EQ(NvmeCommandStatusOf(-1, EIO), SmartCommandStatus::Failed);
}

TEST(LinuxNvmeControllers, PathsAndMissingControllers)
{
    TempDir dir;
    LinuxSmartDevices drives(dir / "sd", 1000, dir / "nvme");
    EXPECT_EQ(NvmeControllerPath("/dev/nvme", 3), "/dev/nvme3");
    EXPECT_EQ(drives.OpenNvmeController(0).error, DriveOpenError::NotFound);
    EXPECT_EQ(drives.OpenNvmeController(8).error, DriveOpenError::NotFound);
    EXPECT_EQ(drives.OpenNvmeController(-1).error, DriveOpenError::NotFound);
}

TEST(LinuxNvmeControllers, SomethingThatIsNoControllerFailsTheCommandAndLeavesThePage)
{
    TempDir dir;
    testing::WriteText(dir / "nvme1", std::string(64, '\0'));
    LinuxSmartDevices drives(dir / "sd", 1000, dir / "nvme");
    auto opened = drives.OpenNvmeController(1);
    ASSERT_TRUE(opened.device);
    NvmeDataPage page;
    page.fill(0x5A);
    EXPECT_EQ(opened.device->SendAdminCommand({0x06, 0, 1, 0, 4096}, page).status, SmartCommandStatus::Failed);
    EXPECT_EQ(page[0], 0x5A);
    EXPECT_EQ(opened.device->SendAdminCommand({0x06, 0, 1, 0, 4097}, page).status, SmartCommandStatus::Failed);
}

} // namespace
} // namespace calventa::platform::linux_backend
