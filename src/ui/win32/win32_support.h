#pragma once

// What the desktop program's own windows (main window, tray, alarm, About, notices, service
// progress) add to the views' shared layer (view_support.h): the program's colours and
// icon, texts set only when they change, and a modal loop.
#include "ui/win32/view_support.h"

#include <string>

namespace calventa::ui::win32 {

using view::Brush;
using view::Font;
using view::GdiObject;
using view::Scaled;
using view::Utf8;
using view::Wide;
using OwnedIcon = view::Icon;

// The program's grey (0x00CBCBCB) and the alarm red.
inline constexpr COLORREF kProgramGrey = RGB(0xCB, 0xCB, 0xCB);
inline constexpr COLORREF kAlarmRed = RGB(0xFF, 0x00, 0x00);
inline constexpr int kDesignDpi = 96;

void SetText(HWND window, const std::string& text);
inline std::string TextOf(HWND window)
{
    return view::WindowTextUtf8(window);
}
inline int DpiOf(HWND window)
{
    return view::WindowDpi(window);
}

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
