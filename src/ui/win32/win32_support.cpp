#include "ui/win32/win32_support.h"

#include "platform/windows/win_text.h"

namespace calventa::ui::win32 {

std::wstring Wide(const std::string& text)
{
    return platform::windows_backend::WideFromUtf8(text);
}

std::string Utf8(const std::wstring& text)
{
    return platform::windows_backend::Utf8FromWide(text);
}

void SetText(HWND window, const std::string& text)
{
    // Unchanged text is not set again: every pass would otherwise repaint every label.
    if (TextOf(window) != text) {
        SetWindowTextW(window, Wide(text).c_str());
    }
}

std::string TextOf(HWND window)
{
    const int length = GetWindowTextLengthW(window);
    if (length <= 0) {
        return {};
    }
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return Utf8(text);
}

int DpiOf(HWND window)
{
    using GetDpiForWindowCall = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowCall>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow != nullptr && window != nullptr) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi >= 48 && dpi <= 960) {
            return static_cast<int>(dpi);
        }
    }
    const HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : kDesignDpi;
    if (screen != nullptr) {
        ReleaseDC(nullptr, screen);
    }
    return dpi >= 48 && dpi <= 960 ? dpi : kDesignDpi;
}

int Scaled(int pixels, int dpi)
{
    return MulDiv(pixels, dpi, kDesignDpi);
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
    const HWND control = CreateWindowExW(exStyle, className, Wide(text).c_str(), WS_CHILD | WS_VISIBLE | style,
                                         place.left, place.top, place.right - place.left, place.bottom - place.top,
                                         parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                         GetModuleHandleW(nullptr), nullptr);
    if (control != nullptr && font != nullptr) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    return control;
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
