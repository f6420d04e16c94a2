#pragma once

#include "core/monitor_state.h"
#include "disks/disk_notices.h"

namespace calventa::app {

// The disk code's windows in the desktop program: message boxes, and the notice to users
// without administrator rights (Tnform) with its "Do not show me again".
class DesktopNotices final : public disks::DiskNotices, public disks::UserMessages
{
public:
    DesktopNotices(core::MonitorState& state, platform::PlatformFamily family) : m_state(state), m_family(family) {}

    void ShowAdminNotice() override;
    void ShowMessage(const std::string& text) override;
    void ShowWarning(const std::string& caption, const std::string& text) override;
    // The program is ending: no further window opens.
    void Silence() { m_silenced = true; }

private:
    bool m_silenced = false;
    core::MonitorState& m_state;
    platform::PlatformFamily m_family;
};

} // namespace calventa::app
