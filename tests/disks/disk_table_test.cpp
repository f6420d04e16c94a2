// The disk table's byte image ("sysdata"): layout, partial images, clamping, and random
// images of any length.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "core/disk_table.h"

namespace calventa::core {
namespace {

DiskTable TwoDisks()
{
    DiskTable table;
    table.DiskCount = 2;
    table.Temperature = {41, -10, 0, 0, 0, 0, 0, 0x7FFFFFFF};
    table.Model[0] = "SIM DISK 1";
    table.Serial[0] = "SN0001";
    table.Firmware[0] = "1.0";
    table.Model[1] = std::string(40, 'M');
    table.Serial[1] = std::string(20, 'S');
    table.Firmware[1] = std::string(8, 'F');
    table.DriveCount = 2;
    table.DriveNumbers = {0, 2, 0, 0, 0, 0, 0, 7};
    return table;
}

TEST(DiskTableImage, FieldsSitAtTheirOffsets)
{
    const std::vector<uint8_t> image = EncodeDiskTable(TwoDisks(), kDiskRecordSize);
    ASSERT_EQ(image.size(), kDiskRecordSize);
    EXPECT_EQ(image[0], 2);
    EXPECT_EQ((std::vector<uint8_t>(image.begin() + 1, image.begin() + 9)),
              (std::vector<uint8_t>{41, 0, 0, 0, 0xF6, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ((std::vector<uint8_t>(image.begin() + 29, image.begin() + 33)),
              (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0x7F}));
    EXPECT_EQ(image[33], 10);
    EXPECT_EQ(std::string(image.begin() + 34, image.begin() + 44), "SIM DISK 1");
    EXPECT_EQ(image[33 + 41], 40);
    EXPECT_EQ(image[361], 6);
    EXPECT_EQ(std::string(image.begin() + 362, image.begin() + 368), "SN0001");
    EXPECT_EQ(image[361 + 21], 20);
    EXPECT_EQ(image[529], 3);
    EXPECT_EQ(image[529 + 9], 8);
    EXPECT_EQ(image[601], 2);
    EXPECT_EQ(image[602], 0); // reserved
    EXPECT_EQ(image[603], 0);
    EXPECT_EQ(image[604], 0);
    EXPECT_EQ(image[605], 2);
    EXPECT_EQ(image[611], 7);
}

TEST(DiskTableImage, WholeRecordRoundTrips)
{
    const DiskTable table = TwoDisks();
    DiskTable decoded;
    DecodeDiskTable(EncodeDiskTable(table, kDiskRecordSize), decoded);
    EXPECT_EQ(decoded, table);
}

TEST(DiskTableImage, StringsLongerThanTheirFieldAreCutOnEncode)
{
    DiskTable table;
    table.Model[7] = std::string(60, 'x');
    const std::vector<uint8_t> image = EncodeDiskTable(table, kDiskRecordSize);
    EXPECT_EQ(image[33 + 7 * 41], 40);
    EXPECT_EQ(image[361], 0); // the next field is untouched
}

// How much of the drive list an image of n bytes carries over a table that had drives 5, 6.
struct PartialCase
{
    size_t length;
    uint8_t driveCount;
    uint8_t drive0;
    uint8_t drive1;
};

class DiskTablePartialImage : public ::testing::TestWithParam<PartialCase>
{
};

TEST_P(DiskTablePartialImage, OnlyTheFieldsTheImageReachesChange)
{
    const PartialCase c = GetParam();
    DiskTable table;
    table.DriveCount = 9; // not clamped unless the image reaches it
    table.DriveNumbers = {5, 6, 0, 0, 0, 0, 0, 0};
    DecodeDiskTable(EncodeDiskTable(TwoDisks(), c.length), table);
    EXPECT_EQ(table.DiskCount, 2);
    EXPECT_EQ(table.Temperature[0], 41);
    EXPECT_EQ(table.Firmware[1], std::string(8, 'F'));
    EXPECT_EQ(table.DriveCount, c.driveCount);
    EXPECT_EQ(table.DriveNumbers[0], c.drive0);
    EXPECT_EQ(table.DriveNumbers[1], c.drive1);
}

INSTANTIATE_TEST_SUITE_P(Lengths, DiskTablePartialImage,
                         ::testing::Values(PartialCase{601, 9, 5, 6}, PartialCase{602, 2, 5, 6},
                                           PartialCase{604, 2, 5, 6}, PartialCase{605, 2, 0, 6},
                                           PartialCase{610, 2, 0, 2}, PartialCase{612, 2, 0, 2},
                                           PartialCase{700, 2, 0, 2}),
                         [](const ::testing::TestParamInfo<PartialCase>& testCase) {
                             return "Image" + std::to_string(testCase.param.length) + "Bytes";
                         });

TEST(DiskTableImage, ImageEndingInsideAStringKeepsTheOldTail)
{
    DiskTable table;
    table.Model[0] = "OLDMODEL";
    std::vector<uint8_t> image(36, 0);
    image[33] = 5; // length 5, but only "AB" arrives
    image[34] = 'A';
    image[35] = 'B';
    DecodeDiskTable(image, table);
    EXPECT_EQ(table.Model[0], "ABDMO");
    EXPECT_EQ(table.Model[1], "");
}

TEST(DiskTableImage, LengthBytesAndCountsAboveTheirFieldAreClamped)
{
    std::vector<uint8_t> image(kDiskScanImageSize, 'z');
    image[0] = 200;
    image[33] = 255;  // model 0
    image[361] = 21;  // serial 0
    image[529] = 9;   // firmware 0
    image[601] = 255; // drive count
    DiskTable table;
    DecodeDiskTable(image, table);
    EXPECT_EQ(table.DiskCount, 8);
    EXPECT_EQ(table.DriveCount, 8);
    EXPECT_EQ(table.Model[0], std::string(40, 'z'));
    EXPECT_EQ(table.Serial[0], std::string(20, 'z'));
    EXPECT_EQ(table.Firmware[0], std::string(8, 'z'));
}

// Random images of random lengths over random tables: the result always fits its fields,
// and an image of the whole record re-encodes to itself wherever the layout is defined.
TEST(DiskTableKinds, NvmeEntriesAreToldApartFromDrivesOfTheSameNumber)
{
    DiskTable table;
    table.DiskCount = 2;
    table.DriveCount = 2;
    table.DriveNumbers = {1, kNvmeDriveFlag | 1, kNvmeDriveFlag | 3};
    EXPECT_TRUE(table.ListsDrive(1));
    EXPECT_FALSE(table.ListsNvmeController(0));
    EXPECT_TRUE(table.ListsNvmeController(1));
    EXPECT_FALSE(table.ListsNvmeController(3)); // entry 2 is not listed
    EXPECT_FALSE(table.ListsDrive(kNvmeDriveFlag | 1));
    EXPECT_FALSE(table.IsNvme(0));
    EXPECT_TRUE(table.IsNvme(1));
    EXPECT_FALSE(table.IsNvme(8));

    // The marker travels in the image's drive list; the run-time source does not.
    table.Source[1] = DiskTemperatureSource::NvmeComposite;
    DiskTable decoded;
    DecodeDiskTable(EncodeDiskTable(table), decoded);
    EXPECT_TRUE(decoded.ListsNvmeController(1));
    EXPECT_EQ(decoded.Source[1], DiskTemperatureSource::Unknown);
    EXPECT_EQ(EncodeDiskTable(table).size(), kDiskScanImageSize);
}

TEST(DiskTableImage, RandomImagesStayInsideTheirFields)
{
    std::mt19937 random(20041208);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<size_t> length(0, 700);
    for (int iteration = 0; iteration < 2000; ++iteration) {
        std::vector<uint8_t> image(length(random));
        for (uint8_t& b : image) {
            b = static_cast<uint8_t>(byte(random));
        }
        DiskTable table = TwoDisks();
        DecodeDiskTable(image, table);
        ASSERT_LE(table.DiskCount, kMaxDisks);
        ASSERT_LE(table.DriveCount, kMaxDisks);
        for (int i = 0; i < kMaxDisks; ++i) {
            ASSERT_LE(table.Model[static_cast<size_t>(i)].size(), kDiskModelMax);
            ASSERT_LE(table.Serial[static_cast<size_t>(i)].size(), kDiskSerialMax);
            ASSERT_LE(table.Firmware[static_cast<size_t>(i)].size(), kDiskFirmwareMax);
            table.TemperatureOf(i);
            table.Listed(i);
        }
        if (image.size() >= kDiskRecordSize) {
            // Once decoded, the table is a fixed point of encode/decode.
            DiskTable again;
            DecodeDiskTable(EncodeDiskTable(table, kDiskRecordSize), again);
            ASSERT_EQ(again, table);
        }
    }
}

} // namespace
} // namespace calventa::core
