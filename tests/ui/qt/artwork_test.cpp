#include <gtest/gtest.h>

#include "case_name.h"

#include <set>

#include "core/settings_block.h"
#include "ui/qt/artwork.h"

namespace calventa::ui {
namespace {

struct TrayCase
{
    std::string text;
    int pointSize;
    int x;
    int y;
    int32_t color; // 0x00BBGGRR
};

class TrayIconImage : public ::testing::TestWithParam<TrayCase>
{
};

// Every pixel is either the text colour, opaque, or fully transparent; the text starts at
// (x, y), so nothing is drawn above or left of it.
TEST_P(TrayIconImage, TextPixelsInTrayColorRestTransparent)
{
    const TrayCase& c = GetParam();
    const QImage image = DrawTrayIcon({c.text, c.pointSize, c.x, c.y, c.color});
    ASSERT_EQ(image.size(), QSize(16, 16));
    const QRgb expected = FromColorValue(c.color).rgb();
    int textPixels = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) == 0) {
                continue;
            }
            ++textPixels;
            EXPECT_EQ(qAlpha(pixel), 255) << x << "," << y;
            EXPECT_EQ(pixel | 0xFF000000u, expected | 0xFF000000u) << x << "," << y;
            EXPECT_GE(x, c.x) << "left of the text origin";
            EXPECT_GE(y, c.y) << "above the text origin";
        }
    }
    EXPECT_GT(textPixels, 12) << "digits drawn";
    EXPECT_LT(textPixels, 16 * 16 / 2) << "background stays transparent";
}

INSTANTIATE_TEST_SUITE_P(Requests, TrayIconImage,
                         ::testing::Values(TrayCase{"45", 8, 2, 0, 0x00FF0000},  // default blue
                                           TrayCase{"99", 7, 3, 2, 0x000000FF},  // red
                                           TrayCase{"101", 7, 1, 2, 0x0000FF00}, // cut at the edge
                                           TrayCase{"-12", 8, 2, 0, 0x00FFFFFF}, // white
                                           TrayCase{"100", 8, 2, 0, 0x00123456}),
                         [](const ::testing::TestParamInfo<TrayCase>& info) {
                             const auto& c = info.param;
                             (void)c;
                             return calventa::testnames::CaseName("text " + c.text + " size " +
                                                                  std::to_string(c.pointSize) + " colour " +
                                                                  std::to_string(c.color));
                         }); // top byte ignored

TEST(TrayIconImage, SameTextInAnotherColourChangesOnlyTheColour)
{
    const QImage blue = DrawTrayIcon({"45", 8, 2, 0, 0x00FF0000});
    const QImage red = DrawTrayIcon({"45", 8, 2, 0, 0x000000FF});
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            EXPECT_EQ(qAlpha(blue.pixel(x, y)), qAlpha(red.pixel(x, y)));
        }
    }
}

TEST(TrayIconImage, PositionMovesTheDigits)
{
    const QImage left = DrawTrayIcon({"7", 8, 0, 0, 0x00FF0000});
    const QImage right = DrawTrayIcon({"7", 8, 5, 3, 0x00FF0000});
    for (int y = 0; y + 3 < 16; ++y) {
        for (int x = 0; x + 5 < 16; ++x) {
            EXPECT_EQ(qAlpha(left.pixel(x, y)), qAlpha(right.pixel(x + 5, y + 3))) << x << "," << y;
        }
    }
}

TEST(TrayIconImage, HostileRequestsStayInsideTheImage)
{
    for (const auto& request :
         {core::TrayIconRequest{"", 8, 2, 0, 0}, core::TrayIconRequest{"45", 0, -99999, 99999, -1},
          core::TrayIconRequest{std::string(500, '8'), 100000, 2, 0, 0x7FFFFFFF}}) {
        const QImage image = DrawTrayIcon(request);
        EXPECT_EQ(image.size(), QSize(16, 16));
    }
    const QImage empty = DrawTrayIcon({"", 8, 2, 0, 0x00FF0000});
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            EXPECT_EQ(qAlpha(empty.pixel(x, y)), 0);
        }
    }
}

TEST(Colors, WindowsColourValuesAreBlueGreenRed)
{
    EXPECT_EQ(FromColorValue(13355979), QColor(0xCB, 0xCB, 0xCB));
    EXPECT_EQ(FromColorValue(255), QColor(255, 0, 0));
    EXPECT_EQ(FromColorValue(0x00A1684A), QColor(0x4A, 0x68, 0xA1));
    EXPECT_EQ(FromColorValue(static_cast<int32_t>(0xFF00FF00u)), QColor(0, 255, 0));
}

TEST(RowPictures, EachKindOfRowHasItsOwnPicture)
{
    using core::SlotIndex;
    EXPECT_EQ(RowPictureOfSlot(core::kSlotCpu), RowPicture::Processor);
    EXPECT_EQ(RowPictureOfSlot(core::kSlotSys), RowPicture::Board);
    EXPECT_EQ(RowPictureOfSlot(core::kSlotAux), RowPicture::Box);
    EXPECT_EQ(RowPictureOfSlot(core::kSlotHd0 + 7), RowPicture::Disk);
    EXPECT_EQ(RowPictureOfSlot(core::kSlotVBat), RowPicture::Lightning);
    EXPECT_EQ(RowPictureOfSlot(core::kSlotAuxFan2), RowPicture::Fan);

    std::set<qint64> distinct;
    for (RowPicture picture : {RowPicture::Processor, RowPicture::Board, RowPicture::Box, RowPicture::Disk,
                               RowPicture::Fan, RowPicture::Lightning}) {
        const QImage image = DrawRowPicture(picture).toImage();
        ASSERT_EQ(image.size(), QSize(16, 16));
        distinct.insert(static_cast<qint64>(qHashBits(image.constBits(), static_cast<size_t>(image.sizeInBytes()))));
    }
    EXPECT_EQ(distinct.size(), 6u);
}

TEST(TitlePictures, KeepTheirSizeAndCarryText)
{
    const QImage title = DrawTitlePicture(QStringLiteral("TEMPERATURES"), QSize(93, 14)).toImage();
    ASSERT_EQ(title.size(), QSize(93, 14));
    int inked = 0;
    for (int y = 0; y < title.height(); ++y) {
        for (int x = 0; x < title.width(); ++x) {
            inked += qAlpha(title.pixel(x, y)) > 0 ? 1 : 0;
        }
    }
    EXPECT_GT(inked, 100);
}

} // namespace
} // namespace calventa::ui
