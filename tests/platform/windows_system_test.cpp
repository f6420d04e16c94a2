#include <gtest/gtest.h>

#include "core/disk_table.h"
#include "core/startup_log.h"
#include "disks/disk_reader.h"
#include "disks/smart_commands.h"
#include "platform/windows/windows_platform.h"
#include "windows_test_support.h"

namespace calventa::platform::windows_backend {
namespace {

TEST(WindowsFacts, TellTheFamilyTheExecutableAndItsFolder)
{
    WindowsSystemFacts facts;
    EXPECT_EQ(facts.Family(), PlatformFamily::NtFamily);
    EXPECT_GE(facts.Version().major, 5u);
    const std::string executable = facts.ExecutablePath();
    ASSERT_GT(executable.size(), 4u);
    EXPECT_EQ(executable.substr(executable.size() - 4), ".exe");
    EXPECT_EQ(GetFileAttributesW(WideFromUtf8(executable).c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_EQ(facts.JoinPath(facts.DefaultProgramDirectory(), executable.substr(executable.find_last_of('\\') + 1)),
              executable);
    EXPECT_EQ(facts.JoinPath("C:\\", "settings.dat"), "C:\\settings.dat");
    EXPECT_EQ(FolderOf("C:\\calventa.exe"), "C:\\");
    EXPECT_EQ(FolderOf("calventa.exe"), ".");
    EXPECT_FALSE(facts.DecimalSeparator().empty());
}

TEST(WindowsFacts, TheLogLineCarriesTheUsersDateAndTimeWithItsFixedGaps)
{
    WindowsSystemFacts facts;
    const LocalDateTime when{2004, 12, 8, 14, 5, 33};
    const std::string date = facts.FormatShortDate(when);
    const std::string time = facts.FormatLongTime(when);
    EXPECT_NE(date.find("2004"), std::string::npos) << date;
    EXPECT_NE(date.find("12"), std::string::npos) << date;
    EXPECT_NE(time.find("05"), std::string::npos) << time;
    EXPECT_NE(time.find("33"), std::string::npos) << time;
    WindowsFileSystem files;
    WindowsClock clock;
    core::StartupLog log(files, clock, facts);
    EXPECT_EQ(log.FormatLine(when, "Search start..."), date + "   " + time + "     Search start...");
}

TEST(WindowsPorts, WithoutTheGiveioDriverAccessIsRefusedWithOneLineAndNoInstruction)
{
    WindowsPortIo ports;
    EXPECT_FALSE(ports.RequestAccess());
    const auto notes = ports.AccessNotes();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find("\\\\.\\giveio cannot be opened"), std::string::npos) << notes[0];
    EXPECT_NE(notes[0].find("64-bit Windows loads no unsigned port driver"), std::string::npos) << notes[0];
    // Without the grant an in or out would fault; the ports read as an empty bus instead.
    EXPECT_EQ(ports.ReadByte(0x295), 0xFF);
    EXPECT_EQ(ports.ReadDword(0xCFC), 0xFFFFFFFFu);
    ports.WriteByte(0x295, 0x4E);
    ports.WriteDword(0xCF8, 0x80000000u);
    EXPECT_EQ(ports.AccessMethod(), "giveio");
}

TEST(WindowsDrives, SystemErrorsMapToTheMonitorsCases)
{
    EXPECT_EQ(DriveOpenErrorOfSystemError(ERROR_ACCESS_DENIED), DriveOpenError::AccessDenied);
    EXPECT_EQ(DriveOpenErrorOfSystemError(ERROR_FILE_NOT_FOUND), DriveOpenError::NotFound);
    EXPECT_EQ(DriveOpenErrorOfSystemError(ERROR_SHARING_VIOLATION), DriveOpenError::Other);
    EXPECT_EQ(SmartCommandStatusOfSystemError(ERROR_ACCESS_DENIED), SmartCommandStatus::RightsMissing);
    EXPECT_EQ(SmartCommandStatusOfSystemError(ERROR_NOT_SUPPORTED), SmartCommandStatus::Failed);
    EXPECT_EQ(PhysicalDrivePath(3), "\\\\.\\PhysicalDrive3");
}

// Wine's drive 0 is a virtual disk that answers no S.M.A.R.T. command ("not supported"):
// everything must fail cleanly, with the page untouched and nothing listed.
TEST(WindowsDrives, ADriveThatAnswersNoSmartCommandIsNotListed)
{
    WindowsSmartDevices drives;
    DriveOpenResult opened = drives.OpenPhysicalDrive(0);
    if (!opened.device) {
        GTEST_SKIP() << "no drive 0 here";
    }
    SmartDataPage page;
    page.fill(0xEE);
    EXPECT_FALSE(opened.device->SendSmartCommand(disks::EnableSmartCommand(0), page));
    EXPECT_FALSE(opened.device->SendSmartCommand(disks::IdentifyDeviceCommand(0), page));
    EXPECT_FALSE(opened.device->SendSmartCommand(disks::ReadSmartDataCommand(0), page));
    EXPECT_EQ(page[0], 0xEE);
    EXPECT_EQ(page[511], 0xEE);
    // A command the driver does not know is refused before it is sent.
    SmartCommand odd = disks::ReadSmartDataCommand(0);
    odd.controlCode = 0x12345;
    EXPECT_FALSE(opened.device->SendSmartCommand(odd, page));

    EXPECT_EQ(drives.OpenPhysicalDrive(7).error, DriveOpenError::NotFound);
    EXPECT_EQ(drives.OpenPhysicalDrive(8).error, DriveOpenError::NotFound);
    EXPECT_EQ(drives.OpenPhysicalDrive(-1).error, DriveOpenError::NotFound);

    disks::DiskReader reader(drives);
    core::DiskTable table;
    EXPECT_FALSE(reader.ScanDisks(table));
    EXPECT_EQ(table.DiskCount, 0);
    EXPECT_EQ(table.DriveCount, 0);
    EXPECT_FALSE(reader.RightsMissing());
}

TEST(WindowsDrives, ANonNvmeDriveIsNoNvmeController)
{
    WindowsSmartDevices drives;
    // Wine's virtual disk sits on a SCSI bus.
    EXPECT_EQ(drives.OpenNvmeController(0).device, nullptr);
    EXPECT_EQ(drives.OpenNvmeController(8).error, DriveOpenError::NotFound);
    EXPECT_EQ(drives.OpenSmartVsd(), nullptr);
    EXPECT_FALSE(drives.SystemDirectory().empty());
}

TEST(WindowsMachine, HandsOutOneOfEachBackEndObject)
{
    WindowsPlatform machine;
    Platform& platform = machine.Get();
    EXPECT_EQ(platform.facts.Family(), PlatformFamily::NtFamily);
    EXPECT_TRUE(platform.kernel.ScanDevices().empty());
    auto manager = machine.Disks().services.Connect();
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(manager->OpenService("calventasvc-not-installed"), nullptr);
}

} // namespace
} // namespace calventa::platform::windows_backend
