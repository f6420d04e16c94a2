#include "ui/win32/alarm_window.h"

#include <algorithm>

namespace calventa::ui::win32 {

namespace {

constexpr const wchar_t* kClassName = L"CalventaAlarmForm";
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
// The presenter's sizes include the program's own 17-pixel caption and 3-pixel border.
constexpr int kDrawnCaption = 17;
constexpr int kDrawnBorder = 3;

} // namespace

AlarmWindow::AlarmWindow(std::function<void()> closeClicked) : m_closeClicked(std::move(closeClicked))
{
    if (!CreateTopLevel(kClassName, L"Calventa", kStyle, WS_EX_TOPMOST | WS_EX_APPWINDOW, 0, 0,
                        core::AlarmWindowContent::kWidth, 88)) {
        return;
    }
    m_dpi = DpiOf(Handle());
    m_font.Reset(MakeFont(8, m_dpi, true));
    m_titleFont.Reset(MakeFont(12, m_dpi, true));
    m_title = MakeControl(Handle(), L"STATIC", "ALARM!", SS_CENTER | SS_NOPREFIX, kTitleId,
                          RECT{0, Scaled(6, m_dpi), Scaled(core::AlarmWindowContent::kWidth - 6, m_dpi),
                               Scaled(26, m_dpi)},
                          m_titleFont.Get());
    for (int i = 0; i < kLabelCount; ++i) {
        const HWND line = MakeControl(Handle(), L"STATIC", "", SS_LEFT | SS_NOPREFIX, kLineId + i, RECT{0, 0, 0, 0},
                                      m_font.Get());
        ShowWindow(line, SW_HIDE);
        m_lines.push_back(line);
    }
    m_close = MakeControl(Handle(), L"BUTTON", "Close", BS_DEFPUSHBUTTON | WS_TABSTOP, IDCANCEL, RECT{0, 0, 0, 0},
                          m_font.Get());
}

void AlarmWindow::Render(const core::AlarmWindowContent& content, bool shown)
{
    if (Handle() == nullptr) {
        return;
    }
    const size_t count = m_freed ? 0 : std::min(content.Lines.size(), m_lines.size());
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (i < count) {
            const int top = core::AlarmWindowContent::kFirstLineTop + static_cast<int>(i) * core::AlarmWindowContent::kLineStep;
            MoveWindow(m_lines[i], Scaled(core::AlarmWindowContent::kLineLeft, m_dpi), Scaled(top, m_dpi),
                       Scaled(core::AlarmWindowContent::kWidth - 2 * core::AlarmWindowContent::kLineLeft, m_dpi),
                       Scaled(core::AlarmWindowContent::kLineStep, m_dpi), FALSE);
            SetText(m_lines[i], content.Lines[i]);
            ShowWindow(m_lines[i], SW_SHOWNA);
        } else {
            ShowWindow(m_lines[i], SW_HIDE);
        }
    }
    const int clientWidth = core::AlarmWindowContent::kWidth - 2 * kDrawnBorder;
    const int clientHeight = std::max(content.Height - kDrawnCaption - kDrawnBorder, 60);
    MoveWindow(m_close, Scaled(8, m_dpi), Scaled(std::max(content.CloseButtonTop, clientHeight - 28), m_dpi),
               Scaled(clientWidth - 16, m_dpi), Scaled(22, m_dpi), FALSE);
    RECT frame{0, 0, Scaled(clientWidth, m_dpi), Scaled(clientHeight, m_dpi)};
    AdjustWindowRectEx(&frame, kStyle, FALSE, WS_EX_TOPMOST | WS_EX_APPWINDOW);
    // The presenter places the window by its corner at 96 dpi: the right and bottom edges stay
    // where it puts them, so that a window scaled up grows into the screen, not off it.
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int right = content.Left + core::AlarmWindowContent::kWidth;
    const int bottom = content.Top + std::max(content.Height, 0);
    SetWindowPos(Handle(), HWND_TOPMOST, right - width, bottom - height, width, height, SWP_NOACTIVATE);
    InvalidateRect(Handle(), nullptr, TRUE);
    ShowWindow(Handle(), shown ? SW_SHOWNA : SW_HIDE);
}

void AlarmWindow::FreeAlarmLabels()
{
    m_freed = true;
    for (HWND line : m_lines) {
        DestroyWindow(line);
    }
    m_lines.clear();
}

std::vector<std::string> AlarmWindow::Lines() const
{
    std::vector<std::string> lines;
    for (HWND line : m_lines) {
        if (IsWindowVisible(line)) {
            lines.push_back(TextOf(line));
        }
    }
    return lines;
}

void AlarmWindow::OnMessage(WndEvent& event)
{
    switch (event.Message) {
    case WM_CTLCOLORSTATIC: {
        const auto dc = reinterpret_cast<HDC>(event.WParam);
        const int id = GetDlgCtrlID(reinterpret_cast<HWND>(event.LParam));
        SetTextColor(dc, id >= kLineId ? kAlarmRed : RGB(0x51, 0x2B, 0x17));
        SetBkColor(dc, kProgramGrey);
        event.Result = reinterpret_cast<LRESULT>(ProgramGreyBrush());
        event.Handled = true;
        return;
    }
    case WM_COMMAND:
        if (LOWORD(event.WParam) == IDCANCEL && m_closeClicked) {
            m_closeClicked();
            event.Handled = true;
        }
        return;
    case WM_CLOSE:
        // The frame's close control is the "Close" button.
        if (m_closeClicked) {
            m_closeClicked();
        }
        event.Handled = true;
        return;
    default:
        return;
    }
}

} // namespace calventa::ui::win32
