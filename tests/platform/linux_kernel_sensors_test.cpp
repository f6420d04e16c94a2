#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "fake_sysfs.h"
#include "linux_test_support.h"
#include "platform/linux/hwmon_names.h"
#include "platform/linux/hwmon_pwm_files.h"
#include "platform/linux/libsensors_kernel_sensors.h"

namespace calventa::platform::linux_backend {
namespace {

using testing::ReadText;
using testing::TempDir;
using testing::WriteText;

struct NameCase
{
    const char* test;
    const char* name;
    std::optional<int> number;
};

std::string CaseName(const ::testing::TestParamInfo<NameCase>& info)
{
    return info.param.test;
}

class PwmFileName : public ::testing::TestWithParam<NameCase>
{
};

TEST_P(PwmFileName, NamesAPwmOutputOnlyWhenDigitsFollowThePrefix)
{
    EXPECT_EQ(NumberAfterPrefix(GetParam().name, "pwm"), GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(Names, PwmFileName,
                         ::testing::Values(NameCase{"First", "pwm1", 1}, NameCase{"TwoDigits", "pwm12", 12},
                                           NameCase{"EnableFile", "pwm1_enable", std::nullopt},
                                           NameCase{"Bare", "pwm", std::nullopt},
                                           NameCase{"ModeFile", "pwm2_mode", std::nullopt},
                                           NameCase{"Signed", "pwm-1", std::nullopt},
                                           NameCase{"OtherPrefix", "fan1", std::nullopt},
                                           NameCase{"Overlong", "pwm12345678901", std::nullopt}),
                         CaseName);

class DriveBlockName : public ::testing::TestWithParam<NameCase>
{
};

TEST_P(DriveBlockName, MapsToThePhysicalDriveTheDiskPassReads)
{
    EXPECT_EQ(AtaDriveOfBlockName(GetParam().name), GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(Names, DriveBlockName,
                         ::testing::Values(NameCase{"FirstDisk", "sda", 0}, NameCase{"EighthDisk", "sdh", 7},
                                           NameCase{"NinthDiskHasNoDriveNumber", "sdi", std::nullopt},
                                           NameCase{"TwoLetterDisk", "sdaa", std::nullopt},
                                           NameCase{"Partition", "sda1", std::nullopt},
                                           NameCase{"Optical", "sr0", std::nullopt},
                                           NameCase{"NvmeNamespace", "nvme0n1", std::nullopt},
                                           NameCase{"Empty", "", std::nullopt}),
                         CaseName);

TEST(NvmeControllerName, IsTheControllerNumberNotANamespace)
{
    EXPECT_EQ(NvmeControllerOfName("nvme0"), 0);
    EXPECT_EQ(NvmeControllerOfName("nvme3"), 3);
    EXPECT_EQ(NvmeControllerOfName("nvme0n1"), std::nullopt);
    EXPECT_EQ(NvmeControllerOfName("nvme"), std::nullopt);
    EXPECT_EQ(NvmeControllerOfName("0000:00:04.0"), std::nullopt);
}

TEST(BusPath, IsThePathBelowSysDevicesAndNeverTheHwmonNumber)
{
    EXPECT_EQ(BusPathOf("/sys/devices/i2c-0/0-004c"), "i2c-0/0-004c");
    EXPECT_EQ(BusPathOf("/sys/devices/platform/coretemp.0/"), "platform/coretemp.0");
    EXPECT_EQ(BusPathOf("/sys/devices/pci0000:00/0000:00:04.0/nvme/nvme0"), "pci0000:00/0000:00:04.0/nvme/nvme0");
    // No device, or a link that resolved somewhere else: no bus path rather than a wrong one.
    EXPECT_EQ(BusPathOf(""), "");
    EXPECT_EQ(BusPathOf("/sys/devices/"), "");
    EXPECT_EQ(BusPathOf("/sys/class/hwmon/hwmon3"), "");
    EXPECT_EQ(BusPathOf("/tmp/sys/devices/x"), "");
}

TEST(SysfsInteger, AcceptsTheKernelsFormatAndNothingElse)
{
    EXPECT_EQ(ParseSysfsInteger("2\n"), 2);
    EXPECT_EQ(ParseSysfsInteger("255"), 255);
    EXPECT_EQ(ParseSysfsInteger("-5\n"), -5);
    EXPECT_EQ(ParseSysfsInteger("+1\n"), 1);
    for (const char* bad : {"", "\n", "2 \n", "0x10", "1.5", "abc", "99999999999", "+-1", "2\n\n"}) {
        EXPECT_EQ(ParseSysfsInteger(bad), std::nullopt) << bad;
    }
}

// A hwmon directory as a driver with one pwm output publishes it.
class PwmDirectory : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WriteText(dir / "pwm1", "128\n");
        WriteText(dir / "pwm1_enable", "2\n");
        WriteText(dir / "pwm3", "0\n");
        WriteText(dir / "pwm10_enable", "1\n"); // enable without duty file: no output
        WriteText(dir / "temp1_input", "42000\n");
    }
    TempDir dir;
};

TEST_F(PwmDirectory, ListsEveryDutyFileInOrder)
{
    EXPECT_EQ(HwmonPwmFiles(dir.Path()).List(), (std::vector<int>{1, 3}));
    EXPECT_TRUE(HwmonPwmFiles(dir / "missing").List().empty());
}

TEST_F(PwmDirectory, ReadsAndWritesTheEnableModeAndTheDuty)
{
    const HwmonPwmFiles files(dir.Path());
    EXPECT_EQ(files.ReadEnable(1), 2);
    EXPECT_TRUE(files.WriteEnable(1, 1));
    EXPECT_EQ(files.ReadEnable(1), 1);
    EXPECT_EQ(files.ReadDuty(1), 128);
    EXPECT_TRUE(files.WriteDuty(1, 200));
    EXPECT_EQ(ReadText(dir / "pwm1"), "200\n");
    EXPECT_EQ(files.ReadDuty(1), 200);
    WriteText(dir / "pwm1", "300\n"); // no duty of a byte: not one to restore later
    EXPECT_EQ(files.ReadDuty(1), std::nullopt);
    WriteText(dir / "pwm1_enable", "garbage");
    EXPECT_EQ(files.ReadEnable(1), std::nullopt);
}

TEST_F(PwmDirectory, RefusesDutiesOutsideTheByteWithoutWriting)
{
    const HwmonPwmFiles files(dir.Path());
    EXPECT_FALSE(files.WriteDuty(1, 256));
    EXPECT_FALSE(files.WriteDuty(1, -1));
    EXPECT_EQ(ReadText(dir / "pwm1"), "128\n");
}

TEST_F(PwmDirectory, NeverCreatesAFileNorFollowsALink)
{
    const HwmonPwmFiles files(dir.Path());
    // pwm3 has no enable file: writing the mode must not make one.
    EXPECT_FALSE(files.WriteEnable(3, 1));
    EXPECT_FALSE(std::filesystem::exists(dir / "pwm3_enable"));
    EXPECT_EQ(files.ReadEnable(3), std::nullopt);

    WriteText(dir / "victim", "keep\n");
    std::filesystem::remove(dir / "pwm1");
    std::filesystem::create_symlink(dir / "victim", dir / "pwm1");
    EXPECT_FALSE(files.WriteDuty(1, 10));
    EXPECT_EQ(ReadText(dir / "victim"), "keep\n");
}

TEST_F(PwmDirectory, AccessSaysMissingOrNotWritableAsTheFilesAre)
{
    const HwmonPwmFiles files(dir.Path());
    EXPECT_EQ(files.Access(2), PwmAccess::Missing);
    EXPECT_EQ(files.Access(3), PwmAccess::Ok); // a driver without pwm3_enable is always manual

    chmod((dir / "pwm1").c_str(), 0644);
    chmod((dir / "pwm1_enable").c_str(), 0444);
    chmod((dir / "pwm3").c_str(), 0644);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        testing::BecomeUnprivileged();
        const bool ok = files.Access(1) == PwmAccess::NotWritable && files.Access(3) == PwmAccess::NotWritable &&
                        files.ReadEnable(1) == 2;
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    // The permission bits do not bind root.
    EXPECT_EQ(files.Access(1), geteuid() == 0 ? PwmAccess::Ok : PwmAccess::NotWritable);
}

bool AnyNoteContains(const std::vector<std::string>& notes, const std::string& text)
{
    return std::any_of(notes.begin(), notes.end(),
                       [&](const std::string& note) { return note.find(text) != std::string::npos; });
}

TEST(LibsensorsConfiguration, ErrorIsLoggedWithFileAndLineAndTheConfigurationIsDropped)
{
    TempDir dir;
    WriteText(dir / "sensors.conf", "chip \"lm75-*\"\n    label temp1 \"Board\"\n    compute temp1 @*(((\n");
    LibsensorsKernelSensors sensors(dir / "sensors.conf");
    sensors.ScanDevices();
    const std::vector<std::string> notes = sensors.TakeNotes();
    EXPECT_TRUE(AnyNoteContains(notes, dir / "sensors.conf:")) << ::testing::PrintToString(notes);
    EXPECT_TRUE(AnyNoteContains(notes, "syntax error")) << ::testing::PrintToString(notes);
    // Each note once: the next call has none until the next scan.
    EXPECT_TRUE(sensors.TakeNotes().empty());
}

TEST(LibsensorsConfiguration, ValidFileGivesNoNote)
{
    TempDir dir;
    WriteText(dir / "sensors.conf", "chip \"lm75-*\"\n    label temp1 \"Board\"\n    compute temp1 @*2, @/2\n");
    LibsensorsKernelSensors sensors(dir / "sensors.conf");
    sensors.ScanDevices();
    const std::vector<std::string> notes = sensors.TakeNotes();
    // A machine without sysfs cannot start libsensors at all; that is a different note.
    EXPECT_FALSE(AnyNoteContains(notes, "configuration")) << ::testing::PrintToString(notes);
}

TEST(LibsensorsConfiguration, UnreadableFileIsNamedInTheLog)
{
    TempDir dir;
    LibsensorsKernelSensors sensors(dir / "absent.conf");
    sensors.ScanDevices();
    EXPECT_TRUE(AnyNoteContains(sensors.TakeNotes(), dir / "absent.conf: No such file or directory"));
}

// The monitor's own start with such a file: noted, run without it, never waited on.
TEST(LibsensorsConfiguration, AFifoOrADirectoryIsNamedAndNeverWaitedOn)
{
    TempDir dir;
    mkfifo((dir / "fifo.conf").c_str(), 0644);
    mkdir((dir / "dir.conf").c_str(), 0755);
    for (const auto& [name, reason] : {std::pair<std::string, std::string>{"fifo.conf", "not a regular file"},
                                       {"dir.conf", "a directory, not a file"}}) {
        const std::optional<int> exit = testing::ExitWithin(std::chrono::seconds(5), [&] {
            LibsensorsKernelSensors sensors(dir / name);
            sensors.ScanDevices();
            return AnyNoteContains(sensors.TakeNotes(), dir / name + ": " + reason) ? 0 : 1;
        });
        EXPECT_EQ(exit, 0) << name;
    }
}

TEST(LibsensorsIndexes, OutsideTheLastScanFailWithoutTouchingAnything)
{
    LibsensorsKernelSensors sensors;
    const std::vector<KernelDevice> devices = sensors.ScanDevices();
    const size_t beyond = devices.size();
    EXPECT_EQ(sensors.ReadInput(beyond, 0), std::nullopt);
    EXPECT_EQ(sensors.ReadPwmEnable(beyond, 1), std::nullopt);
    EXPECT_FALSE(sensors.WritePwmEnable(beyond, 1, 1));
    EXPECT_FALSE(sensors.WritePwm(beyond, 1, 100));
    EXPECT_EQ(sensors.CheckPwmAccess(beyond, 1), PwmAccess::Missing);
    for (size_t d = 0; d < devices.size(); ++d) {
        EXPECT_EQ(sensors.ReadInput(d, devices[d].Inputs.size()), std::nullopt);
        EXPECT_EQ(sensors.CheckPwmAccess(d, 1000), PwmAccess::Missing);
    }
}

// Both ways a driver registers its attributes, as libsensors finds them on a machine's /sys:
// on the hwmon class device (lm75), or on the device itself (the w83781d family, on the i2c
// bus and as an ISA platform device). Each gets the bus path of its device.
TEST(LibsensorsBusPath, IsTheDevicesPathInBothAttributeLayouts)
{
    const testing::FakeSysfsRun run = testing::InFakeSysfs(
        [] {
            testing::AddHwmonDevice(0, "platform/i2c_stub/i2c-0/0-0048", "i2c", "lm75", false);
            testing::AddHwmonDevice(1, "platform/i2c_stub/i2c-0/0-002d", "i2c", "w83781d", true);
            testing::AddHwmonDevice(2, "platform/w83627hf.656", "platform", "w83627hf", true);
        },
        [] {
            LibsensorsKernelSensors sensors;
            std::string text;
            for (const KernelDevice& device : sensors.ScanDevices()) {
                text += device.Name + " " + device.BusPath + " " + std::to_string(device.Inputs.size()) + "\n";
            }
            return text;
        });
    if (run.skipped) {
        GTEST_SKIP() << "no mount namespace for a fake /sys (needs root)";
    }
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.text, "lm75 platform/i2c_stub/i2c-0/0-0048 2\n"
                        "w83627hf platform/w83627hf.656 2\n"
                        "w83781d platform/i2c_stub/i2c-0/0-002d 2\n");
}

// The same derivation on a tree anywhere: what a library path names resolves to the device.
TEST(ChipDeviceDirectory, FollowsOnlyTheClassDevicesLinkToItsDevice)
{
    namespace fs = std::filesystem;
    TempDir dir;
    const std::string device = dir / "devices/pci0000:00/0000:00:18.3";
    fs::create_directories(device + "/hwmon/hwmon4");
    fs::create_directory_symlink("../..", device + "/hwmon/hwmon4/device");
    WriteText(device + "/device", "0x1463\n"); // a PCI device's id, no link
    const std::string resolvedDevice = fs::canonical(device);
    // Current layout: the class device, by its own path or the class link.
    EXPECT_EQ(DeviceDirectoryOfChip(device + "/hwmon/hwmon4"), resolvedDevice);
    fs::create_directories(dir / "class/hwmon");
    fs::create_directory_symlink(device + "/hwmon/hwmon4", dir / "class/hwmon/hwmon4");
    EXPECT_EQ(DeviceDirectoryOfChip(dir / "class/hwmon/hwmon4"), resolvedDevice);
    // Old layout: the device itself, or the class device's "device" link to it.
    EXPECT_EQ(DeviceDirectoryOfChip(device), resolvedDevice);
    EXPECT_EQ(DeviceDirectoryOfChip(dir / "class/hwmon/hwmon4/device"), resolvedDevice);
    // A virtual class device has no device; a missing path none either.
    fs::create_directories(dir / "devices/virtual/hwmon/hwmon7");
    EXPECT_EQ(DeviceDirectoryOfChip(dir / "devices/virtual/hwmon/hwmon7"), "");
    EXPECT_EQ(DeviceDirectoryOfChip(dir / "missing"), "");
    EXPECT_EQ(DeviceDirectoryOfChip(""), "");
}

} // namespace
} // namespace calventa::platform::linux_backend
