#pragma once

#include "platform/system_facts.h"

namespace calventa::app {

// The machine's facts, except that the primary screen is the one the window system
// reports: the default window position and the alarm window's corner depend on it.
class DesktopScreenFacts final : public platform::SystemFacts
{
public:
    explicit DesktopScreenFacts(platform::SystemFacts& machine) : m_machine(machine) {}

    platform::PlatformFamily Family() const override { return m_machine.Family(); }
    // The primary screen's full size; the machine's answer when there is no screen.
    platform::ScreenSize PrimaryScreen() const override;
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
};

} // namespace calventa::app
