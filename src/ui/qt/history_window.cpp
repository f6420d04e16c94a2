#include "ui/qt/history_window.h"

#include "core/plot_axes.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <map>

namespace calventa::ui {

namespace {

constexpr std::array<QRgb, 10> kLineColors{0x1f77b4, 0xd62728, 0x2ca02c, 0xff7f0e, 0x9467bd,
                                           0x8c564b, 0xe377c2, 0x17becf, 0x7f7f7f, 0xbcbd22};
constexpr int kMargin = 6;
constexpr int kSwatch = 10;

QString Text(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

QColor HistoryLineColor(int index)
{
    return QColor(kLineColors[static_cast<size_t>(index) % kLineColors.size()]);
}

HistoryPlotWidget::HistoryPlotWidget(QWidget* parent) : QWidget(parent)
{
    setMinimumHeight(120);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void HistoryPlotWidget::SetPlot(const core::HistoryPlot& plot, int64_t from, int64_t to)
{
    m_plot = plot;
    m_from = from;
    m_to = to;
    update();
}

QStringList HistoryPlotWidget::LegendCaptions() const
{
    QStringList captions;
    for (const core::HistoryLine& line : m_plot.Lines) {
        captions << Text(line.Caption);
    }
    return captions;
}

void HistoryPlotWidget::paintEvent(QPaintEvent*)
{
    ++m_paints;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), palette().base());
    const QFontMetrics fm(font());

    // The axes as core computes them for every toolkit.
    const core::PlotAxes axes = core::ComputePlotAxes(m_plot, m_from, m_to);
    const double low = axes.Low;
    const double high = axes.High;

    int legendWidth = 0;
    for (const core::HistoryLine& line : m_plot.Lines) {
        legendWidth = std::max(legendWidth, fm.horizontalAdvance(Text(line.Caption)));
    }
    legendWidth += kSwatch + 3 * kMargin;
    int labelWidth = 0;
    for (const core::AxisTick& tick : axes.ValueTicks) {
        labelWidth = std::max(labelWidth, fm.horizontalAdvance(Text(tick.Label)));
    }
    labelWidth += kMargin;
    const QRectF area(kMargin + labelWidth, kMargin + fm.height() + 4,
                      std::max(10, width() - labelWidth - legendWidth - 2 * kMargin),
                      std::max(10, height() - 2 * fm.height() - 3 * kMargin - 4));

    p.setPen(palette().color(QPalette::Text));
    p.drawText(QPointF(kMargin, kMargin + fm.ascent()), Text(core::PlotHeading(m_plot)));

    const double span = std::max<double>(1.0, static_cast<double>(m_to - m_from));
    auto xOf = [&](int64_t time) { return area.left() + (time - m_from) / span * area.width(); };
    auto yOf = [&](double value) { return area.bottom() - (value - low) / (high - low) * area.height(); };

    // Grid and axis labels.
    const QColor grid = palette().color(QPalette::Mid);
    for (const core::AxisTick& tick : axes.ValueTicks) {
        const double y = yOf(tick.Value);
        p.setPen(QPen(grid, 0, Qt::DotLine));
        p.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        p.setPen(palette().color(QPalette::Text));
        p.drawText(QRectF(kMargin, y - fm.height() / 2.0, labelWidth - 4, fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, Text(tick.Label));
    }
    for (const core::AxisTick& tick : axes.TimeTicks) {
        const double x = xOf(static_cast<int64_t>(tick.Value));
        p.setPen(QPen(grid, 0, Qt::DotLine));
        p.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        p.setPen(palette().color(QPalette::Text));
        p.drawText(QRectF(x - 30, area.bottom() + 2, 60, fm.height()), Qt::AlignHCenter | Qt::AlignTop,
                   Text(tick.Label));
    }
    p.setPen(palette().color(QPalette::Text));
    p.drawRect(area);

    p.save();
    p.setClipRect(area);
    for (size_t i = 0; i < m_plot.Lines.size(); ++i) {
        const core::HistoryLine& line = m_plot.Lines[i];
        const QColor color = HistoryLineColor(static_cast<int>(i));
        if (line.HasLimits) {
            p.setPen(QPen(color, 1, Qt::DashLine));
            for (const float limit : {line.LowLimit, line.HighLimit}) {
                p.drawLine(QPointF(area.left(), yOf(limit)), QPointF(area.right(), yOf(limit)));
            }
        }
        // Minute samples: each minute's range as a faint bar behind its mean.
        QColor band = color;
        band.setAlpha(60);
        p.setPen(QPen(band, 1));
        for (const core::HistoryPoint& point : line.Points) {
            if (!std::isnan(point.Avg) && point.Max > point.Min) {
                const double x = xOf(point.Time);
                p.drawLine(QPointF(x, yOf(point.Min)), QPointF(x, yOf(point.Max)));
            }
        }
        QPainterPath path;
        bool penDown = false;
        for (size_t k = 0; k < line.Points.size(); ++k) {
            const core::HistoryPoint& point = line.Points[k];
            if (std::isnan(point.Avg)) {
                penDown = false;
                continue;
            }
            const QPointF at(xOf(point.Time), yOf(point.Avg));
            const bool alone = !penDown && (k + 1 == line.Points.size() || std::isnan(line.Points[k + 1].Avg));
            if (alone) {
                path.addEllipse(at, 1.5, 1.5); // a run of one reading still shows
            }
            if (penDown) {
                path.lineTo(at);
            } else {
                path.moveTo(at);
            }
            penDown = true;
        }
        p.setPen(QPen(color, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
    }
    p.restore();
    if (!axes.AnyPoint) {
        p.setPen(palette().color(QPalette::PlaceholderText));
        p.drawText(area, Qt::AlignCenter, QString::fromLatin1(core::kNoReadingsText));
    }

    // Legend.
    int y = static_cast<int>(area.top());
    const int x = static_cast<int>(area.right()) + 2 * kMargin;
    for (size_t i = 0; i < m_plot.Lines.size(); ++i) {
        p.fillRect(QRect(x, y + (fm.height() - kSwatch) / 2, kSwatch, kSwatch), HistoryLineColor(static_cast<int>(i)));
        p.setPen(palette().color(QPalette::Text));
        p.drawText(QPoint(x + kSwatch + kMargin, y + fm.ascent()), Text(m_plot.Lines[i].Caption));
        y += fm.height() + 2;
    }
}

HistoryWindow::HistoryWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("HistoryWindow"));
    setWindowTitle(QStringLiteral("Calventa History"));
    resize(760, 720);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Span:"), this));
    m_span = new QComboBox(this);
    m_span->setObjectName(QStringLiteral("SpanBox"));
    for (const core::HistorySpan span : core::kHistorySpans) {
        m_span->addItem(QString::fromLatin1(core::SpanText(span)));
    }
    top->addWidget(m_span);
    top->addStretch();
    m_export = new QPushButton(QStringLiteral("Export CSV.."), this);
    m_export->setObjectName(QStringLiteral("ExportButton"));
    top->addWidget(m_export);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    const std::array<QString, 3> names{QStringLiteral("TemperaturePlot"), QStringLiteral("FanPlot"),
                                       QStringLiteral("VoltagePlot")};
    for (size_t i = 0; i < m_plots.size(); ++i) {
        m_plots[i] = new HistoryPlotWidget(this);
        m_plots[i]->setObjectName(names[i]);
        layout->addWidget(m_plots[i], 3);
    }

    m_table = new QTableWidget(0, 4, this);
    m_table->setObjectName(QStringLiteral("ValueTable"));
    m_table->setHorizontalHeaderLabels(
        {QStringLiteral("Row"), QStringLiteral("Current"), QStringLiteral("Minimum"), QStringLiteral("Maximum")});
    m_table->verticalHeader()->setVisible(false);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    layout->addWidget(m_table, 2);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    m_reset = new QPushButton(QStringLiteral("Reset"), this);
    m_reset->setObjectName(QStringLiteral("ResetButton"));
    m_reset->setToolTip(QStringLiteral("Minimum and maximum start again from the current values"));
    bottom->addWidget(m_reset);
    layout->addLayout(bottom);

    connect(m_span, &QComboBox::currentIndexChanged, this, &HistoryWindow::SpanChanged);
    connect(m_reset, &QPushButton::clicked, this, &HistoryWindow::ResetClicked);
    connect(m_export, &QPushButton::clicked, this, &HistoryWindow::ExportClicked);
}

core::HistorySpan HistoryWindow::Span() const
{
    const int index = std::clamp(m_span->currentIndex(), 0, static_cast<int>(core::kHistorySpans.size()) - 1);
    return core::kHistorySpans[static_cast<size_t>(index)];
}

void HistoryWindow::Render(const core::HistoryContent& content)
{
    std::map<int, QColor> colors;
    for (size_t i = 0; i < m_plots.size(); ++i) {
        const core::HistoryPlot& plot = content.Plots[i];
        m_plots[i]->SetPlot(plot, content.From, content.To);
        m_plots[i]->setVisible(!plot.Lines.empty());
        for (size_t k = 0; k < plot.Lines.size(); ++k) {
            colors[plot.Lines[k].Slot] = HistoryLineColor(static_cast<int>(k));
        }
    }
    m_table->setRowCount(static_cast<int>(content.Table.size()));
    for (int r = 0; r < static_cast<int>(content.Table.size()); ++r) {
        const core::HistoryTableRow& row = content.Table[static_cast<size_t>(r)];
        const std::array<std::string, 4> cells{row.Caption, row.Current, row.Min, row.Max};
        for (int c = 0; c < 4; ++c) {
            auto* item = new QTableWidgetItem(Text(cells[static_cast<size_t>(c)]));
            if (c == 0) {
                QPixmap swatch(kSwatch, kSwatch);
                swatch.fill(colors.contains(row.Slot) ? colors[row.Slot] : Qt::transparent);
                item->setIcon(QIcon(swatch));
            } else {
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            }
            m_table->setItem(r, c, item);
        }
    }
}

void HistoryWindow::ShowExportError(const QString& message)
{
    auto* box =
        new QMessageBox(QMessageBox::Warning, QStringLiteral("Calventa History"), message, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("ExportError"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace calventa::ui
