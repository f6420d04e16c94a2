#include "ui/win32/history_window.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "core/history_export.h"

namespace calventa::ui::win32 {

using namespace view;

namespace {

constexpr const wchar_t* kWindowClass = L"CalventaHistory";
constexpr const wchar_t* kPlotClass = L"CalventaHistoryPlot";
constexpr const char* kWindowTitle = "Calventa History";
constexpr std::array<COLORREF, 10> kLineColors{
    RGB(0x1f, 0x77, 0xb4), RGB(0xd6, 0x27, 0x28), RGB(0x2c, 0xa0, 0x2c), RGB(0xff, 0x7f, 0x0e), RGB(0x94, 0x67, 0xbd),
    RGB(0x8c, 0x56, 0x4b), RGB(0xe3, 0x77, 0xc2), RGB(0x17, 0xbe, 0xcf), RGB(0x7f, 0x7f, 0x7f), RGB(0xbc, 0xbd, 0x22)};
constexpr int kMargin = 6;
constexpr int kSwatch = 10;
constexpr COLORREF kMaskColor = RGB(255, 0, 255);
constexpr int kBlankSwatch = static_cast<int>(kLineColors.size());
constexpr std::array<const char*, 4> kColumns{"Row", "Current", "Minimum", "Maximum"};
constexpr std::array<const char*, 3> kPlotNames{"TemperaturePlot", "FanPlot", "VoltagePlot"};

enum ControlId { kSpanId = 100, kExportId, kTableId, kResetId };

// A line colour faded towards white, for the minute bars behind the mean.
COLORREF Faded(COLORREF color)
{
    auto mix = [](int channel) { return static_cast<BYTE>(channel + (255 - channel) * 195 / 255); };
    return RGB(mix(GetRValue(color)), mix(GetGValue(color)), mix(GetBValue(color)));
}

void DrawText(HDC dc, const std::string& text, RECT area, UINT format)
{
    const std::wstring wide = Wide(text);
    DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &area, format | DT_NOPREFIX | DT_SINGLELINE);
}

int TextWidth(HDC dc, const std::string& text)
{
    const std::wstring wide = Wide(text);
    SIZE size{0, 0};
    GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
    return size.cx;
}

bool AnyReading(const core::HistoryPlot& plot)
{
    for (const core::HistoryLine& line : plot.Lines) {
        for (const core::HistoryPoint& point : line.Points) {
            if (!std::isnan(point.Avg)) {
                return true;
            }
        }
    }
    return false;
}

// Whether two plots need the same frame: title, legend and value axis.
bool SameFrame(const core::HistoryPlot& a, bool anyA, const core::HistoryPlot& b, bool anyB)
{
    if (a.Title != b.Title || a.Unit != b.Unit || a.Lines.size() != b.Lines.size() || !(a.Axis == b.Axis) ||
        anyA != anyB) {
        return false;
    }
    for (size_t i = 0; i < a.Lines.size(); ++i) {
        if (a.Lines[i].Caption != b.Lines[i].Caption) {
            return false;
        }
    }
    return true;
}

} // namespace

COLORREF HistoryLineColor(int index)
{
    return kLineColors[static_cast<size_t>(std::max(index, 0)) % kLineColors.size()];
}

// ---------------------------------------------------------------------------------------------
// HistoryPlotView

HistoryPlotView::HistoryPlotView(HINSTANCE instance, HWND parent)
{
    RegisterViewClass(instance, kPlotClass, &ViewProcedure<HistoryPlotView>, nullptr);
    m_window =
        CreateWindowExW(0, kPlotClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, parent, nullptr, instance, this);
    m_font = MessageFont(WindowDpi(m_window));
}

HistoryPlotView::~HistoryPlotView()
{
    if (m_window != nullptr) {
        SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
        DestroyWindow(m_window);
    }
}

void HistoryPlotView::SetPlot(const core::HistoryPlot& plot, const std::vector<core::HistoryTimeTick>& timeTicks,
                              int64_t from, int64_t to)
{
    const bool anyPoint = AnyReading(plot);
    if (!SameFrame(plot, anyPoint, m_plot, m_anyPoint) || to - from != m_to - m_from) {
        m_frameValid = false;
    }
    m_plot = plot;
    m_timeTicks = timeTicks;
    m_anyPoint = anyPoint;
    m_from = from;
    m_to = to;
    m_backValid = false;
    if (m_window != nullptr) {
        InvalidateRect(m_window, nullptr, FALSE);
    }
}

void HistoryPlotView::DrawFrame(HDC dc, int width, int height)
{
    ++m_frameDraws;
    const Selected font(dc, m_font.Get());
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const int lineHeight = metrics.tmHeight;
    const RECT all{0, 0, width, height};
    FillRect(dc, &all, GetSysColorBrush(COLOR_WINDOW));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));

    int legendWidth = 0;
    for (const core::HistoryLine& line : m_plot.Lines) {
        legendWidth = std::max(legendWidth, TextWidth(dc, line.Caption));
    }
    legendWidth += kSwatch + 3 * kMargin;
    int labelWidth = 0;
    for (const core::HistoryTick& tick : m_plot.Axis.Ticks) {
        labelWidth = std::max(labelWidth, TextWidth(dc, tick.Label));
    }
    labelWidth += kMargin;
    m_area.left = kMargin + labelWidth;
    m_area.top = kMargin + lineHeight + 4;
    m_area.right = m_area.left + std::max(10, width - labelWidth - legendWidth - 2 * kMargin);
    m_area.bottom = m_area.top + std::max(10, height - 2 * lineHeight - 3 * kMargin - 4);

    DrawText(dc, core::PlotHeading(m_plot), {kMargin, kMargin, width - kMargin, kMargin + lineHeight}, DT_LEFT);

    const core::HistoryAxis& axis = m_plot.Axis;
    const double range = std::max(1e-9, axis.High - axis.Low);
    const Pen grid(CreatePen(PS_DOT, 1, GetSysColor(COLOR_BTNSHADOW)));
    for (const core::HistoryTick& tick : axis.Ticks) {
        const int y = m_area.bottom -
                      static_cast<int>(std::lround((tick.Value - axis.Low) / range * (m_area.bottom - m_area.top)));
        {
            const Selected pen(dc, grid.Get());
            MoveToEx(dc, m_area.left, y, nullptr);
            LineTo(dc, m_area.right, y);
        }
        DrawText(dc, tick.Label, {kMargin, y - lineHeight / 2, m_area.left - 4, y + lineHeight - lineHeight / 2},
                 DT_RIGHT | DT_VCENTER);
    }
    {
        const Pen border(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_WINDOWTEXT)));
        const Selected pen(dc, border.Get());
        const Selected hollow(dc, GetStockObject(NULL_BRUSH));
        Rectangle(dc, m_area.left, m_area.top, m_area.right + 1, m_area.bottom + 1);
    }
    if (!m_anyPoint) {
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
        DrawText(dc, core::kNoReadingsText, m_area, DT_CENTER | DT_VCENTER);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    }

    int y = m_area.top;
    const int x = m_area.right + 2 * kMargin;
    for (size_t i = 0; i < m_plot.Lines.size(); ++i) {
        const Brush swatch(CreateSolidBrush(HistoryLineColor(static_cast<int>(i))));
        const RECT box{x, y + (lineHeight - kSwatch) / 2, x + kSwatch, y + (lineHeight - kSwatch) / 2 + kSwatch};
        FillRect(dc, &box, swatch.Get());
        DrawText(dc, m_plot.Lines[i].Caption, {x + kSwatch + kMargin, y, width, y + lineHeight}, DT_LEFT);
        y += lineHeight + 2;
    }
}

void HistoryPlotView::DrawCurves(HDC dc)
{
    ++m_curveDraws;
    const Selected font(dc, m_font.Get());
    SetBkMode(dc, TRANSPARENT);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const double span = std::max<double>(1.0, static_cast<double>(m_to - m_from));
    const double width = m_area.right - m_area.left;
    const double height = m_area.bottom - m_area.top;
    const double low = m_plot.Axis.Low;
    const double range = std::max(1e-9, m_plot.Axis.High - low);
    auto xOf = [&](double time) { return m_area.left + static_cast<int>(std::lround((time - m_from) / span * width)); };
    auto yOf = [&](double value) {
        const double y = m_area.bottom - (value - low) / range * height;
        return static_cast<int>(std::lround(std::clamp(y, -1e6, 1e6)));
    };

    // The time grid moves with every pass, so it is drawn here rather than in the frame.
    const Pen grid(CreatePen(PS_DOT, 1, GetSysColor(COLOR_BTNSHADOW)));
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    for (const core::HistoryTimeTick& tick : m_timeTicks) {
        const int x = xOf(static_cast<double>(tick.Time));
        if (x < m_area.left || x > m_area.right) {
            continue;
        }
        {
            const Selected pen(dc, grid.Get());
            MoveToEx(dc, x, m_area.top + 1, nullptr);
            LineTo(dc, x, m_area.bottom);
        }
        // A mark's text only where it fits whole under the plot, clear of the value marks.
        const int half = TextWidth(dc, tick.Label) / 2 + 1;
        if (x - half >= m_area.left && x + half <= m_frameSize.cx) {
            DrawText(dc, tick.Label, {x - half, m_area.bottom + 2, x + half, m_area.bottom + 2 + metrics.tmHeight},
                     DT_CENTER | DT_TOP);
        }
    }

    const int saved = SaveDC(dc);
    IntersectClipRect(dc, m_area.left + 1, m_area.top + 1, m_area.right, m_area.bottom);
    for (size_t i = 0; i < m_plot.Lines.size(); ++i) {
        const core::HistoryLine& line = m_plot.Lines[i];
        const COLORREF color = HistoryLineColor(static_cast<int>(i));
        if (line.HasLimits) {
            const Pen dashed(CreatePen(PS_DASH, 1, color));
            const Selected pen(dc, dashed.Get());
            for (const float limit : {line.LowLimit, line.HighLimit}) {
                MoveToEx(dc, m_area.left, yOf(limit), nullptr);
                LineTo(dc, m_area.right, yOf(limit));
            }
        }
        // Minute samples: each minute's range as a faint bar behind its mean.
        {
            const Pen band(CreatePen(PS_SOLID, 1, Faded(color)));
            const Selected pen(dc, band.Get());
            for (const core::HistoryPoint& point : line.Points) {
                if (!std::isnan(point.Avg) && point.Max > point.Min) {
                    const int x = xOf(static_cast<double>(point.Time));
                    MoveToEx(dc, x, yOf(point.Min), nullptr);
                    LineTo(dc, x, yOf(point.Max));
                }
            }
        }
        const Pen curve(CreatePen(PS_SOLID, 2, color));
        const Selected pen(dc, curve.Get());
        const Brush dot(CreateSolidBrush(color));
        const Selected brush(dc, dot.Get());
        std::vector<POINT> run;
        auto flush = [&] {
            if (run.size() == 1) {
                Ellipse(dc, run[0].x - 2, run[0].y - 2, run[0].x + 2, run[0].y + 2); // a run of one still shows
            } else if (run.size() > 1) {
                Polyline(dc, run.data(), static_cast<int>(run.size()));
            }
            run.clear();
        };
        for (const core::HistoryPoint& point : line.Points) {
            if (std::isnan(point.Avg)) {
                flush();
                continue;
            }
            run.push_back({xOf(static_cast<double>(point.Time)), yOf(point.Avg)});
        }
        flush();
    }
    RestoreDC(dc, saved);
}

void HistoryPlotView::Paint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_window, &paint);
    RECT client;
    GetClientRect(m_window, &client);
    const int width = client.right;
    const int height = client.bottom;
    if (width > 0 && height > 0) {
        HDC memory = CreateCompatibleDC(dc);
        if (!m_frameValid || m_frameSize.cx != width || m_frameSize.cy != height || !m_frame) {
            m_frame.Reset(CreateCompatibleBitmap(dc, width, height));
            m_back.Reset(CreateCompatibleBitmap(dc, width, height));
            const Selected chosen(memory, m_frame.Get());
            DrawFrame(memory, width, height);
            m_frameSize = {width, height};
            m_frameValid = true;
            m_backValid = false;
        }
        if (!m_backValid) {
            HDC frame = CreateCompatibleDC(dc);
            {
                const Selected back(memory, m_back.Get());
                const Selected cached(frame, m_frame.Get());
                BitBlt(memory, 0, 0, width, height, frame, 0, 0, SRCCOPY);
                DrawCurves(memory);
            }
            DeleteDC(frame);
            m_backValid = true;
        }
        {
            const Selected back(memory, m_back.Get());
            BitBlt(dc, 0, 0, width, height, memory, 0, 0, SRCCOPY);
        }
        DeleteDC(memory);
    }
    EndPaint(m_window, &paint);
}

LRESULT HistoryPlotView::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        Paint();
        return 0;
    case WM_ERASEBKGND:
        return 1; // the whole area is painted from the bitmap
    case WM_SIZE:
        m_frameValid = false;
        InvalidateRect(m_window, nullptr, FALSE);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(m_window, message, wParam, lParam);
}

// ---------------------------------------------------------------------------------------------
// HistoryWindow

ExportPathChooser SystemExportPathChooser()
{
    return [](HWND owner) -> std::optional<std::string> {
        std::vector<wchar_t> file(32768, L'\0');
        const std::wstring initial = Wide(core::kExportDefaultName);
        std::copy(initial.begin(), initial.end(), file.begin());
        const std::wstring title = Wide(core::kExportDialogTitle);
        static constexpr wchar_t kFilter[] = L"CSV files (*.csv)\0*.csv\0All files (*.*)\0*.*\0";
        OPENFILENAMEW dialog{};
        dialog.lStructSize = sizeof dialog;
        dialog.hwndOwner = owner;
        dialog.lpstrFilter = kFilter;
        dialog.lpstrFile = file.data();
        dialog.nMaxFile = static_cast<DWORD>(file.size());
        dialog.lpstrTitle = title.c_str();
        dialog.lpstrDefExt = L"csv";
        dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_EXPLORER;
        if (!GetSaveFileNameW(&dialog)) {
            return std::nullopt;
        }
        return Utf8(file.data());
    };
}

HistoryWindow::HistoryWindow(HINSTANCE instance, HWND owner, ExportPathChooser pathChooser)
    : m_pathChooser(std::move(pathChooser))
{
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    RegisterViewClass(instance, kWindowClass, &ViewProcedure<HistoryWindow>,
                      reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1)));
    m_window = CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, Wide(kWindowTitle).c_str(),
                               WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT, 760, 720, owner,
                               nullptr, instance, this);
    if (m_window == nullptr) {
        return;
    }
    m_dpi = WindowDpi(m_window);
    m_font = MessageFont(m_dpi);
    SetWindowPos(m_window, nullptr, 0, 0, Scaled(760, m_dpi), Scaled(720, m_dpi),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    m_spanLabel = MakeControl(m_window, L"STATIC", L"Span:", SS_LEFT, 0, 0, 10, 10, 0, m_font.Get());
    m_span = MakeControl(m_window, WC_COMBOBOXW, std::wstring(), CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0, 0, 10,
                         10, kSpanId, m_font.Get());
    for (const core::HistorySpan span : core::kHistorySpans) {
        SendMessageW(m_span, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(core::SpanText(span)).c_str()));
    }
    SendMessageW(m_span, CB_SETCURSEL, 0, 0);
    m_export = MakeControl(m_window, L"BUTTON", L"Export CSV..", BS_PUSHBUTTON | WS_TABSTOP, 0, 0, 10, 10, kExportId,
                           m_font.Get());
    for (auto& plot : m_plots) {
        plot = std::make_unique<HistoryPlotView>(instance, m_window);
    }
    m_table =
        MakeControl(m_window, WC_LISTVIEWW, std::wstring(), LVS_REPORT | LVS_NOSORTHEADER | LVS_SINGLESEL | WS_TABSTOP,
                    0, 0, 10, 10, kTableId, m_font.Get(), WS_EX_CLIENTEDGE);
    ListView_SetExtendedListViewStyle(m_table, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    for (size_t c = 0; c < kColumns.size(); ++c) {
        const std::wstring text = Wide(kColumns[c]);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = c == 0 ? LVCFMT_LEFT : LVCFMT_RIGHT;
        column.cx = Scaled(150, m_dpi);
        column.pszText = const_cast<wchar_t*>(text.c_str());
        SendMessageW(m_table, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
    }
    // A swatch per line colour beside each row's caption, and a blank one.
    m_swatches = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, kBlankSwatch + 1, 0);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    for (int i = 0; i <= kBlankSwatch; ++i) {
        Bitmap picture(CreateCompatibleBitmap(screen, 16, 16));
        {
            const Selected chosen(dc, picture.Get());
            const Brush mask(CreateSolidBrush(kMaskColor));
            const RECT all{0, 0, 16, 16};
            FillRect(dc, &all, mask.Get());
            if (i < kBlankSwatch) {
                const Brush swatch(CreateSolidBrush(HistoryLineColor(i)));
                const RECT box{3, 3, 3 + kSwatch, 3 + kSwatch};
                FillRect(dc, &box, swatch.Get());
            }
        }
        ImageList_AddMasked(m_swatches, picture.Get(), kMaskColor);
    }
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    ListView_SetImageList(m_table, m_swatches, LVSIL_SMALL);
    m_reset =
        MakeControl(m_window, L"BUTTON", L"Reset", BS_PUSHBUTTON | WS_TABSTOP, 0, 0, 10, 10, kResetId, m_font.Get());
    Layout();
}

HistoryWindow::~HistoryWindow()
{
    m_plots = {};
    if (m_window != nullptr) {
        SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
        DestroyWindow(m_window);
    }
    if (m_swatches != nullptr) {
        ImageList_Destroy(m_swatches);
    }
}

HWND HistoryWindow::Control(const std::string& name) const
{
    static const std::map<std::string, int> kPanels{{"TemperaturePlot", 0}, {"FanPlot", 1}, {"VoltagePlot", 2}};
    if (const auto panel = kPanels.find(name); panel != kPanels.end()) {
        return m_plots[static_cast<size_t>(panel->second)]->Handle();
    }
    if (name == "SpanBox") {
        return m_span;
    }
    if (name == "ValueTable") {
        return m_table;
    }
    if (name == "ResetButton") {
        return m_reset;
    }
    if (name == "ExportButton") {
        return m_export;
    }
    return nullptr;
}

void HistoryWindow::Layout()
{
    if (m_window == nullptr) {
        return;
    }
    RECT client;
    GetClientRect(m_window, &client);
    const int margin = Scaled(kMargin, m_dpi);
    const int rowHeight = Scaled(24, m_dpi);
    const int width = client.right;
    const int labelWidth = TextExtent(m_spanLabel, m_font.Get(), L"Span:").cx + 2;
    MoveWindow(m_spanLabel, margin, margin + Scaled(4, m_dpi), labelWidth, rowHeight - Scaled(4, m_dpi), TRUE);
    MoveWindow(m_span, margin + labelWidth + Scaled(4, m_dpi), margin, Scaled(90, m_dpi), Scaled(120, m_dpi), TRUE);
    const int buttonWidth = Scaled(100, m_dpi);
    MoveWindow(m_export, std::max(margin, width - margin - buttonWidth), margin, buttonWidth, rowHeight, TRUE);

    const int top = margin + rowHeight + margin;
    const int bottom = client.bottom - margin - rowHeight - margin;
    int shown = 0;
    for (const auto& plot : m_plots) {
        shown += ShownInParent(plot->Handle()) ? 1 : 0;
    }
    // Each shown plot takes three parts of the height, the table two.
    const int parts = 3 * shown + 2;
    const int available = std::max(0, bottom - top - margin * shown);
    int y = top;
    for (const auto& plot : m_plots) {
        if (ShownInParent(plot->Handle())) {
            const int height = available * 3 / parts;
            MoveWindow(plot->Handle(), margin, y, std::max(0, width - 2 * margin), height, TRUE);
            y += height + margin;
        }
    }
    MoveWindow(m_table, margin, y, std::max(0, width - 2 * margin), std::max(0, bottom - y), TRUE);
    const int columnWidth = std::max(Scaled(60, m_dpi), (width - 2 * margin - Scaled(24, m_dpi)) / 4);
    for (int c = 0; c < static_cast<int>(kColumns.size()); ++c) {
        ListView_SetColumnWidth(m_table, c, columnWidth);
    }
    const int resetWidth = Scaled(85, m_dpi);
    MoveWindow(m_reset, std::max(margin, width - margin - resetWidth), bottom + margin, resetWidth, rowHeight, TRUE);
}

void HistoryWindow::Render(const core::HistoryContent& content)
{
    if (m_window == nullptr) {
        return;
    }
    std::map<int, int> colors; // slot: line colour index
    bool relayout = false;
    for (size_t i = 0; i < m_plots.size(); ++i) {
        const core::HistoryPlot& plot = content.Plots[i];
        m_plots[i]->SetPlot(plot, content.TimeTicks, content.From, content.To);
        const bool shown = !plot.Lines.empty();
        if (ShownInParent(m_plots[i]->Handle()) != shown) {
            ShowWindow(m_plots[i]->Handle(), shown ? SW_SHOWNA : SW_HIDE);
            relayout = true;
        }
        for (size_t k = 0; k < plot.Lines.size(); ++k) {
            colors[plot.Lines[k].Slot] = static_cast<int>(k % kLineColors.size());
        }
    }
    if (relayout) {
        Layout();
    }

    SendMessageW(m_table, WM_SETREDRAW, FALSE, 0);
    const auto rows = static_cast<int>(content.Table.size());
    while (ListView_GetItemCount(m_table) > rows) {
        ListView_DeleteItem(m_table, ListView_GetItemCount(m_table) - 1);
    }
    for (int r = 0; r < rows; ++r) {
        const core::HistoryTableRow& row = content.Table[static_cast<size_t>(r)];
        const std::array<std::string, 4> cells{row.Caption, row.Current, row.Min, row.Max};
        const auto color = colors.find(row.Slot);
        std::wstring caption = Wide(cells[0]);
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = r;
        item.pszText = caption.data();
        item.iImage = color == colors.end() ? kBlankSwatch : color->second;
        if (r >= ListView_GetItemCount(m_table)) {
            SendMessageW(m_table, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        } else {
            SendMessageW(m_table, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        }
        for (int c = 1; c < 4; ++c) {
            std::wstring text = Wide(cells[static_cast<size_t>(c)]);
            LVITEMW cell{};
            cell.iSubItem = c;
            cell.pszText = text.data();
            SendMessageW(m_table, LVM_SETITEMTEXTW, r, reinterpret_cast<LPARAM>(&cell));
        }
    }
    SendMessageW(m_table, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(m_table, nullptr, FALSE);
}

core::HistorySpan HistoryWindow::Span() const
{
    const auto index = static_cast<int>(SendMessageW(m_span, CB_GETCURSEL, 0, 0));
    const int clamped = std::clamp(index, 0, static_cast<int>(core::kHistorySpans.size()) - 1);
    return core::kHistorySpans[static_cast<size_t>(clamped)];
}

void HistoryWindow::Show()
{
    ShowInFront(m_window);
}

void HistoryWindow::Hide()
{
    HideWindow(m_window);
}

bool HistoryWindow::Visible() const
{
    return WindowShown(m_window);
}

std::optional<std::string> HistoryWindow::ChooseExportPath()
{
    if (!m_pathChooser) {
        return std::nullopt;
    }
    std::optional<std::string> path = m_pathChooser(m_window);
    if (path && path->empty()) {
        return std::nullopt;
    }
    return path;
}

void HistoryWindow::ShowExportError(const std::string& message)
{
    if (ErrorShower) {
        ErrorShower(m_window, message);
        return;
    }
    MessageBoxW(m_window, Wide(message).c_str(), Wide(kWindowTitle).c_str(), MB_OK | MB_ICONWARNING);
}

LRESULT HistoryWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        if (id == kSpanId && code == CBN_SELCHANGE && SpanChanged) {
            SpanChanged();
        } else if (id == kResetId && code == BN_CLICKED && ResetClicked) {
            ResetClicked();
        } else if (id == kExportId && code == BN_CLICKED && ExportClicked) {
            ExportClicked();
        }
        return 0;
    }
    case WM_SIZE:
        Layout();
        return 0;
    case WM_GETMINMAXINFO: {
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        limits->ptMinTrackSize = {Scaled(360, m_dpi), Scaled(360, m_dpi)};
        return 0;
    }
    case WM_CLOSE:
        Hide(); // kept for the next time it is opened
        return 0;
    default:
        break;
    }
    return DefWindowProcW(m_window, message, wParam, lParam);
}

} // namespace calventa::ui::win32
