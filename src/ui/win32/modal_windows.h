#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "core/notice_presenter.h"
#include "core/program_texts.h"
#include "ui/win32/win32_support.h"
#include "ui/win32/window_base.h"

namespace calventa::ui::win32 {

// How a link is opened: the system's browser or mail program (ShellExecute) unless a test
// records it.
using LinkOpener = std::function<void(const std::string&)>;
LinkOpener SystemLinkOpener();

// TAboutForm, shown modally from the tray menu. Control ids: kTitleId, kHomepageId,
// kSupportId, kTextId, IDOK ("Close"). A row without an address stays empty.
class AboutWindow final : public WindowBase
{
public:
    static constexpr int kTitleId = 1500;
    static constexpr int kHomepageId = 1501;
    static constexpr int kSupportId = 1502;
    static constexpr int kTextId = 1503;
    static constexpr int kWidth = 332;
    static constexpr int kHeight = 255;

    AboutWindow(HWND owner, LinkOpener opener, core::AboutTexts texts = core::AboutTextsFor(core::kBuildTextPlatform));

    // Shows the window and returns when it closes. `shown` runs once it is up (tests close it).
    void RunModal(const std::function<void(AboutWindow&)>& shown = {});
    void Close() { m_done = true; }
    std::string HomepageUrl() const;
    std::string SupportUrl() const;

private:
    void OnMessage(WndEvent& event) override;

    HWND m_owner;
    LinkOpener m_opener;
    core::AboutTexts m_texts;
    int m_dpi = kDesignDpi;
    Font m_font;
    Font m_bold;
    Font m_link;
    bool m_done = false;
};

// Tnform and Tf2: the notice's lines in a read-only field, "Do not show me again" (clear)
// and the button, which reports the box and closes the window. Always on top. Control ids:
// kTextId, kCheckId, IDOK.
class NoticeWindow final : public WindowBase
{
public:
    static constexpr int kTextId = 1600;
    static constexpr int kCheckId = 1601;

    NoticeWindow(HWND owner, const core::NoticeContent& content);

    // Shows the window until its button or frame closes it; true when the box was ticked.
    bool RunModal(const std::function<void(NoticeWindow&)>& shown = {});
    void Close() { m_done = true; }

private:
    void OnMessage(WndEvent& event) override;

    HWND m_owner;
    int m_dpi = kDesignDpi;
    Font m_font;
    Brush m_background;
    COLORREF m_backgroundColour = kProgramGrey;
    bool m_done = false;
    bool m_ticked = false;
};

// Creates the notice, shows it modally and frees it; its button writes the choice of the box
// into the live block (and settings.dat) at once. `shown` as for NoticeWindow::RunModal.
void RunNotice(core::MonitorState& state, core::NoticeKind kind, platform::PlatformFamily family, HWND owner,
               const std::function<void(NoticeWindow&)>& shown = {});

} // namespace calventa::ui::win32
