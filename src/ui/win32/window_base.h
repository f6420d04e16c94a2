#pragma once

#include <windows.h>

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

// A top-level window owned by a C++ object: the one window procedure finds the object in
// GWLP_USERDATA (set at WM_NCCREATE) and hands it every message. The object destroys its
// window; a window the system destroyed first is forgotten at WM_NCDESTROY.
class WindowBase
{
public:
    WindowBase() = default;
    virtual ~WindowBase();
    WindowBase(const WindowBase&) = delete;
    WindowBase& operator=(const WindowBase&) = delete;

    HWND Handle() const { return m_window; }

protected:
    // Registers `className` once per process (background: the program's grey) and creates the
    // window with this object behind it. False when the system refused.
    bool CreateTopLevel(const wchar_t* className, const std::wstring& caption, DWORD style, DWORD exStyle, int x,
                        int y, int width, int height, HWND parent = nullptr);
    void Destroy();
    virtual void OnMessage(WndEvent& event) = 0;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_window = nullptr;
};

} // namespace calventa::ui::win32
