#pragma once

#include <windows.h>

#include <array>
#include <functional>

#include "core/main_window_presenter.h"
#include "core/settings_block.h"
#include "ui/win32/win32_support.h"
#include "ui/win32/window_base.h"

namespace calventa::ui::win32 {

// TMainForm: three stacked panels of rows (name, value) laid out and filled from the
// main-window presenter. Child control ids: kNameId + slot and kValueId + slot, so that a
// row is found with GetDlgItem. Sizes are the presenter's, at 96 dpi, scaled to the window's.
class MainWindow final : public WindowBase
{
public:
    static constexpr int kNameId = 1100;
    static constexpr int kValueId = 1200;
    static constexpr int kPanelWidth = 155;
    static constexpr int kNameLeft = 28;
    static constexpr int kRowHeight = 16;
    // The presenter's heights include the program's own 17-pixel caption and 3-pixel border;
    // the system frame replaces them here.
    static constexpr int kDrawnCaption = 17;
    static constexpr int kDrawnBorder = 3;

    struct Events
    {
        std::function<void()> Closing;         // WM_CLOSE or the session's end: the program ends
        std::function<void()> MinimizeClicked; // the caption's minimize control
        std::function<void(POINT)> MenuRequested;
    };

    explicit MainWindow(Events events);

    // relayout: rows and panels move (BuildMainWindow); otherwise only the values change.
    void Render(const core::MainWindowPresenter& presenter, bool relayout);

    // Window modes: stays on top, or on the desktop (owned by "Progman", under the other
    // windows), or normal; toolWindow hides the taskbar button.
    void SetModes(bool onTop, bool onDesktop, bool toolWindow);
    // 255 is opaque: the window stops being layered.
    void SetOpacity(int alpha);
    int Opacity() const { return m_alpha; }
    bool OnTop() const { return m_onTop; }
    bool OnDesktop() const { return m_onDesktop; }
    bool ToolWindow() const { return m_toolWindow; }

    void MoveTo(int left, int top);
    POINT Position() const;
    SIZE OuterSize() const;
    // Whether a value row is painted red and bold.
    bool ValueRed(int slot) const;

    void ShowUp();
    void HideAway();

private:
    struct Row
    {
        HWND Name = nullptr;
        HWND Value = nullptr;
        bool Red = false;
        bool Stale = false;
        bool Placed = false;
    };

    void OnMessage(WndEvent& event) override;
    void Relayout();
    void Paint();
    void MakeFonts();

    Events m_events;
    core::MainWindowLayout m_layout;
    std::array<Row, core::kSlotCount> m_rows{};
    int m_dpi = kDesignDpi;
    Font m_font;
    Font m_bold;
    Font m_title;
    bool m_onTop = false;
    bool m_onDesktop = false;
    bool m_toolWindow = false;
    int m_alpha = 255;
};

} // namespace calventa::ui::win32
