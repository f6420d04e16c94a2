#include "core/window_placement.h"

#include <algorithm>

namespace calventa::core {

bool CaptionOnSomeScreen(int64_t left, int64_t top, int64_t width, int64_t height, int64_t captionHeight,
                         std::span<const ScreenArea> screens)
{
    const int64_t right = left + std::max<int64_t>(width, 0);
    const int64_t bottom = top + std::min<int64_t>(std::max<int64_t>(height, 0), std::max<int64_t>(captionHeight, 0));
    for (const ScreenArea& area : screens) {
        const int64_t overlapWidth = std::min(right, area.Left + std::max<int64_t>(area.Width, 0)) - std::max(left, area.Left);
        const int64_t overlapHeight = std::min(bottom, area.Top + std::max<int64_t>(area.Height, 0)) - std::max(top, area.Top);
        if (overlapWidth >= kGrabWidth && overlapHeight >= kGrabHeight) {
            return true;
        }
    }
    return false;
}

WindowPosition DefaultMainWindowPosition(platform::ScreenSize primary)
{
    SettingsBlock defaults;
    SetDefaultSettings(defaults, primary, kDefaultMainWindowWidth);
    return {defaults.WindowLeft, defaults.WindowTop};
}

WindowPosition PlaceMainWindow(SettingsBlock& settings, platform::ScreenSize primary, int64_t width, int64_t height,
                               int64_t captionHeight, std::span<const ScreenArea> screens)
{
    if (!CaptionOnSomeScreen(settings.WindowLeft, settings.WindowTop, width, height, captionHeight, screens)) {
        const WindowPosition fallback = DefaultMainWindowPosition(primary);
        settings.WindowLeft = fallback.Left;
        settings.WindowTop = fallback.Top;
    }
    return {settings.WindowLeft, settings.WindowTop};
}

} // namespace calventa::core
