#pragma once

#include <QColor>
#include <QPixmap>
#include <QStringList>
#include <QWidget>
#include <array>
#include <vector>

#include "core/history_presenter.h"

class QComboBox;
class QPushButton;
class QTableWidget;

namespace calventa::ui {

// The colour of the n-th row of a plot, also beside its caption in the table.
QColor HistoryLineColor(int index);

// One panel's rows as curves over the span on the presenter's value axis, with the alarm
// limits of the rows that have them as dashed lines in the row's colour and a legend. A NaN
// point breaks the curve.
//
// A pass moves the span on by a few pixels and adds a sample a row, so the plot is kept in two
// cached layers: the axes, limits and legend, redrawn only when they change, and the curves,
// which a pass scrolls by whole pixels and extends by the new samples. Every curve is drawn
// again only on a resize, a change of span, axis, rows, limits, palette or font, or a series
// that started again (SensorHistory::Revision). A row's newest sample, which the next pass may
// still refine, is drawn over the layers at each paint.
class HistoryPlotWidget : public QWidget
{
    Q_OBJECT
public:
    explicit HistoryPlotWidget(QWidget* parent = nullptr);

    void SetPlot(const core::HistoryPlot& plot, const std::vector<core::HistoryTimeTick>& timeTicks, int64_t from,
                 int64_t to);
    QStringList LegendCaptions() const;
    int64_t SpanSeconds() const { return m_to - m_from; }
    // Paint events since construction, so that tests can tell a redraw from none.
    int PaintCount() const { return m_paints; }
    // Paints that drew every curve again rather than only the new samples.
    int FullRedrawCount() const { return m_fullRedraws; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // What the curve layer holds of a row: up to which sample, and where its line stopped.
    struct DrawnLine
    {
        int Slot = 0;
        std::string Caption;
        bool HasLimits = false;
        float LowLimit = 0.0f;
        float HighLimit = 0.0f;
        uint64_t Revision = 0;
        int64_t LastTime = 0; // of the newest sample drawn into the layer
        bool HasLast = false;
        bool PenDown = false; // that sample was a reading: the next one joins it
        float LastValue = 0.0f;
    };

    bool LayersFit() const;
    void RedrawLayers();
    void AppendNewSamples();
    // Samples [begin, end) of line `index` into `painter` (on the curve layer), carrying on
    // from where `drawn` stopped.
    void DrawSamples(QPainter& painter, size_t index, size_t begin, size_t end, DrawnLine& drawn) const;
    double PixelsPerSecond() const;
    // The curve layer's first column on the absolute scale when the span ends at m_to.
    int64_t FirstColumn() const;
    double XOf(int64_t time) const; // in the curve layer
    double YOf(double value) const;
    QRect PlotArea() const;

    core::HistoryPlot m_plot;
    std::vector<core::HistoryTimeTick> m_timeTicks;
    int64_t m_from = 0;
    int64_t m_to = 0;
    int m_paints = 0;
    int m_fullRedraws = 0;

    // The layers and what they were drawn for.
    QPixmap m_background;
    QPixmap m_curves;
    bool m_layersValid = false;
    QSize m_drawnSize;
    qreal m_drawnRatio = 1.0;
    QRect m_area;
    int64_t m_drawnSpan = 0;
    int64_t m_drawnColumn = 0; // the layer's first pixel column on the absolute time scale
    std::string m_drawnTitle;
    std::string m_drawnUnit;
    core::HistoryAxis m_drawnAxis;
    std::vector<DrawnLine> m_drawnLines;
};

// The history window: a span choice, a plot per panel of the main window, a table of each
// row's current value and extremes with "Reset", and "Export CSV..". It only renders what it
// is handed. Object names: "SpanBox", "TemperaturePlot", "FanPlot", "VoltagePlot",
// "ValueTable", "ResetButton", "ExportButton", "ExportError" (the failure message).
class HistoryWindow : public QWidget
{
    Q_OBJECT
public:
    explicit HistoryWindow(QWidget* parent = nullptr);

    void Render(const core::HistoryContent& content);
    core::HistorySpan Span() const;
    // A save that failed: a message box over the window, not blocking the monitor's timers.
    void ShowExportError(const QString& message);

signals:
    void SpanChanged();
    void ResetClicked();
    void ExportClicked();

private:
    void SetCell(int row, int column, const QString& text);

    QComboBox* m_span = nullptr;
    std::array<HistoryPlotWidget*, 3> m_plots{};
    QTableWidget* m_table = nullptr;
    QPushButton* m_reset = nullptr;
    QPushButton* m_export = nullptr;
};

} // namespace calventa::ui
