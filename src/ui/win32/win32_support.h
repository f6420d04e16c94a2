#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace calventa::ui::win32 {

// The program's grey (0x00CBCBCB) and the tray menu's selection colour.
inline constexpr COLORREF kProgramGrey = RGB(0xCB, 0xCB, 0xCB);
inline constexpr COLORREF kAlarmRed = RGB(0xFF, 0x00, 0x00);
inline constexpr int kDesignDpi = 96;

// The program works in UTF-8; the window texts are UTF-16, converted here only.
std::wstring Wide(const std::string& text);
std::string Utf8(const std::wstring& text);
void SetText(HWND window, const std::string& text);
std::string TextOf(HWND window);

// The window's dots per inch: GetDpiForWindow where the system has it (Windows 10 1607 on),
// else the screen's; 96 when neither answers.
int DpiOf(HWND window);
// `pixels` at 96 dpi, at `dpi`.
int Scaled(int pixels, int dpi);

// An owned GDI object; deleted with the wrapper, so nothing leaks per pass.
template <typename Handle>
class GdiObject
{
public:
    GdiObject() = default;
    explicit GdiObject(Handle handle) : m_handle(handle) {}
    ~GdiObject() { Reset(); }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    GdiObject(GdiObject&& other) noexcept : m_handle(other.m_handle) { other.m_handle = nullptr; }
    GdiObject& operator=(GdiObject&& other) noexcept
    {
        if (this != &other) {
            Reset(other.m_handle);
            other.m_handle = nullptr;
        }
        return *this;
    }
    Handle Get() const { return m_handle; }
    void Reset(Handle handle = nullptr)
    {
        if (m_handle != nullptr) {
            DeleteObject(m_handle);
        }
        m_handle = handle;
    }

private:
    Handle m_handle = nullptr;
};
using Font = GdiObject<HFONT>;
using Brush = GdiObject<HBRUSH>;

// An owned icon.
class OwnedIcon
{
public:
    OwnedIcon() = default;
    explicit OwnedIcon(HICON icon) : m_icon(icon) {}
    ~OwnedIcon() { Reset(); }
    OwnedIcon(const OwnedIcon&) = delete;
    OwnedIcon& operator=(const OwnedIcon&) = delete;
    HICON Get() const { return m_icon; }
    void Reset(HICON icon = nullptr)
    {
        if (m_icon != nullptr) {
            DestroyIcon(m_icon);
        }
        m_icon = icon;
    }

private:
    HICON m_icon = nullptr;
};

// The windows' face ("Tahoma", as the program's windows were laid out for) at `points` for
// `dpi`.
HFONT MakeFont(int points, int dpi, bool bold = false, const wchar_t* face = L"Tahoma");

// The program's grey brush, shared by every window class (a stock-like object: never freed).
HBRUSH ProgramGreyBrush();
// The program's icon from the executable's resources (id 1) at `size` pixels; the system's
// application icon where the running program carries none (test programs).
HICON ProgramIcon(int size);

// Creates a child control of a class the system knows ("STATIC", "BUTTON", "LISTBOX", …).
HWND MakeControl(HWND parent, const wchar_t* className, const std::string& text, DWORD style, int id, RECT place,
                 HFONT font, DWORD exStyle = 0);

// Runs messages until `window` is gone or `done` says so, with `owner` disabled meanwhile:
// the window is modal to it. Dialog keys (Tab, Enter, Escape) work inside `window`.
// A WM_QUIT that arrives meanwhile is posted again for the outer loop.
void RunModal(HWND window, HWND owner, const bool& done);

// Centres `window` on the work area of the screen it is on.
void CentreOnScreen(HWND window);

} // namespace calventa::ui::win32
