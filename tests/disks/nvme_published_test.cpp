// NVMe controllers whose admin commands the system refuses for lack of rights: the disk
// reader lists them with the identity and temperature the system publishes.

#include <gtest/gtest.h>

#include <optional>

#include "disks/disk_reader.h"
#include "disks/nvme_commands.h"

namespace calventa::disks {
namespace {

// A controller that refuses every admin command and publishes what the test gives it.
class RefusingController final : public platform::NvmeDevice
{
public:
    RefusingController(std::optional<platform::NvmePublishedIdentity> identity, std::optional<int64_t>* milli,
                       int* adminCommands)
        : m_identity(std::move(identity)), m_milli(milli), m_adminCommands(adminCommands)
    {
    }
    platform::SmartCommandResult SendAdminCommand(const platform::NvmeAdminCommand&, platform::NvmeDataPage&) override
    {
        ++*m_adminCommands;
        return platform::SmartCommandStatus::RightsMissing;
    }
    std::optional<platform::NvmePublishedIdentity> PublishedIdentity() override { return m_identity; }
    std::optional<int64_t> PublishedMilliCelsius() override { return *m_milli; }

private:
    std::optional<platform::NvmePublishedIdentity> m_identity;
    std::optional<int64_t>* m_milli;
    int* m_adminCommands;
};

class OneRefusingController final : public platform::SmartDevices
{
public:
    std::optional<platform::NvmePublishedIdentity> identity;
    std::optional<int64_t> milli;
    int adminCommands = 0;

    platform::NvmeOpenResult OpenNvmeController(int controller) override
    {
        if (controller != 0) {
            return {nullptr, platform::DriveOpenError::NotFound};
        }
        return {std::make_unique<RefusingController>(identity, &milli, &adminCommands), platform::DriveOpenError::None};
    }
    platform::DriveOpenResult OpenPhysicalDrive(int) override { return {nullptr, platform::DriveOpenError::NotFound}; }
    std::unique_ptr<platform::SmartDevice> OpenSmartVsd() override { return nullptr; }
    std::string SystemDirectory() override { return {}; }
    bool CopyFile(const std::string&, const std::string&) override { return false; }
};

TEST(PublishedNvmeControllers, ListedWithThePublishedIdentityAndTemperatureAndANote)
{
    OneRefusingController devices;
    devices.identity = platform::NvmePublishedIdentity{"QEMU NVMe Ctrl", "deadbeef", "1.0"};
    devices.milli = 49850;
    DiskReader reader(devices);
    core::DiskTable table;
    ASSERT_TRUE(reader.ScanDisks(table));
    ASSERT_EQ(table.DiskCount, 1);
    EXPECT_TRUE(table.IsNvme(0));
    EXPECT_EQ(table.Model[0], "QEMU NVMe Ctrl");
    EXPECT_EQ(table.Serial[0], "deadbeef");
    EXPECT_EQ(table.Firmware[0], "1.0");
    EXPECT_EQ(table.Temperature[0], 50); // 49.85 °C rounded up
    EXPECT_EQ(table.Source[0], core::DiskTemperatureSource::NvmeComposite);
    EXPECT_FALSE(reader.RightsMissing());
    const std::vector<std::string> notes = reader.TakeNotes();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find("NVMe controller 0: admin commands refused"), std::string::npos) << notes[0];

    // Read in every pass (its power state is unknown) from the published temperature, with
    // no admin command beyond the scan's Identify.
    const int adminAfterScan = devices.adminCommands;
    devices.milli = 40001;
    EXPECT_TRUE(reader.ReadDiskTemperatures(table)[0]);
    EXPECT_EQ(table.Temperature[0], 41);
    EXPECT_EQ(table.ReadState[0], core::DiskReadState::Current);
    EXPECT_EQ(devices.adminCommands, adminAfterScan);

    // A temperature that disappears or turns implausible keeps the last value.
    devices.milli = std::nullopt;
    EXPECT_FALSE(reader.ReadDiskTemperatures(table)[0]);
    devices.milli = 250000;
    EXPECT_FALSE(reader.ReadDiskTemperatures(table)[0]);
    EXPECT_EQ(table.Temperature[0], 41);
}

TEST(PublishedNvmeControllers, NothingPublishedMeansNotListedAndRightsMissing)
{
    OneRefusingController devices;
    devices.milli = 40000;
    DiskReader reader(devices);
    core::DiskTable table;
    EXPECT_FALSE(reader.ScanDisks(table));
    EXPECT_TRUE(reader.RightsMissing());
}

TEST(PublishedNvmeControllers, NoPublishedTemperatureMeansNotListed)
{
    OneRefusingController devices;
    devices.identity = platform::NvmePublishedIdentity{"M", "S", "F"};
    DiskReader reader(devices);
    core::DiskTable table;
    EXPECT_FALSE(reader.ScanDisks(table));
    EXPECT_EQ(table.DiskCount, 0);
}

TEST(PublishedNvmeIdentity, CutToTheTableFieldsWithUnprintableBytesShownAsQuestionMarks)
{
    const IdentityStrings identity =
        PublishedNvmeIdentity({std::string(100, 'M'), std::string("S\x01N\xff  "), std::string("FW12345678")});
    EXPECT_EQ(identity.model, std::string(kNvmeModelLength, 'M'));
    EXPECT_EQ(identity.serial, "S?N?");
    EXPECT_EQ(identity.firmware, "FW123456");
    EXPECT_EQ(PublishedNvmeIdentity({"", "", ""}).model, "");
}

TEST(PublishedNvmeCelsius, RoundsUpAndRefusesImplausibleValues)
{
    EXPECT_EQ(PublishedNvmeCelsius(49850), 50);
    EXPECT_EQ(PublishedNvmeCelsius(50000), 50);
    EXPECT_EQ(PublishedNvmeCelsius(-500), 0);
    EXPECT_EQ(PublishedNvmeCelsius(200000), 200);
    EXPECT_EQ(PublishedNvmeCelsius(200001), std::nullopt);
    EXPECT_EQ(PublishedNvmeCelsius(-273150), std::nullopt);
    EXPECT_EQ(PublishedNvmeCelsius(INT64_MAX), std::nullopt);
}

} // namespace
} // namespace calventa::disks
