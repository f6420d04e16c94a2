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
    if (!view::RegisterViewClass(instance, className, &view::ViewProcedure<WindowBase>, ProgramGreyBrush())) {
        return false;
    }
    CreateWindowExW(exStyle, className, caption.c_str(), style, x, y, width, height, parent, nullptr, instance, this);
    if (m_window == nullptr) {
        return false;
    }
    SendMessageW(m_window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(ProgramIcon(16)));
    SendMessageW(m_window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(ProgramIcon(32)));
    return true;
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

LRESULT WindowBase::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    WndEvent event{m_window, message, wParam, lParam};
    OnMessage(event);
    return event.Handled ? event.Result : DefWindowProcW(m_window, message, wParam, lParam);
}

} // namespace calventa::ui::win32
