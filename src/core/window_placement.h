#pragma once

#include <cstdint>
#include <span>

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

} // namespace calventa::core
