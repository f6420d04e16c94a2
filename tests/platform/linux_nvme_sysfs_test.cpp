// What sysfs publishes of an NVMe controller, read from a fake tree: the identity strings,
// the hwmon composite temperature, bad content, and the fallback when /dev/nvmeN or its
// admin commands are refused.

#include "platform/linux/linux_nvme_sysfs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "linux_test_support.h"
#include "platform/linux/linux_smart_device.h"

namespace calventa::platform::linux_backend {
namespace {

using testing::TempDir;
using testing::WriteText;

// ROOT/nvmeN with the given identity files (nullptr: missing) and an hwmon folder.
void MakeController(const TempDir& root, int n, const char* model, const char* serial, const char* firmware)
{
    const std::string dir = root / ("nvme" + std::to_string(n));
    mkdir(dir.c_str(), 0755);
    if (model != nullptr) {
        WriteText(dir + "/model", model);
    }
    if (serial != nullptr) {
        WriteText(dir + "/serial", serial);
    }
    if (firmware != nullptr) {
        WriteText(dir + "/firmware_rev", firmware);
    }
}

void MakeHwmon(const std::string& folder, const char* name, const std::string& input)
{
    std::filesystem::create_directories(folder);
    WriteText(folder + "/name", name);
    WriteText(folder + "/temp1_input", input);
}

TEST(NvmeSysfsIdentity, FieldsReadWithTrailingBlanksAndLineEndsCut)
{
    TempDir root;
    MakeController(root, 0, "QEMU NVMe Ctrl                          \n", "deadbeef            \n", "1.0     \n");
    const std::optional<NvmePublishedIdentity> identity = NvmeSysfs(root.Path()).Identity(0);
    ASSERT_TRUE(identity);
    EXPECT_EQ(identity->model, "QEMU NVMe Ctrl");
    EXPECT_EQ(identity->serial, "deadbeef");
    EXPECT_EQ(identity->firmware, "1.0");
}

TEST(NvmeSysfsIdentity, MissingFiles)
{
    TempDir root;
    MakeController(root, 0, "ONLY MODEL\n", nullptr, nullptr);
    MakeController(root, 1, nullptr, "S\n", "F\n");
    const NvmeSysfs sysfs(root.Path());
    const std::optional<NvmePublishedIdentity> only = sysfs.Identity(0);
    ASSERT_TRUE(only);
    EXPECT_EQ(only->model, "ONLY MODEL");
    EXPECT_EQ(only->serial, "");
    EXPECT_EQ(only->firmware, "");
    EXPECT_FALSE(sysfs.Identity(1)); // no model: not published
    EXPECT_FALSE(sysfs.Identity(2)); // no controller
    EXPECT_FALSE(NvmeSysfs(root / "absent").Identity(0));
}

TEST(NvmeSysfsIdentity, AHugeFileIsReadOnlyToTheBound)
{
    TempDir root;
    MakeController(root, 0, nullptr, nullptr, nullptr);
    WriteText(root / "nvme0/model", std::string(8 * 1024 * 1024, 'X'));
    const std::optional<NvmePublishedIdentity> identity = NvmeSysfs(root.Path()).Identity(0);
    ASSERT_TRUE(identity);
    EXPECT_EQ(identity->model.size(), kNvmeSysfsReadLimit);
}

TEST(NvmeSysfsIdentity, AFifoOrALinkIsNotRead)
{
    TempDir root;
    MakeController(root, 0, nullptr, nullptr, nullptr);
    ASSERT_EQ(mkfifo((root / "nvme0/model").c_str(), 0644), 0);
    MakeController(root, 1, nullptr, nullptr, nullptr);
    WriteText(root / "target", "LINKED\n");
    ASSERT_EQ(symlink((root / "target").c_str(), (root / "nvme1/model").c_str()), 0);
    EXPECT_FALSE(NvmeSysfs(root.Path()).Identity(0)); // and no hang
    EXPECT_FALSE(NvmeSysfs(root.Path()).Identity(1));
}

TEST(NvmeSysfsTemperature, FromTheControllersNvmeHwmonDevice)
{
    TempDir root;
    MakeController(root, 0, "M\n", nullptr, nullptr);
    MakeHwmon(root / "nvme0/hwmon0", "drivetemp\n", "99000\n"); // not the controller's
    MakeHwmon(root / "nvme0/hwmon3", "nvme\n", "49850\n");
    EXPECT_EQ(NvmeSysfs(root.Path()).CompositeMilliCelsius(0), 49850);
}

TEST(NvmeSysfsTemperature, FromTheDevicesHwmonFolderOfOlderKernels)
{
    TempDir root;
    MakeController(root, 1, "M\n", nullptr, nullptr);
    MakeHwmon(root / "nvme1/device/hwmon/hwmon2", "nvme\n", "-5000\n");
    EXPECT_EQ(NvmeSysfs(root.Path()).CompositeMilliCelsius(1), -5000);
}

TEST(NvmeSysfsTemperature, GarbageOrNoHwmonGivesNoReading)
{
    TempDir root;
    MakeController(root, 0, "M\n", nullptr, nullptr);
    EXPECT_FALSE(NvmeSysfs(root.Path()).CompositeMilliCelsius(0));
    for (const char* garbage : {"", "\n", "abc\n", "49850x\n", "4.5\n", " 42\n", "99999999999999999999999\n"}) {
        MakeHwmon(root / "nvme0/hwmon0", "nvme\n", garbage);
        EXPECT_FALSE(NvmeSysfs(root.Path()).CompositeMilliCelsius(0)) << '"' << garbage << '"';
    }
    MakeHwmon(root / "nvme0/hwmon0", "nvme\n", std::string(1 << 20, '7'));
    EXPECT_FALSE(NvmeSysfs(root.Path()).CompositeMilliCelsius(0));
}

TEST(NvmeSysfsFallback, AControllerFileThisUserMayNotOpenGivesThePublishedFactsOnly)
{
    TempDir dir;
    WriteText(dir / "nvme0", std::string(64, '\0'));
    chmod((dir / "nvme0").c_str(), 0600);
    const std::string sys = dir / "sys";
    std::filesystem::create_directories(sys + "/nvme0");
    WriteText(sys + "/nvme0/model", "PUBLISHED\n");
    MakeHwmon(sys + "/nvme0/hwmon1", "nvme\n", "38000\n");
    EXPECT_TRUE(testing::AsAttacker([&] {
        LinuxSmartDevices drives(dir / "sd", 1000, dir / "nvme", sys);
        NvmeOpenResult opened = drives.OpenNvmeController(0);
        if (opened.error != DriveOpenError::AccessDenied || !opened.device) {
            return false;
        }
        NvmeDataPage page{};
        const bool refused =
            opened.device->SendAdminCommand({0x06, 0, 1, 0, 4096}, page).status == SmartCommandStatus::RightsMissing;
        const std::optional<NvmePublishedIdentity> identity = opened.device->PublishedIdentity();
        return refused && identity && identity->model == "PUBLISHED" &&
               opened.device->PublishedMilliCelsius() == std::optional<int64_t>(38000) &&
               drives.OpenNvmeController(1).device == nullptr; // nothing published, nothing opened
    }));
}

TEST(NvmeSysfsFallback, AnOpenedControllerAlsoPublishes)
{
    TempDir dir;
    WriteText(dir / "nvme0", std::string(64, '\0'));
    std::filesystem::create_directories(dir / "sys/nvme0");
    WriteText(dir / "sys/nvme0/model", "M\n");
    LinuxSmartDevices drives(dir / "sd", 1000, dir / "nvme", dir / "sys");
    NvmeOpenResult opened = drives.OpenNvmeController(0);
    ASSERT_TRUE(opened.device);
    EXPECT_EQ(opened.error, DriveOpenError::None);
    ASSERT_TRUE(opened.device->PublishedIdentity());
    EXPECT_EQ(opened.device->PublishedIdentity()->model, "M");
}

} // namespace
} // namespace calventa::platform::linux_backend
