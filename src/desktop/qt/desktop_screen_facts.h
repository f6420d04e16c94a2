#pragma once

#include "app/window_system_facts.h"

namespace calventa::app {

// The machine's facts with the primary screen that Qt reports (full size).
class DesktopScreenFacts final : public WindowSystemFacts
{
public:
    explicit DesktopScreenFacts(platform::SystemFacts& machine);
};

} // namespace calventa::app
