#include "ui/win32/main_window.h"

#include <windowsx.h>

#include <algorithm>

namespace calventa::ui::win32 {

namespace {

constexpr const wchar_t* kClassName = L"CalventaMainForm";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

struct PanelTitle
{
    const wchar_t* Text;
};
constexpr std::array<PanelTitle, 3> kPanelTitles{{{L"TEMPERATURES"}, {L"FANS"}, {L"VOLTAGES"}}};

// A small mark in front of each row, in the colour of its kind.
COLORREF MarkColour(int slot)
{
    switch (core::KindOfSlot(slot)) {
    case core::SlotKind::Fan:
        return RGB(0x4A, 0x68, 0xA1);
    case core::SlotKind::Voltage:
        return RGB(0xD0, 0x90, 0x10);
    default:
        return RGB(0xC0, 0x30, 0x20);
    }
}

} // namespace

MainWindow::MainWindow(Events events) : m_events(std::move(events))
{
    const int outerWidth = core::kDefaultMainWindowWidth;
    if (!CreateTopLevel(kClassName, L"Calventa", kStyle, 0, CW_USEDEFAULT, CW_USEDEFAULT, outerWidth, 60)) {
        return;
    }
    m_dpi = DpiOf(Handle());
    MakeFonts();
    for (int slot = 0; slot < core::kSlotCount; ++slot) {
        Row& row = m_rows[static_cast<size_t>(slot)];
        row.Name = MakeControl(Handle(), L"STATIC", core::SlotLabel(slot), SS_LEFT | SS_NOPREFIX, kNameId + slot,
                               RECT{0, 0, 0, 0}, m_font.Get());
        row.Value = MakeControl(Handle(), L"STATIC", "", SS_LEFT | SS_NOPREFIX | SS_NOTIFY, kValueId + slot,
                                RECT{0, 0, 0, 0}, m_font.Get());
        ShowWindow(row.Name, SW_HIDE);
        ShowWindow(row.Value, SW_HIDE);
    }
}

void MainWindow::MakeFonts()
{
    m_font.Reset(MakeFont(8, m_dpi));
    m_bold.Reset(MakeFont(8, m_dpi, true));
    m_title.Reset(MakeFont(7, m_dpi, true, L"Arial"));
    for (Row& row : m_rows) {
        if (row.Name != nullptr) {
            SendMessageW(row.Name, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.Get()), FALSE);
            SendMessageW(row.Value, WM_SETFONT, reinterpret_cast<WPARAM>(row.Red ? m_bold.Get() : m_font.Get()),
                         FALSE);
        }
    }
}

void MainWindow::Render(const core::MainWindowPresenter& presenter, bool relayout)
{
    if (Handle() == nullptr) {
        return;
    }
    if (relayout) {
        m_layout = presenter.Layout();
        Relayout();
    }
    for (const core::MainWindowRow& placed : m_layout.Rows) {
        if (placed.Slot < 0 || placed.Slot >= core::kSlotCount) {
            continue;
        }
        Row& row = m_rows[static_cast<size_t>(placed.Slot)];
        if (!row.Placed) {
            continue;
        }
        const core::MainWindowValue& value = presenter.Value(placed.Slot);
        std::string text = value.Text;
        if (placed.HasPowerLine && !value.Power.empty()) {
            text += "\r\n" + value.Power;
        }
        const bool restyle = row.Red != value.Red || row.Stale != value.Stale;
        row.Red = value.Red;
        row.Stale = value.Stale;
        if (restyle) {
            SendMessageW(row.Value, WM_SETFONT, reinterpret_cast<WPARAM>(row.Red ? m_bold.Get() : m_font.Get()), FALSE);
        }
        SetText(row.Value, text);
        if (restyle) {
            InvalidateRect(row.Value, nullptr, TRUE);
        }
    }
}

void MainWindow::Relayout()
{
    for (Row& row : m_rows) {
        ShowWindow(row.Name, SW_HIDE);
        ShowWindow(row.Value, SW_HIDE);
        row.Placed = false;
    }
    for (const core::MainWindowRow& placed : m_layout.Rows) {
        if (placed.Slot < 0 || placed.Slot >= core::kSlotCount || placed.Panel < 0 || placed.Panel > 2) {
            continue;
        }
        Row& row = m_rows[static_cast<size_t>(placed.Slot)];
        const int top = m_layout.Panels[static_cast<size_t>(placed.Panel)].Top + placed.Y;
        const int height = placed.HasPowerLine ? 2 * kRowHeight : kRowHeight;
        const int valueLeft = std::clamp(placed.ValueLeft, kNameLeft, kPanelWidth - 2);
        MoveWindow(row.Name, Scaled(kNameLeft, m_dpi), Scaled(top, m_dpi), Scaled(valueLeft - kNameLeft, m_dpi),
                   Scaled(kRowHeight, m_dpi), FALSE);
        MoveWindow(row.Value, Scaled(valueLeft, m_dpi), Scaled(top, m_dpi),
                   Scaled(kPanelWidth - valueLeft - 2, m_dpi), Scaled(height, m_dpi), FALSE);
        ShowWindow(row.Name, SW_SHOWNA);
        ShowWindow(row.Value, SW_SHOWNA);
        row.Placed = true;
    }
    // Client size from the presenter's outer size, then the system frame around it.
    const int clientHeight = std::max(m_layout.Height - kDrawnCaption - kDrawnBorder, 0);
    RECT frame{0, 0, Scaled(core::kDefaultMainWindowWidth - 2 * kDrawnBorder, m_dpi), Scaled(clientHeight, m_dpi)};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(Handle(), GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(Handle(), GWL_EXSTYLE)));
    SetWindowPos(Handle(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(Handle(), nullptr, TRUE);
}

void MainWindow::Paint()
{
    PAINTSTRUCT paint{};
    const HDC dc = BeginPaint(Handle(), &paint);
    SetBkMode(dc, TRANSPARENT);
    const HGDIOBJ oldFont = SelectObject(dc, m_title.Get());
    for (size_t p = 0; p < m_layout.Panels.size(); ++p) {
        const core::MainWindowPanel& panel = m_layout.Panels[p];
        if (!panel.Visible) {
            continue;
        }
        RECT box{0, Scaled(panel.Top, m_dpi), Scaled(kPanelWidth, m_dpi), Scaled(panel.Top + panel.Height, m_dpi)};
        DrawEdge(dc, &box, EDGE_RAISED, BF_RECT);
        RECT title{box.left, box.top + Scaled(5, m_dpi), box.right, box.top + Scaled(19, m_dpi)};
        SetTextColor(dc, RGB(0x51, 0x2B, 0x17));
        DrawTextW(dc, kPanelTitles[p].Text, -1, &title, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    }
    for (const core::MainWindowRow& placed : m_layout.Rows) {
        if (placed.Slot < 0 || placed.Slot >= core::kSlotCount || placed.Panel < 0 || placed.Panel > 2) {
            continue;
        }
        const int top = m_layout.Panels[static_cast<size_t>(placed.Panel)].Top + placed.Y;
        RECT mark{Scaled(10, m_dpi), Scaled(top + 4, m_dpi), Scaled(20, m_dpi), Scaled(top + 12, m_dpi)};
        Brush brush(CreateSolidBrush(MarkColour(placed.Slot)));
        FillRect(dc, &mark, brush.Get());
    }
    SelectObject(dc, oldFont);
    EndPaint(Handle(), &paint);
}

void MainWindow::SetModes(bool onTop, bool onDesktop, bool toolWindow)
{
    m_onTop = onTop && !onDesktop; // "On desktop" wins
    m_onDesktop = onDesktop;
    const HWND window = Handle();
    if (window == nullptr) {
        return;
    }
    const bool visible = IsWindowVisible(window) != FALSE;
    LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
    const bool wasTool = (exStyle & WS_EX_TOOLWINDOW) != 0;
    m_toolWindow = toolWindow;
    if (wasTool != toolWindow) {
        // The taskbar looks at the style when the window is shown: hide it across the change.
        if (visible) {
            ShowWindow(window, SW_HIDE);
        }
        exStyle = toolWindow ? (exStyle | WS_EX_TOOLWINDOW) & ~WS_EX_APPWINDOW
                             : (exStyle & ~WS_EX_TOOLWINDOW) | WS_EX_APPWINDOW;
        SetWindowLongPtrW(window, GWL_EXSTYLE, exStyle);
    }
    // On the desktop: owned by the program manager's window, so it stays with the desktop
    // and under the other windows.
    const HWND progman = m_onDesktop ? FindWindowW(L"Progman", nullptr) : nullptr;
    SetWindowLongPtrW(window, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(progman));
    const HWND order = m_onTop ? HWND_TOPMOST : (m_onDesktop ? HWND_BOTTOM : HWND_NOTOPMOST);
    SetWindowPos(window, order, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    if (visible && wasTool != toolWindow) {
        ShowWindow(window, SW_SHOWNA);
    }
}

void MainWindow::SetOpacity(int alpha)
{
    m_alpha = std::clamp(alpha, 0, 255);
    const HWND window = Handle();
    if (window == nullptr) {
        return;
    }
    const LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
    if (m_alpha >= 255) {
        SetWindowLongPtrW(window, GWL_EXSTYLE, exStyle & ~WS_EX_LAYERED);
        return;
    }
    SetWindowLongPtrW(window, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
    SetLayeredWindowAttributes(window, 0, static_cast<BYTE>(m_alpha), LWA_ALPHA);
}

void MainWindow::MoveTo(int left, int top)
{
    SetWindowPos(Handle(), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

POINT MainWindow::Position() const
{
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    // The restored position: a minimized window reports where it will come back.
    if (Handle() != nullptr && GetWindowPlacement(Handle(), &placement)) {
        if (IsIconic(Handle())) {
            return {placement.rcNormalPosition.left, placement.rcNormalPosition.top};
        }
    }
    RECT frame{};
    GetWindowRect(Handle(), &frame);
    return {frame.left, frame.top};
}

SIZE MainWindow::OuterSize() const
{
    RECT frame{};
    GetWindowRect(Handle(), &frame);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

bool MainWindow::ValueRed(int slot) const
{
    return slot >= 0 && slot < core::kSlotCount && m_rows[static_cast<size_t>(slot)].Red;
}

void MainWindow::ShowUp()
{
    if (IsIconic(Handle())) {
        ShowWindow(Handle(), SW_RESTORE);
    }
    ShowWindow(Handle(), SW_SHOW);
    SetForegroundWindow(Handle());
}

void MainWindow::HideAway()
{
    ShowWindow(Handle(), SW_HIDE);
}

void MainWindow::OnMessage(WndEvent& event)
{
    switch (event.Message) {
    case WM_PAINT:
        Paint();
        event.Handled = true;
        return;
    case WM_CTLCOLORSTATIC: {
        const auto control = reinterpret_cast<HWND>(event.LParam);
        const auto dc = reinterpret_cast<HDC>(event.WParam);
        const int id = GetDlgCtrlID(control);
        COLORREF colour = RGB(0, 0, 0);
        if (id >= kValueId && id < kValueId + core::kSlotCount) {
            const Row& row = m_rows[static_cast<size_t>(id - kValueId)];
            // A sleeping disk's last value is greyed; red stays red: its alarm still stands.
            colour = row.Red ? kAlarmRed : (row.Stale ? RGB(0x80, 0x80, 0x80) : RGB(0, 0, 0));
        }
        SetTextColor(dc, colour);
        SetBkColor(dc, kProgramGrey);
        event.Result = reinterpret_cast<LRESULT>(ProgramGreyBrush());
        event.Handled = true;
        return;
    }
    case WM_SYSCOMMAND:
        if ((event.WParam & 0xFFF0) == SC_MINIMIZE && m_events.MinimizeClicked) {
            m_events.MinimizeClicked();
            event.Handled = true;
        }
        return;
    case WM_CONTEXTMENU:
        if (m_events.MenuRequested) {
            POINT at{GET_X_LPARAM(event.LParam), GET_Y_LPARAM(event.LParam)};
            if (at.x == -1 && at.y == -1) { // the menu key: at the window's corner
                RECT frame{};
                GetWindowRect(Handle(), &frame);
                at = {frame.left, frame.top};
            }
            m_events.MenuRequested(at);
        }
        event.Handled = true;
        return;
    case WM_CLOSE:
        // The program's close sequence runs first; the window goes with the program.
        if (m_events.Closing) {
            m_events.Closing();
        }
        event.Handled = true;
        return;
    case WM_QUERYENDSESSION:
        event.Result = TRUE;
        event.Handled = true;
        return;
    case WM_ENDSESSION:
        // Log-off or shutdown: the process ends after this returns, so the fans are handed back now.
        if (event.WParam != FALSE && m_events.Closing) {
            m_events.Closing();
        }
        event.Handled = true;
        return;
    case WM_DPICHANGED: {
        m_dpi = HIWORD(event.WParam);
        MakeFonts();
        const auto* suggested = reinterpret_cast<const RECT*>(event.LParam);
        SetWindowPos(Handle(), nullptr, suggested->left, suggested->top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        Relayout();
        event.Handled = true;
        return;
    }
    default:
        return;
    }
}

} // namespace calventa::ui::win32
