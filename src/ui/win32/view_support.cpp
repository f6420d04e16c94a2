#include "ui/win32/view_support.h"

#include <vector>

#include "platform/windows/win_text.h"

namespace calventa::ui::win32::view {

namespace {

constexpr const wchar_t* kPaneClass = L"CalventaPane";

LRESULT CALLBACK PaneProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_DRAWITEM:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        if (HWND top = GetAncestor(window, GA_ROOT); top != nullptr && top != window) {
            return SendMessageW(top, message, wParam, lParam);
        }
        break;
    case WM_ERASEBKGND: {
        // The page shows the top-level window's background, as the frames drawn on it do.
        HWND top = GetAncestor(window, GA_ROOT);
        auto brush = reinterpret_cast<HBRUSH>(GetClassLongPtrW(top, GCLP_HBRBACKGROUND));
        RECT area;
        GetClientRect(window, &area);
        FillRect(reinterpret_cast<HDC>(wParam), &area, brush != nullptr ? brush : GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

std::wstring Wide(const std::string& text)
{
    return platform::windows_backend::WideFromUtf8(text);
}

std::string Utf8(const std::wstring& text)
{
    return platform::windows_backend::Utf8FromWide(text);
}

std::wstring WindowText(HWND window)
{
    const int length = GetWindowTextLengthW(window);
    if (length <= 0) {
        return {};
    }
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
    const int got = GetWindowTextW(window, buffer.data(), length + 1);
    return std::wstring(buffer.data(), static_cast<size_t>(std::max(got, 0)));
}

std::string WindowTextUtf8(HWND window)
{
    return Utf8(WindowText(window));
}

Icon::~Icon()
{
    if (m_icon != nullptr) {
        DestroyIcon(m_icon);
    }
}

int WindowDpi(HWND window)
{
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    if (HMODULE user = GetModuleHandleW(L"user32.dll"); user != nullptr && window != nullptr) {
        const auto getDpi =
            reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void*>(GetProcAddress(user, "GetDpiForWindow")));
        if (getDpi != nullptr) {
            if (const UINT dpi = getDpi(window); dpi >= 48) {
                return static_cast<int>(dpi);
            }
        }
    }
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen != nullptr) {
        ReleaseDC(nullptr, screen);
    }
    return dpi >= 48 ? dpi : 96;
}

Font MessageFont(int dpi, bool bold)
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    LOGFONTW font{};
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        font = metrics.lfMessageFont;
        // The metrics are for the system's dpi; the window's may differ.
        const int systemDpi = WindowDpi(nullptr);
        font.lfHeight = MulDiv(font.lfHeight, dpi, systemDpi);
    } else {
        font.lfHeight = -MulDiv(8, dpi, 72);
        lstrcpynW(font.lfFaceName, L"Tahoma", LF_FACESIZE);
    }
    if (bold) {
        font.lfWeight = FW_BOLD;
    }
    return Font(CreateFontIndirectW(&font));
}

SIZE TextExtent(HWND window, HFONT font, const std::wstring& text)
{
    SIZE size{0, 0};
    HDC dc = GetDC(window);
    if (dc == nullptr) {
        return size;
    }
    {
        const Selected chosen(dc, font);
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    }
    ReleaseDC(window, dc);
    return size;
}

bool RegisterViewClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, HBRUSH background)
{
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(instance, name, &existing)) {
        return true;
    }
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    return RegisterClassExW(&windowClass) != 0;
}

void ShowInFront(HWND window)
{
    if (window != nullptr) {
        ShowWindow(window, SW_SHOW);
        SetForegroundWindow(window);
    }
}

void HideWindow(HWND window)
{
    if (window != nullptr) {
        ShowWindow(window, SW_HIDE);
    }
}

bool WindowShown(HWND window)
{
    return window != nullptr && IsWindowVisible(window) != FALSE;
}

bool ShownInParent(HWND child)
{
    return child != nullptr && (GetWindowLongPtrW(child, GWL_STYLE) & WS_VISIBLE) != 0;
}

HWND MakeControl(HWND parent, const wchar_t* windowClass, const std::wstring& text, DWORD style, int x, int y,
                 int width, int height, int id, HFONT font, DWORD exStyle)
{
    HWND control = CreateWindowExW(exStyle, windowClass, text.c_str(), WS_CHILD | WS_VISIBLE | style, x, y, width,
                                   height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
    if (control != nullptr && font != nullptr) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    return control;
}

HWND MakePane(HINSTANCE instance, HWND parent, int x, int y, int width, int height)
{
    RegisterViewClass(instance, kPaneClass, PaneProcedure, nullptr);
    return CreateWindowExW(WS_EX_CONTROLPARENT, kPaneClass, L"", WS_CHILD | WS_CLIPSIBLINGS, x, y, width, height,
                           parent, nullptr, instance, nullptr);
}

} // namespace calventa::ui::win32::view
