#pragma once

#include <cstdint>
#include <span>

#include "core/settings_block.h"

namespace calventa::core {

// One screen of the desktop in virtual-desktop pixels.
struct ScreenArea
{
    int64_t Left = 0;
    int64_t Top = 0;
    int64_t Width = 0;
    int64_t Height = 0;
};

// A window's caption can be grabbed when at least this much of it lies on one screen.
inline constexpr int kGrabWidth = 16;
inline constexpr int kGrabHeight = 8;

// Whether a window at (left, top) of width × height, whose caption strip is captionHeight
// tall, can be grabbed on one of the screens: at least 16 × 8 pixels of the strip lie on a
// single screen. A stored position may be anywhere in the int32 range; the edges are
// computed in 64 bits, and negative sizes count as empty.
bool CaptionOnSomeScreen(int64_t left, int64_t top, int64_t width, int64_t height, int64_t captionHeight,
                         std::span<const ScreenArea> screens);

struct WindowPosition
{
    int32_t Left = 0;
    int32_t Top = 0;
};

// The defaults' position of the main window on a primary screen of that size.
WindowPosition DefaultMainWindowPosition(platform::ScreenSize primary);

// Where the main window goes when the settings are applied: the stored position when its
// caption can be grabbed on some screen, else the defaults' position, which is then written
// into the block too, so that the position timer finds nothing moved until the user moves it.
WindowPosition PlaceMainWindow(SettingsBlock& settings, platform::ScreenSize primary, int64_t width, int64_t height,
                               int64_t captionHeight, std::span<const ScreenArea> screens);

} // namespace calventa::core
