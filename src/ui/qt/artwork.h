#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QString>
#include <cstdint>

#include "core/tray_presenter.h"

namespace calventa::ui {

// The program's light grey, as a Windows colour value 0x00BBGGRR.
inline constexpr int32_t kGreyColorValue = 13355979; // 0x00CBCBCB
inline constexpr int kTrayIconSize = 16;
inline constexpr int kRowIconSize = 16;

// A Windows colour value (0x00BBGGRR) as a QColor; the top byte is ignored.
QColor FromColorValue(int32_t colorValue);
QColor WindowGrey();

// The regular 8-point sans-serif font of every window.
QFont WindowFont();

enum class RowPicture { Processor, Board, Box, Disk, Fan, Lightning };
// Cpu processor, Sys board, Aux box, HD0..HD7 disk, fans fan, voltages lightning.
RowPicture RowPictureOfSlot(int slot);
QPixmap DrawRowPicture(RowPicture picture);

// A panel's title (TEMPERATURES, FANS, VOLTAGES) as a crisp picture of exactly `size`.
QPixmap DrawTitlePicture(const QString& text, QSize size);

// The digits of the tray icon on a 16 × 16 image. As with an icon built from a black/white
// mask and a colour image, every pixel is either the text colour, opaque, or the backdrop:
// fully transparent, or the request's backdrop colour while an alarm holds.
QImage DrawTrayIcon(const core::TrayIconRequest& request);

// The program's own picture (a thermometer on a chip) at any size, and the icon of it.
QPixmap DrawApplicationPicture(int size);
QIcon ApplicationIcon();

enum class MenuPicture { Restore, Minimize, Settings, History, About, InstallService, UninstallService, Exit };
QPixmap DrawMenuPicture(MenuPicture picture);

} // namespace calventa::ui
