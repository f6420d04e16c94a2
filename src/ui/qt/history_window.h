#pragma once

#include <QColor>
#include <QStringList>
#include <QWidget>
#include <array>

#include "core/history_presenter.h"

class QComboBox;
class QPushButton;
class QTableWidget;

namespace calventa::ui {

// The colour of the n-th row of a plot, also beside its caption in the table.
QColor HistoryLineColor(int index);

// One panel's rows as curves over the span, with the alarm limits of the rows that have
// them as dashed lines in the row's colour and a legend. A NaN point breaks the curve.
class HistoryPlotWidget : public QWidget
{
    Q_OBJECT
public:
    explicit HistoryPlotWidget(QWidget* parent = nullptr);

    void SetPlot(const core::HistoryPlot& plot, int64_t from, int64_t to);
    QStringList LegendCaptions() const;
    int64_t SpanSeconds() const { return m_to - m_from; }
    // Paint events since construction, so that tests can tell a redraw from none.
    int PaintCount() const { return m_paints; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    core::HistoryPlot m_plot;
    int64_t m_from = 0;
    int64_t m_to = 0;
    int m_paints = 0;
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
    QComboBox* m_span = nullptr;
    std::array<HistoryPlotWidget*, 3> m_plots{};
    QTableWidget* m_table = nullptr;
    QPushButton* m_reset = nullptr;
    QPushButton* m_export = nullptr;
};

} // namespace calventa::ui
