#pragma once

#include <string>

namespace calventa::disks {

// The windows the disk code raises; the desktop program implements them with widgets,
// calventa-cli and the tests with plain objects.
class DiskNotices
{
public:
    virtual ~DiskNotices() = default;
    // The modal notice that explains how to install the disk service to a user without
    // administrator rights; returns when it is closed. Called only while the settings'
    // ShowAdminNotice is set.
    virtual void ShowAdminNotice() = 0;
};

class UserMessages
{
public:
    virtual ~UserMessages() = default;
    // The application's standard message window.
    virtual void ShowMessage(const std::string& text) = 0;
    // A message box with a warning icon and an OK button.
    virtual void ShowWarning(const std::string& caption, const std::string& text) = 0;
};

} // namespace calventa::disks
