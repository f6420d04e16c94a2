#include "ui/win32/win32_support.h"


namespace calventa::ui::win32 {

void SetText(HWND window, const std::string& text)
{
    // Unchanged text is not set again: every pass would otherwise repaint every label.
    if (TextOf(window) != text) {
        SetWindowTextW(window, Wide(text).c_str());
    }
}

HFONT MakeFont(int points, int dpi, bool bold, const wchar_t* face)
{
    return CreateFontW(-MulDiv(points, dpi, 72), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, face);
}

HBRUSH ProgramGreyBrush()
{
    static const HBRUSH brush = CreateSolidBrush(kProgramGrey);
    return brush;
}

HICON ProgramIcon(int size)
{
    auto* icon = static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, LR_SHARED));
    return icon != nullptr ? icon : LoadIconW(nullptr, MAKEINTRESOURCEW(32512)); // IDI_APPLICATION
}

HWND MakeControl(HWND parent, const wchar_t* className, const std::string& text, DWORD style, int id, RECT place,
                 HFONT font, DWORD exStyle)
{
    return view::MakeControl(parent, className, Wide(text), style, place.left, place.top,
                             place.right - place.left, place.bottom - place.top, id, font, exStyle);
}

void RunModal(HWND window, HWND owner, const bool& done)
{
    const bool ownerWasEnabled = owner != nullptr && IsWindowEnabled(owner);
    if (ownerWasEnabled) {
        EnableWindow(owner, FALSE);
    }
    MSG message{};
    bool quit = false;
    int quitCode = 0;
    while (!done && IsWindow(window)) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            quit = true;
            quitCode = static_cast<int>(message.wParam);
            break;
        }
        if (got < 0) {
            break;
        }
        if (!IsDialogMessageW(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    if (ownerWasEnabled) {
        EnableWindow(owner, TRUE);
    }
    if (quit) {
        PostQuitMessage(quitCode);
    }
}

void CentreOnScreen(HWND window)
{
    RECT frame{};
    GetWindowRect(window, &frame);
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (!GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &info)) {
        return;
    }
    const RECT& area = info.rcWork;
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    SetWindowPos(window, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace calventa::ui::win32
