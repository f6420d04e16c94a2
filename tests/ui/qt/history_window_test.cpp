#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "case_name.h"
#include "core/history_presenter.h"
#include "ui/qt/history_window.h"
#include "ui/qt/options_window.h"
#include "ui/qt/tray_icon.h"
#include "ui_test_support.h"

namespace calventa::uitest {
namespace {

const QString kDeg = QString::fromUtf8("\xC2\xB0");
constexpr const char* kCsvPath = "/sim/history.csv";

template <typename T> T* Child(QWidget& parent, const QString& name)
{
    T* child = parent.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name.toStdString();
    return child;
}

// The desktop program on the chip board, started, with the history window opened from the
// tray; each Pass() is the sensor timer firing three simulated seconds after the last.
class HistoryWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        desktop.app->Start();
        desktop.app->SetExportPathChooser([this] { return exportPath; });
    }
    ui::HistoryWindow& Open()
    {
        desktop.app->Tray().Action(ui::TrayItem::History)->trigger();
        QApplication::processEvents();
        return *desktop.app->HistoryForm();
    }
    void Pass(uint8_t cpuCelsius)
    {
        desktop.sim->AdvanceMs(3000);
        desktop.sim->IsaChip()->Poke(0x50, cpuCelsius, 1);
        QMetaObject::invokeMethod(&desktop.app->SensorTimer(), "timeout");
        QApplication::processEvents();
    }
    QStringList Column(ui::HistoryWindow& window, int column)
    {
        auto* table = Child<QTableWidget>(window, QStringLiteral("ValueTable"));
        QStringList cells;
        for (int row = 0; row < table->rowCount(); ++row) {
            cells << table->item(row, column)->text();
        }
        return cells;
    }

    DesktopFixture desktop{kChipBoard};
    QString exportPath = QString::fromLatin1(kCsvPath);
};

TEST_F(HistoryWindowTest, NothingIsMadeUntilTheTrayItemOpensIt)
{
    Pass(44);
    EXPECT_EQ(desktop.app->HistoryForm(), nullptr);
    ui::HistoryWindow& window = Open();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Calventa History"));
    window.resize(900, 800); // an ordinary resizable window
    EXPECT_EQ(window.size(), QSize(900, 800));
}

TEST_F(HistoryWindowTest, PlotsTheMainWindowsPanelsWithALegendEach)
{
    ui::HistoryWindow& window = Open();
    auto* temps = Child<ui::HistoryPlotWidget>(window, QStringLiteral("TemperaturePlot"));
    auto* fans = Child<ui::HistoryPlotWidget>(window, QStringLiteral("FanPlot"));
    auto* volts = Child<ui::HistoryPlotWidget>(window, QStringLiteral("VoltagePlot"));
    EXPECT_EQ(temps->LegendCaptions(), (QStringList{"CPU", "SYS", "AUX"}));
    EXPECT_EQ(fans->LegendCaptions(), (QStringList{"CPU", "SYS", "AUX"}));
    EXPECT_TRUE(volts->isVisible());
    EXPECT_NE(ui::HistoryLineColor(0), ui::HistoryLineColor(1));
}

// Each table row's swatch has the colour of its row's line in its own plot: the n-th line
// of every plot has the n-th colour.
TEST(HistoryWindowSwatches, EachRowHasTheColourOfItsLineInItsPlot)
{
    core::HistoryContent content;
    content.To = 600;
    const std::array<std::vector<std::pair<int, const char*>>, 3> panels{
        {{{core::kSlotCpu, "CPU"}, {core::kSlotSys, "SYS"}, {core::kSlotHd0, "HD0"}},
         {{core::kSlotCpuFan, "CPU"}, {core::kSlotSysFan, "SYS"}},
         {{core::kSlotVCoreA, "VCoreA"}}}};
    std::vector<QColor> expected;
    for (size_t i = 0; i < panels.size(); ++i) {
        for (size_t k = 0; k < panels[i].size(); ++k) {
            const auto& [slot, caption] = panels[i][k];
            content.Plots[i].Lines.push_back({slot, caption, {{300, 1.0f, 1.0f, 1.0f}}});
            content.Table.push_back({slot, caption, "1", "1", "1"});
            expected.push_back(ui::HistoryLineColor(static_cast<int>(k)));
        }
    }
    ui::HistoryWindow window;
    window.Render(content);
    auto* table = Child<QTableWidget>(window, QStringLiteral("ValueTable"));
    ASSERT_EQ(table->rowCount(), static_cast<int>(expected.size()));
    for (int row = 0; row < table->rowCount(); ++row) {
        const QImage swatch = table->item(row, 0)->icon().pixmap(10, 10).toImage();
        ASSERT_FALSE(swatch.isNull()) << row;
        EXPECT_EQ(swatch.pixelColor(swatch.width() / 2, swatch.height() / 2).name().toStdString(),
                  expected[static_cast<size_t>(row)].name().toStdString())
            << "row " << row << " " << table->item(row, 0)->text().toStdString();
    }
}

TEST_F(HistoryWindowTest, TableShowsCurrentMinimumAndMaximumAndResetStartsThemAgain)
{
    Pass(50);
    Pass(38);
    Pass(45);
    ui::HistoryWindow& window = Open();
    EXPECT_EQ(Column(window, 0).mid(0, 2), (QStringList{"CPU", "SYS"}));
    EXPECT_EQ(Column(window, 1)[0], "45 " + kDeg + "C");
    EXPECT_EQ(Column(window, 2)[0], "38 " + kDeg + "C");
    EXPECT_EQ(Column(window, 3)[0], "50 " + kDeg + "C");

    QTest::mouseClick(Child<QPushButton>(window, QStringLiteral("ResetButton")), Qt::LeftButton);
    EXPECT_EQ(Column(window, 2)[0], "45 " + kDeg + "C");
    EXPECT_EQ(Column(window, 3)[0], "45 " + kDeg + "C");
    Pass(47);
    EXPECT_EQ(Column(window, 3)[0], "47 " + kDeg + "C");
    EXPECT_EQ(Column(window, 2)[0], "45 " + kDeg + "C");
}

TEST_F(HistoryWindowTest, TemperaturesFollowTheGeneralPagesUnit)
{
    desktop.app->GetMonitor().State().Settings.TrayFahrenheit = 1;
    Pass(50);
    ui::HistoryWindow& window = Open();
    EXPECT_EQ(Column(window, 1)[0], "122 " + kDeg + "F");
}

// The tray's unit chosen on the General page shows in the open window on "OK", in the plot,
// the table and the export, without waiting for the next pass.
TEST_F(HistoryWindowTest, TheUnitChosenInTheOptionsShowsAtOnceInPlotTableAndCsv)
{
    Pass(50);
    ui::HistoryWindow& window = Open();
    EXPECT_EQ(Column(window, 1)[0], "50 " + kDeg + "C");
    desktop.app->SettingsClick();
    ui::OptionsWindow& options = *desktop.app->OptionsForm();
    QTest::mouseClick(Child<QRadioButton>(options, QStringLiteral("Fahrenheit")), Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>(options, QStringLiteral("OkButton")), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(Column(window, 1)[0], "122 " + kDeg + "F");
    EXPECT_EQ(Column(window, 3)[0], "122 " + kDeg + "F");
    EXPECT_EQ(Child<ui::HistoryPlotWidget>(window, QStringLiteral("TemperaturePlot"))->LegendCaptions().size(), 3);
    QTest::mouseClick(Child<QPushButton>(window, QStringLiteral("ExportButton")), Qt::LeftButton);
    const QString csv = QString::fromStdString(desktop.files.Text(kCsvPath));
    EXPECT_TRUE(csv.startsWith("Time,CPU (" + kDeg + "F)")) << csv.toStdString();
    EXPECT_TRUE(csv.contains(",122,")) << csv.toStdString();
}

// A pass scrolls the cached curves and adds the new samples; every curve is drawn again only
// when the plot's frame changes: a resize, another span, a new axis.
TEST_F(HistoryWindowTest, APassAppendsToTheCachedPlotAndAResizeOrSpanChangeRedrawsIt)
{
    for (int i = 0; i < 20; ++i) {
        Pass(static_cast<uint8_t>(40 + i % 4));
    }
    ui::HistoryWindow& window = Open();
    window.resize(900, 880);
    auto* temps = Child<ui::HistoryPlotWidget>(window, QStringLiteral("TemperaturePlot"));
    auto* fans = Child<ui::HistoryPlotWidget>(window, QStringLiteral("FanPlot"));
    const auto paint = [&] {
        temps->repaint();
        fans->repaint();
    };
    paint();
    const int tempsFull = temps->FullRedrawCount();
    const int fansFull = fans->FullRedrawCount();
    const int painted = temps->PaintCount();
    for (int i = 0; i < 10; ++i) {
        Pass(static_cast<uint8_t>(40 + i % 4)); // within the axis' range
        paint();
    }
    EXPECT_GE(temps->PaintCount(), painted + 10);
    EXPECT_EQ(temps->FullRedrawCount(), tempsFull) << "passes only append";
    EXPECT_EQ(fans->FullRedrawCount(), fansFull);

    // The appended plot looks as one drawn afresh (the newest samples drawn over it alike).
    const QImage appended = temps->grab().toImage();
    window.resize(901, 880);
    QApplication::processEvents();
    window.resize(900, 880);
    QApplication::processEvents();
    paint();
    EXPECT_GT(temps->FullRedrawCount(), tempsFull) << "a resize redraws";
    const QImage fresh = temps->grab().toImage();
    ASSERT_EQ(appended.size(), fresh.size());
    int differing = 0;
    for (int y = 0; y < fresh.height(); ++y) {
        for (int x = 0; x < fresh.width(); ++x) {
            const QColor a = appended.pixelColor(x, y);
            const QColor b = fresh.pixelColor(x, y);
            differing +=
                std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) > 96;
        }
    }
    EXPECT_LT(differing, fresh.width() * fresh.height() / 500) << "pixels that differ clearly";

    const int beforeSpan = temps->FullRedrawCount();
    Child<QComboBox>(window, QStringLiteral("SpanBox"))->setCurrentIndex(1);
    paint();
    EXPECT_EQ(temps->FullRedrawCount(), beforeSpan + 1) << "a span change redraws";
    Pass(41);
    paint();
    EXPECT_EQ(temps->FullRedrawCount(), beforeSpan + 1);

    Pass(90); // beyond the axis: a new axis, drawn afresh
    paint();
    EXPECT_EQ(temps->FullRedrawCount(), beforeSpan + 2);
}

TEST_F(HistoryWindowTest, RedrawsOnlyOnNewSamplesAndNotWhileClosed)
{
    ui::HistoryWindow& window = Open();
    auto* temps = Child<ui::HistoryPlotWidget>(window, QStringLiteral("TemperaturePlot"));
    QApplication::processEvents();
    const int painted = temps->PaintCount();
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
    }
    EXPECT_EQ(temps->PaintCount(), painted);
    Pass(46);
    EXPECT_GT(temps->PaintCount(), painted);
    EXPECT_EQ(Column(window, 1)[0], "46 " + kDeg + "C");

    window.close();
    const int closed = temps->PaintCount();
    Pass(51);
    EXPECT_EQ(temps->PaintCount(), closed);
    EXPECT_EQ(Column(window, 1)[0], "46 " + kDeg + "C") << "not rendered while closed";
    Open();
    EXPECT_EQ(Column(window, 1)[0], "51 " + kDeg + "C");
}

class HistorySpanTest : public HistoryWindowTest, public ::testing::WithParamInterface<core::HistorySpan>
{
};

TEST_P(HistorySpanTest, TheChosenSpanEndsAtTheLatestPass)
{
    for (int i = 0; i < 3; ++i) {
        Pass(40);
    }
    ui::HistoryWindow& window = Open();
    auto* box = Child<QComboBox>(window, QStringLiteral("SpanBox"));
    EXPECT_EQ(box->count(), 3);
    box->setCurrentIndex(static_cast<int>(GetParam()));
    EXPECT_EQ(window.Span(), GetParam());
    EXPECT_EQ(Child<ui::HistoryPlotWidget>(window, QStringLiteral("FanPlot"))->SpanSeconds(),
              core::SpanSeconds(GetParam()));

    desktop.files.Files.erase(kCsvPath);
    QTest::mouseClick(Child<QPushButton>(window, QStringLiteral("ExportButton")), Qt::LeftButton);
    // The three passes and the start-up's, in every span.
    const QString csv = QString::fromStdString(desktop.files.Text(kCsvPath));
    EXPECT_EQ(csv.count(QStringLiteral("\r\n")), GetParam() == core::HistorySpan::Day ? 2 : 5) << csv.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Spans, HistorySpanTest, ::testing::ValuesIn(core::kHistorySpans),
                         [](const ::testing::TestParamInfo<core::HistorySpan>& param) {
                             return testnames::CaseName(core::SpanText(param.param));
                         });

TEST_F(HistoryWindowTest, ExportWritesTheShownSpanAsCsv)
{
    Pass(40);
    Pass(41);
    ui::HistoryWindow& window = Open();
    QTest::mouseClick(Child<QPushButton>(window, QStringLiteral("ExportButton")), Qt::LeftButton);
    const QStringList lines = QString::fromStdString(desktop.files.Text(kCsvPath)).split(QStringLiteral("\r\n"));
    ASSERT_GE(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith("Time,CPU (" + kDeg + "C),SYS (" + kDeg + "C),AUX (" + kDeg +
                                    "C),CPU (RPM),SYS (RPM),AUX (RPM),VCoreA (V),"))
        << lines.join('|').toStdString();
    EXPECT_TRUE(lines.last().isEmpty()); // every line ends with CR LF
    const QStringList last = lines[lines.size() - 2].split(',');
    EXPECT_EQ(last[0], "2004-12-08T14:05:39+00:00") << lines.join('|').toStdString();
    EXPECT_EQ(last[1], "41");
    EXPECT_EQ(last[2], "35");
    EXPECT_EQ(desktop.files.Replacements, 1);
}

TEST_F(HistoryWindowTest, AnUnwritableTargetGivesAMessageAndACancelWritesNothing)
{
    ui::HistoryWindow& window = Open();
    exportPath.clear();
    QTest::mouseClick(Child<QPushButton>(window, QStringLiteral("ExportButton")), Qt::LeftButton);
    EXPECT_EQ(desktop.files.Replacements, 0);
    EXPECT_EQ(window.findChild<QMessageBox*>(QStringLiteral("ExportError")), nullptr);

    exportPath = QString::fromLatin1(kCsvPath);
    desktop.files.Uncreatable.insert(kCsvPath);
    QTest::mouseClick(Child<QPushButton>(window, QStringLiteral("ExportButton")), Qt::LeftButton);
    auto* box = window.findChild<QMessageBox*>(QStringLiteral("ExportError"));
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_TRUE(box->text().contains(kCsvPath)) << box->text().toStdString();
    EXPECT_FALSE(desktop.files.Files.contains(kCsvPath));
    box->close();
    Pass(42); // the monitor goes on
    EXPECT_EQ(Column(window, 1)[0], "42 " + kDeg + "C");
}

} // namespace
} // namespace calventa::uitest
