#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/history_presenter.h"
#include "ui/win32/view_support.h"

namespace calventa::ui::win32 {

// The colour of the n-th row of a plot, also beside its caption in the table.
COLORREF HistoryLineColor(int index);

// One panel's rows as curves over the span, drawn with GDI into a cached bitmap: the frame
// (grid, value labels, title, legend) is drawn again only when the size, the span or the plot's
// value axis change; a new pass only draws the time marks, the limits and the curves over the
// cached frame. Both axes come from the presenter: the plot's Axis and the span's time marks.
class HistoryPlotView
{
public:
    HistoryPlotView(HINSTANCE instance, HWND parent);
    ~HistoryPlotView();
    HistoryPlotView(const HistoryPlotView&) = delete;
    HistoryPlotView& operator=(const HistoryPlotView&) = delete;

    HWND Handle() const { return m_window; }
    void SetPlot(const core::HistoryPlot& plot, const std::vector<core::HistoryTimeTick>& timeTicks, int64_t from,
                 int64_t to);
    const core::HistoryPlot& Plot() const { return m_plot; }
    const std::vector<core::HistoryTimeTick>& TimeTicks() const { return m_timeTicks; }
    // How often the whole frame and the curves were drawn, for tests and measurements.
    int FrameDraws() const { return m_frameDraws; }
    int CurveDraws() const { return m_curveDraws; }

private:
    friend LRESULT CALLBACK view::ViewProcedure<HistoryPlotView>(HWND, UINT, WPARAM, LPARAM);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Paint();
    void DrawFrame(HDC dc, int width, int height);
    void DrawCurves(HDC dc);

    HWND m_window = nullptr;
    core::HistoryPlot m_plot;
    std::vector<core::HistoryTimeTick> m_timeTicks;
    bool m_anyPoint = false; // false: the plot says kNoReadingsText
    int64_t m_from = 0;
    int64_t m_to = 0;
    // The frame as last drawn, and what it was drawn for.
    view::Bitmap m_frame;
    view::Bitmap m_back;
    SIZE m_frameSize{0, 0};
    bool m_frameValid = false;
    bool m_backValid = false;
    RECT m_area{0, 0, 0, 0}; // the plot's inner area in the frame
    view::Font m_font;
    int m_frameDraws = 0;
    int m_curveDraws = 0;
};

// Asks for the file "Export CSV.." writes; nullopt when the user cancels.
using ExportPathChooser = std::function<std::optional<std::string>(HWND owner)>;
ExportPathChooser SystemExportPathChooser(); // GetSaveFileNameW

// The history window: a span choice, a plot per panel of the main window, a table of each
// row's current value and extremes with "Reset", and "Export CSV..". It only renders what it
// is handed. Controls by name (see Control): "SpanBox", "TemperaturePlot", "FanPlot",
// "VoltagePlot", "ValueTable", "ResetButton", "ExportButton".
class HistoryWindow
{
public:
    explicit HistoryWindow(HINSTANCE instance, HWND owner = nullptr,
                           ExportPathChooser pathChooser = SystemExportPathChooser());
    ~HistoryWindow();
    HistoryWindow(const HistoryWindow&) = delete;
    HistoryWindow& operator=(const HistoryWindow&) = delete;

    HWND Handle() const { return m_window; }
    void Render(const core::HistoryContent& content);
    core::HistorySpan Span() const;
    void Show();
    void Hide();
    bool Visible() const;
    // The file for "Export CSV..", asked of the user over this window.
    std::optional<std::string> ChooseExportPath();
    // A save that failed: a message box over the window.
    void ShowExportError(const std::string& message);
    HWND Control(const std::string& name) const;
    const HistoryPlotView& PlotView(size_t panel) const { return *m_plots[panel]; }

    std::function<void()> SpanChanged;
    std::function<void()> ResetClicked;
    std::function<void()> ExportClicked;
    // How an export error is shown; a message box unless replaced (tests).
    std::function<void(HWND owner, const std::string& message)> ErrorShower;

private:
    friend LRESULT CALLBACK view::ViewProcedure<HistoryWindow>(HWND, UINT, WPARAM, LPARAM);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Layout();

    HWND m_window = nullptr;
    int m_dpi = 96;
    view::Font m_font;
    ExportPathChooser m_pathChooser;
    HWND m_spanLabel = nullptr;
    HWND m_span = nullptr;
    HWND m_export = nullptr;
    HWND m_table = nullptr;
    HWND m_reset = nullptr;
    HIMAGELIST m_swatches = nullptr;
    std::array<std::unique_ptr<HistoryPlotView>, 3> m_plots;
};

} // namespace calventa::ui::win32
