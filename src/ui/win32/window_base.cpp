#include "ui/win32/window_base.h"

#include "ui/win32/win32_support.h"

namespace calventa::ui::win32 {

WindowBase::~WindowBase()
{
    Destroy();
}

bool WindowBase::CreateTopLevel(const wchar_t* className, const std::wstring& caption, DWORD style, DWORD exStyle,
                                int x, int y, int width, int height, HWND parent)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW known{};
    known.cbSize = sizeof(known);
    if (!GetClassInfoExW(instance, className, &known)) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.style = CS_DBLCLKS;
        windowClass.lpfnWndProc = &WindowBase::Procedure;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
        windowClass.hbrBackground = ProgramGreyBrush();
        windowClass.hIcon = ProgramIcon(32);
        windowClass.hIconSm = ProgramIcon(16);
        windowClass.lpszClassName = className;
        if (RegisterClassExW(&windowClass) == 0) {
            return false;
        }
    }
    m_window = CreateWindowExW(exStyle, className, caption.c_str(), style, x, y, width, height, parent, nullptr,
                               instance, this);
    return m_window != nullptr;
}

void WindowBase::Destroy()
{
    if (m_window != nullptr) {
        const HWND window = m_window;
        m_window = nullptr;
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        DestroyWindow(window);
    }
}

LRESULT CALLBACK WindowBase::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* self = static_cast<WindowBase*>(create->lpCreateParams);
        self->m_window = window; // before CreateWindowEx returns: WM_CREATE handlers need it
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<WindowBase*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->m_window = nullptr;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    WndEvent event{window, message, wParam, lParam};
    self->OnMessage(event);
    return event.Handled ? event.Result : DefWindowProcW(window, message, wParam, lParam);
}

} // namespace calventa::ui::win32
