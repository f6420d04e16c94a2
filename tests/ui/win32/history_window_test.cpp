#include "ui/win32/history_window.h"

#include <gtest/gtest.h>

#include "core/history_export.h"
#include "platform/sim/sim_chip.h"
#include "win32_view_support.h"

namespace calventa::win32test {
namespace {

using ui::win32::HistoryWindow;

// The history window on the demo board after some passes on its virtual clock, wired as the
// desktop program wires it.
class Win32HistoryWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CALVENTA_NEED_DISPLAY();
        demo = std::make_unique<DemoMonitor>();
        window =
            std::make_unique<HistoryWindow>(GetModuleHandleW(nullptr), nullptr, [this](HWND) { return exportPath; });
        window->SpanChanged = [this] { RenderNow(); };
        window->ResetClicked = [this] {
            demo->monitor->History().ResetStats();
            RenderNow();
        };
        window->ExportClicked = [this] {
            if (const std::optional<std::string> path = window->ChooseExportPath()) {
                if (auto error = core::ExportHistory(demo->monitor->History(), demo->monitor->State(),
                                                     demo->monitor->MainWindow(), window->Span(), demo->files, *path)) {
                    window->ShowExportError(*error);
                }
            }
        };
        window->ErrorShower = [this](HWND, const std::string& message) { errors.push_back(message); };
        SetWindowPos(window->Handle(), nullptr, 0, 0, 800, 700, SWP_NOZORDER | SWP_NOMOVE);
        window->Show();
    }
    // Passes every sensor interval, the Cpu temperature at `cpu`.
    void Passes(int count, uint8_t cpu = 45)
    {
        const int intervalMs = demo->monitor->State().Settings.SensorInterval * 1000;
        for (int i = 0; i < count; ++i) {
            demo->sim->AdvanceMs(static_cast<uint64_t>(intervalMs));
            demo->sim->IsaChip()->Poke(0x50, cpu, 1);
            if (sim::SimChip* lm75 = demo->sim->SmbusChip(0x48)) {
                lm75->Poke(0x00, cpu);
            }
            demo->monitor->UpdatePass();
        }
    }
    core::HistoryContent Content()
    {
        return core::BuildHistoryContent(demo->monitor->History(), demo->monitor->State(), demo->monitor->MainWindow(),
                                         window->Span());
    }
    void RenderNow()
    {
        window->Render(Content());
        UpdateWindow(window->Handle());
        for (size_t i = 0; i < 3; ++i) {
            UpdateWindow(window->PlotView(i).Handle());
        }
        Pump();
    }
    std::string Cell(int row, int column)
    {
        wchar_t buffer[128] = {};
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = buffer;
        item.cchTextMax = 128;
        SendMessageW(window->Control("ValueTable"), LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
        return ui::win32::view::Utf8(buffer);
    }

    std::unique_ptr<DemoMonitor> demo;
    std::unique_ptr<HistoryWindow> window;
    std::optional<std::string> exportPath;
    std::vector<std::string> errors;
};

TEST_F(Win32HistoryWindow, PlotsAndTableShowWhatThePresenterSays)
{
    Passes(20);
    RenderNow();
    EXPECT_EQ(Text(window->Handle()), "Calventa History");
    const core::HistoryContent content = Content();
    const auto rows = static_cast<int>(content.Table.size());
    ASSERT_GT(rows, 3);
    EXPECT_EQ(ListView_GetItemCount(window->Control("ValueTable")), rows);
    for (int r = 0; r < rows; ++r) {
        const core::HistoryTableRow& row = content.Table[static_cast<size_t>(r)];
        EXPECT_EQ(Cell(r, 0), row.Caption);
        EXPECT_EQ(Cell(r, 1), row.Current);
        EXPECT_EQ(Cell(r, 2), row.Min);
        EXPECT_EQ(Cell(r, 3), row.Max);
    }
    const std::array<const char*, 3> names{"TemperaturePlot", "FanPlot", "VoltagePlot"};
    for (size_t i = 0; i < 3; ++i) {
        const core::HistoryPlot& plot = content.Plots[i];
        EXPECT_EQ(Shown(window->Control(names[i])), !plot.Lines.empty()) << names[i];
        const ui::win32::HistoryPlotView& view = window->PlotView(i);
        ASSERT_EQ(view.Plot().Lines.size(), plot.Lines.size());
        for (size_t k = 0; k < plot.Lines.size(); ++k) {
            EXPECT_EQ(view.Plot().Lines[k].Caption, plot.Lines[k].Caption);
            EXPECT_EQ(view.Plot().Lines[k].Points.size(), plot.Lines[k].Points.size());
        }
        // The view draws the presenter's axes; it has none of its own.
        EXPECT_EQ(view.Plot().Axis, plot.Axis) << names[i];
        EXPECT_EQ(view.TimeTicks(), content.TimeTicks) << names[i];
    }
    EXPECT_FALSE(content.TimeTicks.empty());
    EXPECT_EQ(ui::win32::view::WindowTextUtf8(window->Control("SpanBox")), "10 min");
}

TEST_F(Win32HistoryWindow, ANewPassRedrawsOnlyTheCurvesAResizeOrSpanChangeTheWholePlot)
{
    Passes(10);
    RenderNow();
    const ui::win32::HistoryPlotView& temperatures = window->PlotView(0);
    const int frames = temperatures.FrameDraws();
    const int curves = temperatures.CurveDraws();
    ASSERT_GE(frames, 1);

    Passes(1); // same values: same axes
    RenderNow();
    EXPECT_EQ(temperatures.FrameDraws(), frames);
    EXPECT_EQ(temperatures.CurveDraws(), curves + 1);

    // A reading far above the others widens the value axis: its marks are in the frame.
    const core::HistoryAxis before = temperatures.Plot().Axis;
    Passes(1, 95);
    RenderNow();
    ASSERT_NE(temperatures.Plot().Axis, before);
    EXPECT_EQ(temperatures.FrameDraws(), frames + 1);
    EXPECT_EQ(temperatures.CurveDraws(), curves + 2);

    // An expose without new content only copies the cached picture.
    InvalidateRect(temperatures.Handle(), nullptr, FALSE);
    UpdateWindow(temperatures.Handle());
    EXPECT_EQ(temperatures.CurveDraws(), curves + 2);

    Choose(window->Control("SpanBox"), 1);
    EXPECT_EQ(window->Span(), core::HistorySpan::OneHour);
    UpdateWindow(temperatures.Handle());
    EXPECT_EQ(temperatures.FrameDraws(), frames + 2);

    SetWindowPos(window->Handle(), nullptr, 0, 0, 900, 800, SWP_NOZORDER | SWP_NOMOVE);
    RenderNow();
    EXPECT_EQ(temperatures.FrameDraws(), frames + 3);
}

TEST_F(Win32HistoryWindow, ResetStartsTheExtremesAgain)
{
    Passes(5, 60);
    Passes(5, 40);
    RenderNow();
    const core::HistoryContent content = Content();
    ASSERT_EQ(Cell(0, 0), content.Table[0].Caption);
    EXPECT_NE(Cell(0, 2), Cell(0, 3)); // the first temperature went from 40 to 60
    EXPECT_EQ(Cell(0, 3), content.Table[0].Max);
    Click(window->Control("ResetButton"));
    EXPECT_EQ(Cell(0, 2), Cell(0, 3));
    EXPECT_EQ(Cell(0, 2), Content().Table[0].Current);
}

TEST_F(Win32HistoryWindow, ExportWritesTheSharedCsvOfTheShownSpanAndReportsAFailedWrite)
{
    Passes(30);
    Choose(window->Control("SpanBox"), 1);
    exportPath = std::nullopt; // cancelled: nothing written
    Click(window->Control("ExportButton"));
    EXPECT_EQ(demo->files.Replacements, 0);

    exportPath = "C:\\exports\\history.csv";
    Click(window->Control("ExportButton"));
    ASSERT_TRUE(demo->files.Files.contains(*exportPath));
    const std::string csv = core::HistoryCsv(core::BuildHistoryContent(
        demo->monitor->History(), demo->monitor->State(), demo->monitor->MainWindow(), core::HistorySpan::OneHour));
    const std::vector<uint8_t>& written = demo->files.Files.at(*exportPath);
    EXPECT_EQ(std::string(written.begin(), written.end()), csv);
    EXPECT_TRUE(errors.empty());

    exportPath = "C:\\locked\\history.csv";
    demo->files.Uncreatable.insert(*exportPath);
    Click(window->Control("ExportButton"));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("C:\\locked\\history.csv"), std::string::npos);
}

// Rendered while the window is hidden (closed), plots that come and go are laid out all the
// same: the table below the last plot, none over another.
TEST_F(Win32HistoryWindow, PlotsRenderedWhileHiddenAreLaidOutWhenShown)
{
    Passes(5);
    window->Hide();
    window->Render(core::HistoryContent{});
    window->Render(Content());
    window->Show();
    Pump();
    auto rect = [this](const char* name) {
        RECT area;
        GetWindowRect(window->Control(name), &area);
        return area;
    };
    int bottom = 0;
    for (const char* name : {"TemperaturePlot", "FanPlot", "VoltagePlot"}) {
        EXPECT_TRUE(Shown(window->Control(name))) << name;
        EXPECT_GE(rect(name).top, bottom) << name;
        EXPECT_GT(rect(name).bottom - rect(name).top, 60) << name;
        bottom = rect(name).bottom;
    }
    EXPECT_GE(rect("ValueTable").top, bottom);
}

TEST_F(Win32HistoryWindow, ABoardWithoutReadingsShowsEmptyPlotsAndNoRows)
{
    RenderNow(); // before any recorded pass but the start-up one
    core::HistoryContent empty;
    window->Render(empty);
    UpdateWindow(window->Handle());
    Pump();
    EXPECT_EQ(ListView_GetItemCount(window->Control("ValueTable")), 0);
    for (const char* name : {"TemperaturePlot", "FanPlot", "VoltagePlot"}) {
        EXPECT_FALSE(Shown(window->Control(name))) << name;
    }
    EXPECT_TRUE(IsWindow(window->Handle()));
}

} // namespace
} // namespace calventa::win32test
