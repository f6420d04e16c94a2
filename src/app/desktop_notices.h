#pragma once

#include "core/monitor_state.h"
#include "disks/disk_notices.h"

namespace calventa::app {

// The disk code's windows in the desktop program: message boxes, and the notice to users
// without administrator rights with its "Do not show me again" (a plain message box until
// the notice gets its own window).
class DesktopNotices final : public disks::DiskNotices, public disks::UserMessages
{
public:
    explicit DesktopNotices(core::MonitorState& state) : m_state(state) {}

    void ShowAdminNotice() override;
    void ShowMessage(const std::string& text) override;
    void ShowWarning(const std::string& caption, const std::string& text) override;

private:
    core::MonitorState& m_state;
};

} // namespace calventa::app
