#include "ui/win32/service_progress_window.h"

#include "app/service_progress.h"

namespace calventa::ui::win32 {

namespace {

constexpr const wchar_t* kClassName = L"CalventaSvcForm";
constexpr UINT_PTR kCloseTimer = 1;
constexpr int kListWidth = 148;
constexpr int kListHeight = 94;

} // namespace

ServiceProgressWindow::ServiceProgressWindow()
{
    if (!CreateTopLevel(kClassName, Wide(app::kProgressCaption), WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_TOOLWINDOW,
                        0, 0, app::kProgressWidth, app::kProgressHeight)) {
        return;
    }
    m_dpi = DpiOf(Handle());
    m_font.Reset(MakeFont(8, m_dpi));
    RECT frame{0, 0, Scaled(kListWidth + 16, m_dpi), Scaled(kListHeight + 48, m_dpi)};
    AdjustWindowRectEx(&frame, WS_POPUP | WS_CAPTION | WS_SYSMENU, FALSE, WS_EX_TOOLWINDOW);
    SetWindowPos(Handle(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_list = MakeControl(Handle(), L"LISTBOX", "", WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOSEL, kListId,
                         RECT{Scaled(8, m_dpi), Scaled(8, m_dpi), Scaled(8 + kListWidth, m_dpi),
                              Scaled(8 + kListHeight, m_dpi)},
                         m_font.Get(), WS_EX_CLIENTEDGE);
    MakeControl(Handle(), L"BUTTON", "Close", BS_DEFPUSHBUTTON | WS_TABSTOP, IDCANCEL,
                RECT{Scaled(8 + kListWidth / 2 - 40, m_dpi), Scaled(kListHeight + 16, m_dpi),
                     Scaled(8 + kListWidth / 2 + 40, m_dpi), Scaled(kListHeight + 40, m_dpi)},
                m_font.Get());
}

void ServiceProgressWindow::SetLines(const std::vector<std::string>& lines)
{
    if (m_list == nullptr) {
        return;
    }
    SendMessageW(m_list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(m_list, LB_RESETCONTENT, 0, 0);
    for (const std::string& line : lines) {
        SendMessageW(m_list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(line).c_str()));
    }
    SendMessageW(m_list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(m_list, nullptr, TRUE);
    UpdateWindow(m_list);
}

std::vector<std::string> ServiceProgressWindow::Lines() const
{
    std::vector<std::string> lines;
    const auto count = static_cast<int>(SendMessageW(m_list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const auto length = static_cast<int>(SendMessageW(m_list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0));
        std::wstring text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
        SendMessageW(m_list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<size_t>(length > 0 ? length : 0));
        lines.push_back(Utf8(text));
    }
    return lines;
}

void ServiceProgressWindow::ShowCentred()
{
    CentreOnScreen(Handle());
    ShowWindow(Handle(), SW_SHOW);
    UpdateWindow(Handle());
}

void ServiceProgressWindow::CloseLater(int ms)
{
    m_closeTimerRunning = SetTimer(Handle(), kCloseTimer, static_cast<UINT>(ms > 0 ? ms : 0), nullptr) != 0;
}

void ServiceProgressWindow::StopCloseTimer()
{
    KillTimer(Handle(), kCloseTimer);
    m_closeTimerRunning = false;
}

void ServiceProgressWindow::OnMessage(WndEvent& event)
{
    switch (event.Message) {
    case WM_TIMER:
        if (event.WParam == kCloseTimer) {
            StopCloseTimer();
            ShowWindow(Handle(), SW_HIDE);
            event.Handled = true;
        }
        return;
    case WM_COMMAND:
        if (LOWORD(event.WParam) == IDCANCEL) {
            StopCloseTimer();
            ShowWindow(Handle(), SW_HIDE);
            event.Handled = true;
        }
        return;
    case WM_CLOSE: // the long-lived window is hidden, never destroyed by its frame
        StopCloseTimer();
        ShowWindow(Handle(), SW_HIDE);
        event.Handled = true;
        return;
    case WM_CTLCOLORSTATIC:
        SetBkColor(reinterpret_cast<HDC>(event.WParam), kProgramGrey);
        event.Result = reinterpret_cast<LRESULT>(ProgramGreyBrush());
        event.Handled = true;
        return;
    default:
        return;
    }
}

} // namespace calventa::ui::win32
