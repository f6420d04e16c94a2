#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "core/alarms.h"
#include "ui/win32/win32_support.h"
#include "ui/win32/window_base.h"

namespace calventa::ui::win32 {

// TAlarmForm: "ALARM!" over one red line per latched slot and a "Close" button, sized and
// placed by the alarm presenter, always on top. Control ids: kTitleId, kLineId + n, IDCANCEL.
class AlarmWindow final : public WindowBase
{
public:
    static constexpr int kTitleId = 1300;
    static constexpr int kLineId = 1310;
    static constexpr int kLabelCount = 32;

    explicit AlarmWindow(std::function<void()> closeClicked);

    // Fills and places the window and shows it, or hides it.
    void Render(const core::AlarmWindowContent& content, bool shown);
    // The labels go when the main window closes; later renders show no lines.
    void FreeAlarmLabels();
    // Texts of the lines shown now.
    std::vector<std::string> Lines() const;

private:
    void OnMessage(WndEvent& event) override;

    std::function<void()> m_closeClicked;
    std::vector<HWND> m_lines;
    HWND m_title = nullptr;
    HWND m_close = nullptr;
    int m_dpi = kDesignDpi;
    Font m_font;
    Font m_titleFont;
    bool m_freed = false;
};

} // namespace calventa::ui::win32
