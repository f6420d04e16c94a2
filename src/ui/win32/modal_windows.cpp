#include "ui/win32/modal_windows.h"

#include <shellapi.h>

#include <algorithm>

namespace calventa::ui::win32 {

namespace {

constexpr const wchar_t* kAboutClass = L"CalventaAboutForm";
constexpr const wchar_t* kNoticeClass = L"CalventaNotice";
constexpr DWORD kModalStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr int kMargin = 12;

COLORREF ColourOf(int32_t value)
{
    const auto bits = static_cast<uint32_t>(value);
    return RGB(bits & 0xFF, (bits >> 8) & 0xFF, (bits >> 16) & 0xFF);
}

// Client size at the window's dpi, the system frame around it.
void SizeClient(HWND window, int width, int height, int dpi, DWORD exStyle)
{
    RECT frame{0, 0, Scaled(width, dpi), Scaled(height, dpi)};
    AdjustWindowRectEx(&frame, kModalStyle, FALSE, exStyle);
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT Place(int left, int top, int width, int height, int dpi)
{
    return RECT{Scaled(left, dpi), Scaled(top, dpi), Scaled(left + width, dpi), Scaled(top + height, dpi)};
}

std::string JoinLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) {
        if (!text.empty()) {
            text += "\r\n";
        }
        text += line;
    }
    return text;
}

} // namespace

LinkOpener SystemLinkOpener()
{
    return [](const std::string& address) {
        ShellExecuteW(nullptr, L"open", Wide(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    };
}

AboutWindow::AboutWindow(HWND owner, LinkOpener opener, core::AboutTexts texts)
    : m_owner(owner), m_opener(std::move(opener)), m_texts(std::move(texts))
{
    if (!CreateTopLevel(kAboutClass, Wide(m_texts.Caption), kModalStyle, WS_EX_DLGMODALFRAME, 0, 0, kWidth, kHeight,
                        owner)) {
        return;
    }
    m_dpi = DpiOf(Handle());
    m_font.Reset(MakeFont(8, m_dpi));
    m_bold.Reset(MakeFont(10, m_dpi, true));
    m_link.Reset(CreateFontW(-MulDiv(8, m_dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, TRUE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_SWISS,
                             L"Tahoma"));
    const int clientWidth = kWidth - 6;
    const HWND picture = MakeControl(Handle(), L"STATIC", "", SS_ICON, 0, Place(kMargin, 8, 48, 48, m_dpi), nullptr);
    SendMessageW(picture, STM_SETICON, reinterpret_cast<WPARAM>(ProgramIcon(32)), 0);
    MakeControl(Handle(), L"STATIC", m_texts.Title, SS_LEFT | SS_NOPREFIX, kTitleId,
                Place(70, 22, clientWidth - 80, 20, m_dpi), m_bold.Get());
    MakeControl(Handle(), L"STATIC", "", SS_ETCHEDHORZ, 0, Place(kMargin, 62, clientWidth - 2 * kMargin, 2, m_dpi),
                nullptr);
    const struct
    {
        const char* Caption;
        const std::string& Address;
        int Id;
        int Top;
    } rows[] = {{"Homepage :", m_texts.HomepageAddress, kHomepageId, 72},
                {"Support :", m_texts.SupportAddress, kSupportId, 90}};
    for (const auto& row : rows) {
        if (row.Address.empty()) {
            continue;
        }
        MakeControl(Handle(), L"STATIC", row.Caption, SS_LEFT, 0, Place(kMargin, row.Top, 70, 16, m_dpi), m_font.Get());
        MakeControl(Handle(), L"STATIC", row.Address, SS_LEFT | SS_NOPREFIX | SS_NOTIFY, row.Id,
                    Place(kMargin + 74, row.Top, clientWidth - 2 * kMargin - 74, 16, m_dpi), m_link.Get());
    }
    MakeControl(Handle(), L"STATIC", "", SS_ETCHEDHORZ, 0, Place(kMargin, 112, clientWidth - 2 * kMargin, 2, m_dpi),
                nullptr);
    MakeControl(Handle(), L"EDIT", JoinLines(core::AboutBodyLines()), ES_MULTILINE | ES_READONLY, kTextId,
                Place(kMargin - 4, 118, clientWidth - 2 * kMargin + 8, 76, m_dpi), m_font.Get());
    MakeControl(Handle(), L"STATIC", "", SS_ETCHEDHORZ, 0, Place(kMargin, 198, clientWidth - 2 * kMargin, 2, m_dpi),
                nullptr);
    MakeControl(Handle(), L"BUTTON", "Close", BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK,
                Place((clientWidth - 80) / 2, 207, 80, 24, m_dpi), m_font.Get());
    SizeClient(Handle(), clientWidth, kHeight - 20, m_dpi, WS_EX_DLGMODALFRAME);
}

std::string AboutWindow::HomepageUrl() const
{
    return m_texts.HomepageAddress;
}

std::string AboutWindow::SupportUrl() const
{
    if (m_texts.SupportAddress.empty()) {
        return {};
    }
    return "mailto:" + m_texts.SupportAddress + "?subject=" + m_texts.MailSubject;
}

void AboutWindow::RunModal(const std::function<void(AboutWindow&)>& shown)
{
    if (Handle() == nullptr) {
        return;
    }
    CentreOnScreen(Handle());
    ShowWindow(Handle(), SW_SHOW);
    SetForegroundWindow(Handle());
    if (shown) {
        shown(*this);
    }
    win32::RunModal(Handle(), m_owner, m_done);
    ShowWindow(Handle(), SW_HIDE);
}

void AboutWindow::OnMessage(WndEvent& event)
{
    switch (event.Message) {
    case WM_COMMAND: {
        const int id = LOWORD(event.WParam);
        if (id == IDOK || id == IDCANCEL) {
            m_done = true;
        } else if (id == kHomepageId && HIWORD(event.WParam) == STN_CLICKED && m_opener) {
            m_opener(HomepageUrl());
        } else if (id == kSupportId && HIWORD(event.WParam) == STN_CLICKED && m_opener) {
            m_opener(SupportUrl());
        }
        event.Handled = true;
        return;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT: {
        const auto dc = reinterpret_cast<HDC>(event.WParam);
        const int id = GetDlgCtrlID(reinterpret_cast<HWND>(event.LParam));
        SetTextColor(dc, id == kHomepageId || id == kSupportId ? RGB(0, 0, 0xFF) : RGB(0, 0, 0));
        SetBkColor(dc, kProgramGrey);
        event.Result = reinterpret_cast<LRESULT>(ProgramGreyBrush());
        event.Handled = true;
        return;
    }
    case WM_SETCURSOR: {
        const int id = GetDlgCtrlID(reinterpret_cast<HWND>(event.WParam));
        if (id == kHomepageId || id == kSupportId) {
            SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32649))); // IDC_HAND
            event.Result = TRUE;
            event.Handled = true;
        }
        return;
    }
    case WM_CLOSE:
        m_done = true;
        event.Handled = true;
        return;
    default:
        return;
    }
}

NoticeWindow::NoticeWindow(HWND owner, const core::NoticeContent& content) : m_owner(owner)
{
    const DWORD exStyle = WS_EX_DLGMODALFRAME | (content.StaysOnTop ? WS_EX_TOPMOST : 0);
    if (!CreateTopLevel(kNoticeClass, Wide(content.Caption), kModalStyle, exStyle, 0, 0, content.Width,
                        content.Height, owner)) {
        return;
    }
    m_dpi = DpiOf(Handle());
    m_font.Reset(MakeFont(8, m_dpi));
    m_background.Reset(CreateSolidBrush(ColourOf(content.BackgroundColor)));
    m_backgroundColour = ColourOf(content.BackgroundColor);
    const int width = std::clamp(content.Width - 6, 200, 1200);
    const int height = std::clamp(content.Height - 20, 120, 900);
    const HWND picture = MakeControl(Handle(), L"STATIC", "", SS_ICON, 0, Place(kMargin, 10, 32, 32, m_dpi), nullptr);
    SendMessageW(picture, STM_SETICON,
                 reinterpret_cast<WPARAM>(LoadIconW(nullptr, MAKEINTRESOURCEW(32516))), // IDI_INFORMATION
                 0);
    MakeControl(Handle(), L"EDIT", JoinLines(content.Lines), ES_MULTILINE | ES_READONLY | WS_VSCROLL, kTextId,
                Place(kMargin + 44, 10, width - 2 * kMargin - 44, height - 80, m_dpi), m_font.Get());
    MakeControl(Handle(), L"BUTTON", content.CheckBoxText, BS_AUTOCHECKBOX | WS_TABSTOP, kCheckId,
                Place(kMargin, height - 62, width - 2 * kMargin, 18, m_dpi), m_font.Get());
    MakeControl(Handle(), L"BUTTON", content.ButtonText, BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK,
                Place((width - 90) / 2, height - 36, 90, 26, m_dpi), m_font.Get());
    SizeClient(Handle(), width, height, m_dpi, exStyle);
}

bool NoticeWindow::RunModal(const std::function<void(NoticeWindow&)>& shown)
{
    if (Handle() == nullptr) {
        return false;
    }
    CentreOnScreen(Handle());
    ShowWindow(Handle(), SW_SHOW);
    SetForegroundWindow(Handle());
    if (shown) {
        shown(*this);
    }
    win32::RunModal(Handle(), m_owner, m_done);
    ShowWindow(Handle(), SW_HIDE);
    return m_ticked;
}

void NoticeWindow::OnMessage(WndEvent& event)
{
    switch (event.Message) {
    case WM_ERASEBKGND: {
        RECT client{};
        GetClientRect(Handle(), &client);
        FillRect(reinterpret_cast<HDC>(event.WParam), &client, m_background.Get());
        event.Result = 1;
        event.Handled = true;
        return;
    }
    case WM_COMMAND:
        if (LOWORD(event.WParam) == IDOK) {
            m_ticked = IsDlgButtonChecked(Handle(), kCheckId) == BST_CHECKED;
            m_done = true;
            event.Handled = true;
        } else if (LOWORD(event.WParam) == IDCANCEL) {
            m_done = true; // Escape: like the frame's close, the box counts as not ticked
            event.Handled = true;
        }
        return;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
        SetBkColor(reinterpret_cast<HDC>(event.WParam), m_backgroundColour);
        event.Result = reinterpret_cast<LRESULT>(m_background.Get());
        event.Handled = true;
        return;
    case WM_CLOSE:
        m_done = true;
        event.Handled = true;
        return;
    default:
        return;
    }
}

void RunNotice(core::MonitorState& state, core::NoticeKind kind, platform::PlatformFamily family, HWND owner,
               const std::function<void(NoticeWindow&)>& shown)
{
    NoticeWindow notice(owner, core::NoticeContentOf(kind, family));
    const bool ticked = notice.RunModal(shown);
    core::NoticeOkClick(state, kind, ticked);
}

} // namespace calventa::ui::win32
