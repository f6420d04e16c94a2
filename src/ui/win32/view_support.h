#pragma once

// The thin Win32 layer the views share: <windows.h> and the common controls, texts converted
// at the API edge, GDI handles owned by RAII, and sizes scaled for the screen's dpi.
// <windows.h> as the back end includes it: lean, and without the macros that rename the
// platform interfaces' methods (ReplaceFile, CreateFile, …).
#include "platform/windows/win_api.h"

#include <commctrl.h>
#include <commdlg.h>

// The presenters' and controllers' own CreateDialog is no dialog template call.
#undef CreateDialog

#include <cstdint>
#include <string>
#include <utility>

// Kept apart from the desktop wiring's own helpers of the same kind.
namespace calventa::ui::win32::view {

// The program's texts are UTF-8; invalid bytes show as U+FFFD and are never changed where stored.
std::wstring Wide(const std::string& text);
std::string Utf8(const std::wstring& text);
std::wstring WindowText(HWND window);
std::string WindowTextUtf8(HWND window);

// A GDI object (font, brush, pen, bitmap) deleted with its owner.
template <typename Handle> class GdiObject
{
public:
    GdiObject() = default;
    explicit GdiObject(Handle handle) : m_handle(handle) {}
    ~GdiObject() { Reset(); }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    GdiObject(GdiObject&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
    GdiObject& operator=(GdiObject&& other) noexcept
    {
        if (this != &other) {
            Reset(std::exchange(other.m_handle, nullptr));
        }
        return *this;
    }
    void Reset(Handle handle = nullptr)
    {
        if (m_handle != nullptr) {
            DeleteObject(m_handle);
        }
        m_handle = handle;
    }
    Handle Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

private:
    Handle m_handle = nullptr;
};
using Font = GdiObject<HFONT>;
using Brush = GdiObject<HBRUSH>;
using Pen = GdiObject<HPEN>;
using Bitmap = GdiObject<HBITMAP>;

// An icon destroyed with its owner.
class Icon
{
public:
    Icon() = default;
    explicit Icon(HICON icon) : m_icon(icon) {}
    ~Icon();
    Icon(const Icon&) = delete;
    Icon& operator=(const Icon&) = delete;
    Icon(Icon&& other) noexcept : m_icon(std::exchange(other.m_icon, nullptr)) {}
    Icon& operator=(Icon&& other) noexcept
    {
        std::swap(m_icon, other.m_icon);
        return *this;
    }
    HICON Get() const { return m_icon; }

private:
    HICON m_icon = nullptr;
};

// Selects an object into a DC for a scope.
class Selected
{
public:
    Selected(HDC dc, HGDIOBJ object) : m_dc(dc), m_old(SelectObject(dc, object)) {}
    ~Selected() { SelectObject(m_dc, m_old); }
    Selected(const Selected&) = delete;
    Selected& operator=(const Selected&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

// Dots per inch of the window's screen (GetDpiForWindow where the system has it), else the
// desktop's; 96 at 100 %.
int WindowDpi(HWND window);
inline int Scaled(int pixels, int dpi)
{
    return MulDiv(pixels, dpi, 96);
}
// The system's message font at that dpi, optionally bold.
Font MessageFont(int dpi, bool bold = false);
// Width and height of a text in a font.
SIZE TextExtent(HWND window, HFONT font, const std::wstring& text);

// Registers a window class once per process (later calls find it registered); the window
// procedure gets the object passed to CreateWindowExW as its creation parameter.
bool RegisterViewClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, HBRUSH background);

// The window procedure of a view class: the object passed to CreateWindowExW is stored with its
// window at WM_NCCREATE and gets every message through its OnMessage; after WM_NCDESTROY the
// object no longer knows the window. The class befriends ViewProcedure<itself>.
template <typename View> LRESULT CALLBACK ViewProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* view = static_cast<View*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        view->m_window = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view));
    }
    auto* view = reinterpret_cast<View*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (view == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        view->m_window = nullptr;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return view->OnMessage(message, wParam, lParam);
}

// A view's top-level window shown and brought to the front, hidden, or asked whether it shows;
// a null window (one that could not be made) is left alone and never shows.
void ShowInFront(HWND window);
void HideWindow(HWND window);
bool WindowShown(HWND window);
// Whether a child window is meant to show with its parent, whether or not the parent shows now.
bool ShownInParent(HWND child);

// A child control; nullptr when it could not be made.
HWND MakeControl(HWND parent, const wchar_t* windowClass, const std::wstring& text, DWORD style, int x, int y,
                 int width, int height, int id, HFONT font, DWORD exStyle = 0);

// A pane: a plain child window that passes its controls' notifications (commands, notifies,
// scrolls, colours, owner drawing) up to the top-level window, so that a view's controls may
// sit in frames and pages while one window procedure handles them all.
HWND MakePane(HINSTANCE instance, HWND parent, int x, int y, int width, int height);

// 0x00BBGGRR, the stored colour layout, is COLORREF's.
inline COLORREF ColorOf(int32_t value)
{
    return static_cast<COLORREF>(value) & 0x00FFFFFF;
}

} // namespace calventa::ui::win32::view
