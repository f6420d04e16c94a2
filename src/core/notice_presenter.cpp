#include "core/notice_presenter.h"

#include "core/options_presenter.h"

namespace calventa::core {

namespace {

uint8_t& FlagOf(SettingsBlock& settings, NoticeKind kind)
{
    return kind == NoticeKind::AdminNotice ? settings.ShowAdminNotice : settings.ShowFanWarning;
}

} // namespace

NoticeContent NoticeContentOf(NoticeKind kind, platform::PlatformFamily family, TextPlatform texts)
{
    NoticeContent content;
    content.Caption = "Calventa";
    content.CheckBoxText = "Do not show me again";
    content.ButtonText = "OK";
    content.BackgroundColor = kDialogColor;
    if (kind == NoticeKind::AdminNotice) {
        content.Width = 457;
        content.Height = 170;
        content.Lines = AdminNoticeLines(texts);
    } else {
        content.Width = 311;
        content.Height = 128;
        content.Lines = {
            "   Attention!  This option for advanced users only!",
            "You can damage a computer at not correct settings.",
        };
        content.ButtonPicture = family == platform::PlatformFamily::NtFamily;
    }
    return content;
}

bool NoticeWanted(const SettingsBlock& settings, NoticeKind kind)
{
    return (kind == NoticeKind::AdminNotice ? settings.ShowAdminNotice : settings.ShowFanWarning) != 0;
}

bool NoticeOkClick(MonitorState& state, NoticeKind kind, bool doNotShowAgain)
{
    uint8_t& flag = FlagOf(state.Settings, kind);
    if (!doNotShowAgain || flag == 0) {
        return false;
    }
    flag = 0;
    state.SaveSettings();
    return true;
}

} // namespace calventa::core
