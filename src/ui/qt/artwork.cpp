#include "ui/qt/artwork.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <cmath>

#include "core/settings_block.h"

namespace calventa::ui {

namespace {

// GDI point sizes are for a 96-dpi screen; converting here keeps the tray digits the same
// size whatever the display reports.
constexpr double kPixelsPerPoint = 96.0 / 72.0;
constexpr int kMaskThreshold = 128;

QPixmap Transparent(int width, int height)
{
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void DrawProcessor(QPainter& p)
{
    p.setPen(QPen(QColor(150, 150, 150), 1));
    for (int i = 4; i <= 11; i += 2) {
        p.drawLine(i, 0, i, 2);
        p.drawLine(i, 13, i, 15);
        p.drawLine(0, i, 2, i);
        p.drawLine(13, i, 15, i);
    }
    p.setPen(QColor(30, 30, 30));
    p.setBrush(QColor(60, 60, 64));
    p.drawRect(2, 2, 11, 11);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(190, 160, 70));
    p.drawRect(5, 5, 6, 6);
    p.setBrush(QColor(235, 215, 130));
    p.drawRect(6, 6, 2, 2);
}

void DrawBoard(QPainter& p)
{
    p.setPen(QColor(20, 70, 25));
    p.setBrush(QColor(46, 125, 50));
    p.drawRect(0, 2, 15, 12);
    p.setPen(QColor(220, 190, 80));
    p.drawLine(2, 5, 6, 5);
    p.drawLine(6, 5, 6, 11);
    p.drawLine(9, 12, 13, 12);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(25, 25, 25));
    p.drawRect(8, 4, 5, 5);
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(2, 9, 2, 3);
    p.setBrush(QColor(70, 110, 200));
    p.drawRect(9, 10, 3, 1);
}

void DrawBox(QPainter& p)
{
    p.setPen(QColor(60, 60, 60));
    p.setBrush(QColor(205, 200, 185));
    p.drawRect(3, 0, 9, 15);
    p.setBrush(QColor(170, 165, 150));
    p.drawRect(5, 2, 5, 2);
    p.drawRect(5, 5, 5, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 170, 60));
    p.drawRect(7, 11, 2, 2);
}

void DrawDisk(QPainter& p)
{
    p.setPen(QColor(55, 55, 60));
    p.setBrush(QColor(170, 172, 178));
    p.drawRoundedRect(QRectF(0.5, 2.5, 15, 11), 2, 2);
    p.setBrush(QColor(215, 217, 222));
    p.drawEllipse(QRectF(2.5, 3.5, 8, 8));
    p.setBrush(QColor(90, 90, 95));
    p.drawEllipse(QRectF(5.5, 6.5, 2, 2));
    p.setPen(QPen(QColor(60, 60, 60), 1.2));
    p.drawLine(QPointF(13, 4.5), QPointF(8, 9.5));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 200, 60));
    p.drawRect(12, 11, 2, 1);
}

void DrawFan(QPainter& p)
{
    p.setPen(QColor(60, 60, 70));
    p.setBrush(QColor(185, 190, 200));
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    p.setBrush(QColor(70, 90, 140));
    for (int blade = 0; blade < 4; ++blade) {
        p.save();
        p.translate(8, 8);
        p.rotate(blade * 90.0 + 20.0);
        p.drawEllipse(QRectF(-2, -7, 4.5, 6.5));
        p.restore();
    }
    p.setBrush(QColor(30, 30, 35));
    p.drawEllipse(QRectF(6, 6, 4, 4));
}

void DrawLightning(QPainter& p)
{
    const QPolygonF bolt({QPointF(9.5, 0.5), QPointF(3, 9), QPointF(7.5, 9), QPointF(5.5, 15.5), QPointF(13, 6),
                          QPointF(8.5, 6), QPointF(11, 0.5)});
    p.setPen(QPen(QColor(150, 80, 0), 1));
    p.setBrush(QColor(255, 210, 0));
    p.drawPolygon(bolt);
}

// Drawn on a 48-unit grid and scaled, so that every size comes from the same picture.
void DrawThermometerChip(QPainter& p, int size)
{
    p.scale(size / 48.0, size / 48.0);
    p.setPen(QPen(QColor(23, 43, 81), 2));
    QLinearGradient body(0, 0, 0, 48);
    body.setColorAt(0, QColor(107, 118, 142));
    body.setColorAt(1, QColor(23, 43, 81));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(3, 3, 42, 42), 7, 7);
    p.setPen(QPen(QColor(255, 255, 255), 4, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::white);
    p.drawLine(QPointF(24, 11), QPointF(24, 29));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(24, 34), 7, 7);
    p.setBrush(QColor(215, 35, 35));
    p.drawEllipse(QPointF(24, 34), 4.5, 4.5);
    p.drawRect(QRectF(22.5, 18, 3, 14));
}

} // namespace

QColor FromColorValue(int32_t colorValue)
{
    const auto value = static_cast<uint32_t>(colorValue);
    return QColor(static_cast<int>(value & 0xFFu), static_cast<int>((value >> 8) & 0xFFu),
                  static_cast<int>((value >> 16) & 0xFFu));
}

QColor WindowGrey()
{
    return FromColorValue(kGreyColorValue);
}

QFont WindowFont()
{
    QFont font;
    // Narrow families first: the layout's columns were made for a narrow 8-point face.
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Nimbus Sans"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    return font;
}

RowPicture RowPictureOfSlot(int slot)
{
    switch (core::KindOfSlot(slot)) {
    case core::SlotKind::Disk:
        return RowPicture::Disk;
    case core::SlotKind::Fan:
        return RowPicture::Fan;
    case core::SlotKind::Voltage:
        return RowPicture::Lightning;
    case core::SlotKind::Temperature:
        break;
    }
    if (slot == core::kSlotSys) {
        return RowPicture::Board;
    }
    return slot == core::kSlotAux ? RowPicture::Box : RowPicture::Processor;
}

QPixmap DrawRowPicture(RowPicture picture)
{
    QPixmap pixmap = Transparent(kRowIconSize, kRowIconSize);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing,
                    picture == RowPicture::Fan || picture == RowPicture::Disk || picture == RowPicture::Lightning);
    switch (picture) {
    case RowPicture::Processor:
        DrawProcessor(p);
        break;
    case RowPicture::Board:
        DrawBoard(p);
        break;
    case RowPicture::Box:
        DrawBox(p);
        break;
    case RowPicture::Disk:
        DrawDisk(p);
        break;
    case RowPicture::Fan:
        DrawFan(p);
        break;
    case RowPicture::Lightning:
        DrawLightning(p);
        break;
    }
    return pixmap;
}

QPixmap DrawTitlePicture(const QString& text, QSize size)
{
    QPixmap pixmap = Transparent(size.width(), size.height());
    QFont font = WindowFont();
    font.setBold(true);
    font.setPixelSize(std::max(1, size.height() - 3));
    font.setHintingPreference(QFont::PreferFullHinting);
    const int advance = QFontMetrics(font).horizontalAdvance(text);
    if (advance > size.width() - 1 && advance > 0) {
        // Condense rather than shrink: the height of the letters is what makes them legible.
        font.setStretch(std::max(50, (size.width() - 1) * 100 / advance));
    }
    QPainter p(&pixmap);
    p.setFont(font);
    const QRect box(0, 0, size.width() - 1, size.height() - 1);
    // Engraved look: a light copy one pixel down and right, the dark text over it.
    p.setPen(QColor(245, 245, 245));
    p.drawText(box.translated(1, 1), Qt::AlignCenter, text);
    p.setPen(QColor(23, 43, 81));
    p.drawText(box, Qt::AlignCenter, text);
    return pixmap;
}

QImage DrawTrayIcon(const core::TrayIconRequest& request)
{
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::clamp(static_cast<int>(std::lround(request.PointSize * kPixelsPerPoint)), 1, 64));
    font.setStyleStrategy(QFont::NoAntialias);
    const QString text = QString::fromStdString(request.Text);
    // The text box starts at (x, y) like a GDI text-out; what passes the edge is cut off.
    const QRect box(std::clamp(request.X, -kTrayIconSize, kTrayIconSize),
                    std::clamp(request.Y, -kTrayIconSize, kTrayIconSize), 4 * kTrayIconSize, 4 * kTrayIconSize);

    QImage mask(kTrayIconSize, kTrayIconSize, QImage::Format_Grayscale8);
    mask.fill(Qt::black);
    {
        QPainter p(&mask);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(box, Qt::AlignLeft | Qt::AlignTop, text);
    }

    const QRgb color = FromColorValue(request.Color).rgb();
    const QRgb clear = request.Backdrop ? FromColorValue(*request.Backdrop).rgb() : qRgba(0, 0, 0, 0);
    QImage icon(kTrayIconSize, kTrayIconSize, QImage::Format_ARGB32);
    for (int y = 0; y < kTrayIconSize; ++y) {
        const uchar* maskLine = mask.constScanLine(y);
        auto* line = reinterpret_cast<QRgb*>(icon.scanLine(y));
        for (int x = 0; x < kTrayIconSize; ++x) {
            line[x] = maskLine[x] >= kMaskThreshold ? color : clear;
        }
    }
    return icon;
}

QPixmap DrawApplicationPicture(int size)
{
    QPixmap pixmap = Transparent(size, size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    DrawThermometerChip(p, size);
    return pixmap;
}

QIcon ApplicationIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64}) {
        icon.addPixmap(DrawApplicationPicture(size));
    }
    return icon;
}

QPixmap DrawMenuPicture(MenuPicture picture)
{
    QPixmap pixmap = Transparent(16, 16);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor frame(23, 43, 81);
    switch (picture) {
    case MenuPicture::Restore:
    case MenuPicture::Minimize:
        p.setPen(frame);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(1.5, 2.5, 13, 11));
        p.fillRect(QRectF(2, 3, 12, 3), QColor(74, 104, 161));
        p.setPen(QPen(frame, 2));
        if (picture == MenuPicture::Restore) {
            p.drawPolyline(QPolygonF({QPointF(5, 11), QPointF(8, 8), QPointF(11, 11)}));
        } else {
            p.drawLine(QPointF(5, 11), QPointF(11, 11));
        }
        break;
    case MenuPicture::Settings:
        p.setPen(QPen(frame, 1.5));
        for (int i = 0; i < 3; ++i) {
            const double y = 3.5 + i * 4.5;
            p.drawLine(QPointF(1.5, y), QPointF(14.5, y));
        }
        p.setBrush(QColor(74, 104, 161));
        p.drawRect(QRectF(3.5, 2, 3, 3));
        p.drawRect(QRectF(9.5, 6.5, 3, 3));
        p.drawRect(QRectF(5.5, 11, 3, 3));
        break;
    case MenuPicture::History:
        p.setPen(QPen(frame, 1));
        p.drawLine(QPointF(1.5, 1.5), QPointF(1.5, 14.5));
        p.drawLine(QPointF(1.5, 14.5), QPointF(14.5, 14.5));
        p.setPen(QPen(QColor(74, 104, 161), 1.8));
        p.drawPolyline(QPolygonF({QPointF(3, 11), QPointF(6, 7), QPointF(9, 9.5), QPointF(14, 3)}));
        break;
    case MenuPicture::About:
        p.setPen(frame);
        p.setBrush(QColor(74, 104, 161));
        p.drawEllipse(QRectF(1, 1, 14, 14));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(7, 7, 2, 5.5));
        p.drawEllipse(QRectF(7, 3.5, 2, 2));
        break;
    case MenuPicture::InstallService:
    case MenuPicture::UninstallService:
        p.setPen(QColor(55, 55, 60));
        p.setBrush(QColor(170, 172, 178));
        p.drawRoundedRect(QRectF(0.5, 4.5, 11, 8), 1.5, 1.5);
        p.setPen(QPen(picture == MenuPicture::InstallService ? QColor(20, 150, 40) : QColor(200, 30, 30), 2.5));
        p.drawLine(QPointF(9, 11.5), QPointF(15, 11.5));
        if (picture == MenuPicture::InstallService) {
            p.drawLine(QPointF(12, 8.5), QPointF(12, 14.5));
        }
        break;
    case MenuPicture::Exit:
        p.setPen(QPen(QColor(200, 30, 30), 2.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
        p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
        break;
    }
    return pixmap;
}

} // namespace calventa::ui
