#pragma once

#include "ui/win32/view_support.h"

#include <string>

namespace calventa::ui::win32 {

// One message as a window object sees it. A handler that answers it sets Handled and Result;
// otherwise DefWindowProc runs.
struct WndEvent
{
    HWND Window = nullptr;
    UINT Message = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    bool Handled = false;
    LRESULT Result = 0;
};

// A top-level window of the desktop program owned by a C++ object, through the views' one
// window procedure (view::ViewProcedure). The object destroys its window; a window the system
// destroyed first is forgotten at WM_NCDESTROY.
class WindowBase
{
public:
    WindowBase() = default;
    virtual ~WindowBase();
    WindowBase(const WindowBase&) = delete;
    WindowBase& operator=(const WindowBase&) = delete;

    HWND Handle() const { return m_window; }

protected:
    // Registers `className` once per process (background: the program's grey), creates the
    // window with this object behind it and gives it the program's icon. False when the
    // system refused.
    bool CreateTopLevel(const wchar_t* className, const std::wstring& caption, DWORD style, DWORD exStyle, int x,
                        int y, int width, int height, HWND parent = nullptr);
    void Destroy();
    virtual void OnMessage(WndEvent& event) = 0;

private:
    friend LRESULT CALLBACK view::ViewProcedure<WindowBase>(HWND, UINT, WPARAM, LPARAM);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_window = nullptr;
};

} // namespace calventa::ui::win32
