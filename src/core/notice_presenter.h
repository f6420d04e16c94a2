#pragma once

#include <string>
#include <vector>

#include "core/monitor_state.h"
#include "core/program_texts.h"

namespace calventa::core {

// The two notices with a "Do not show me again" box: the non-administrator notice raised by
// the disk start-up, and the fan-control warning raised by the options dialog.
enum class NoticeKind { AdminNotice, FanWarning };

struct NoticeContent
{
    std::string Caption;
    int Width = 0;
    int Height = 0;
    std::vector<std::string> Lines; // the read-only text field, one entry per line
    std::string CheckBoxText;       // starts clear
    std::string ButtonText;
    bool ButtonPicture = true; // false on Windows 9x: the caption alone
    bool StaysOnTop = true;
    int32_t BackgroundColor = 0;
};

// `texts`: whose words the non-administrator notice's steps use.
NoticeContent NoticeContentOf(NoticeKind kind, platform::PlatformFamily family,
                              TextPlatform texts = kBuildTextPlatform);

// Whether the live block still asks for the notice.
bool NoticeWanted(const SettingsBlock& settings, NoticeKind kind);

// "OK" of a notice: a ticked box clears the notice's flag in the live block and writes
// settings.dat at once, so that the choice outlives the options dialog's "OK" and "Cancel".
// True when the flag was cleared.
bool NoticeOkClick(MonitorState& state, NoticeKind kind, bool doNotShowAgain);

} // namespace calventa::core
