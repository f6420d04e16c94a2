#pragma once

#include <array>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/options_layout.h"
#include "core/options_presenter.h"
#include "platform/system_facts.h"
#include "ui/win32/view_support.h"

namespace calventa::ui::win32 {

// Opens a colour dialog on `initial` (0x00BBGGRR) over `owner`; nullopt when the user cancels it.
using ColorChooser = std::function<std::optional<COLORREF>(COLORREF initial, HWND owner)>;
// ChooseColorW, keeping the user's custom colours for the chooser's life.
ColorChooser SystemColorChooser();

// TOptionsForm in native controls: the tree, the three overlapping pages and the three
// buttons, all rendered from the options presenter after every call; user actions go to the
// presenter and the buttons to the callbacks. Made once, then only shown and hidden.
//
// Controls are named as in the Qt view ("OptionsTree", "SensorEnabled", "MinField", "OkButton",
// …; see Control); a field's up/down control is its name with "Spin" for "Field" ("MinSpin").
class OptionsDialog
{
public:
    OptionsDialog(HINSTANCE instance, HWND owner, core::OptionsPresenter& presenter, platform::PlatformFamily family,
                  ColorChooser chooser = SystemColorChooser());
    ~OptionsDialog();
    OptionsDialog(const OptionsDialog&) = delete;
    OptionsDialog& operator=(const OptionsDialog&) = delete;

    HWND Handle() const { return m_window; }
    // Renders every control from the presenter.
    void Render();
    void Show();
    void Hide();
    bool Visible() const;
    // Tab, arrow keys, Enter (OK) and Escape (hides) for this window; call from the message
    // loop before TranslateMessage. True when the message was used.
    bool HandleDialogMessage(MSG& message);

    // The colour the colour dialog opens with next: its own last confirmed one (black at first).
    COLORREF LastChosenColor() const { return m_lastColor; }
    // A control by its name; nullptr for an unknown name.
    HWND Control(const std::string& name) const;

    std::function<void()> OkClicked;
    std::function<void()> CancelClicked;
    std::function<void()> ResetClicked;

private:
    friend LRESULT CALLBACK view::ViewProcedure<OptionsDialog>(HWND, UINT, WPARAM, LPARAM);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Build(HINSTANCE instance, platform::PlatformFamily family);
    void BuildTree();
    void BuildSensorPage(HINSTANCE instance);
    void BuildGeneralPage(HINSTANCE instance);
    HWND Add(const std::string& name, HWND control);
    HWND Frame(HWND page, const std::string& name, const char* title, core::options_layout::Rect at);
    HWND Label(HWND page, const char* text, int x, int y);
    HWND Check(HWND page, const std::string& name, const std::string& text, int x, int y, bool radio);
    HWND List(HWND page, const std::string& name, core::options_layout::Rect at, int visibleEntries);
    HWND SpinField(HWND page, const std::string& name, core::options_layout::Rect at,
                   std::function<void(core::OptionsPresenter&, bool)> stepped);
    void RenderSensorPage();
    void RenderGeneralPage();
    void Act(const std::function<void(core::OptionsPresenter&)>& action);
    void Command(int id, int code, HWND control);
    LRESULT Notify(const NMHDR& header);
    void ChooseTrayColor();
    void DrawSwatch(const DRAWITEMSTRUCT& item);
    HBRUSH ControlColor(HDC dc, HWND control);

    core::OptionsPresenter& m_presenter;
    ColorChooser m_chooser;
    COLORREF m_lastColor = RGB(0, 0, 0);
    HWND m_window = nullptr;
    int m_dpi = 96;
    bool m_rendering = false;
    view::Font m_font;
    view::Font m_boldFont;
    view::Brush m_dialogBrush;
    view::Brush m_fieldBrush;
    view::Brush m_listBrush;
    COLORREF m_listBrushColor = 0;
    HIMAGELIST m_treeIcons = nullptr;
    std::array<view::Icon, 2> m_buttonPictures; // OK, Cancel
    std::map<std::string, HWND> m_controls;
    std::map<int, std::function<void(int code, HWND control)>> m_commands;
    std::map<HWND, std::function<void(core::OptionsPresenter&, bool)>> m_spins;
    std::vector<HTREEITEM> m_items;
    int m_nextId = 1000;

    HWND m_tree = nullptr;
    HWND m_generalPage = nullptr;
    HWND m_summaryPage = nullptr;
    HWND m_sensorPage = nullptr;
    std::vector<HWND> m_correctionControls;
    std::vector<HWND> m_fanControls;
    std::vector<HWND> m_styleControls;
};

} // namespace calventa::ui::win32
