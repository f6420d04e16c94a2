#pragma once

#include <functional>
#include <optional>

#include "platform/system_facts.h"

namespace calventa::app {

// The machine's facts, except that the primary screen is the one the window system reports
// (the default window position and the alarm window's corner depend on it); the machine's
// answer where the window system reports none. Each desktop program passes its toolkit's query.
class WindowSystemFacts : public platform::SystemFacts
{
public:
    using ScreenQuery = std::function<std::optional<platform::ScreenSize>()>;

    WindowSystemFacts(platform::SystemFacts& machine, ScreenQuery primaryScreen)
        : m_machine(machine), m_primaryScreen(std::move(primaryScreen))
    {
    }

    platform::PlatformFamily Family() const override { return m_machine.Family(); }
    platform::ScreenSize PrimaryScreen() const override
    {
        const std::optional<platform::ScreenSize> screen = m_primaryScreen ? m_primaryScreen() : std::nullopt;
        if (!screen || screen->width <= 0 || screen->height <= 0) {
            return m_machine.PrimaryScreen();
        }
        return *screen;
    }
    std::string FormatShortDate(const platform::LocalDateTime& when) const override
    {
        return m_machine.FormatShortDate(when);
    }
    std::string FormatLongTime(const platform::LocalDateTime& when) const override
    {
        return m_machine.FormatLongTime(when);
    }
    std::string DecimalSeparator() const override { return m_machine.DecimalSeparator(); }
    std::string DefaultProgramDirectory() const override { return m_machine.DefaultProgramDirectory(); }
    std::string ExecutablePath() const override { return m_machine.ExecutablePath(); }
    std::string JoinPath(const std::string& directory, const std::string& name) const override
    {
        return m_machine.JoinPath(directory, name);
    }

private:
    platform::SystemFacts& m_machine;
    ScreenQuery m_primaryScreen;
};

} // namespace calventa::app
