#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/win32/win32_support.h"
#include "ui/win32/window_base.h"

namespace calventa::ui::win32 {

// TSvcForm: the progress lines of "Install Service" / "Uninstall Service" in a list box, a
// "Close" button, and a timer that closes the window once started. Modeless; the caller
// steps the work and renders its lines here. Control ids: kListId, IDCANCEL.
class ServiceProgressWindow final : public WindowBase
{
public:
    static constexpr int kListId = 1400;

    ServiceProgressWindow();

    void SetLines(const std::vector<std::string>& lines);
    std::vector<std::string> Lines() const;
    // Shows the window in the centre of the desktop.
    void ShowCentred();
    // Hides the window after `ms` unless StopCloseTimer comes first.
    void CloseLater(int ms);
    void StopCloseTimer();
    bool CloseTimerRunning() const { return m_closeTimerRunning; }

private:
    void OnMessage(WndEvent& event) override;

    HWND m_list = nullptr;
    int m_dpi = kDesignDpi;
    Font m_font;
    bool m_closeTimerRunning = false;
};

} // namespace calventa::ui::win32
