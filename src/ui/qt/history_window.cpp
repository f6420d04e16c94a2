#include "ui/qt/history_window.h"

#include <QComboBox>
#include <QEvent>
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

#include "ui/qt/artwork.h"
#include "ui/qt/window_frame.h"

namespace calventa::ui {

namespace {

constexpr std::array<QRgb, 10> kLineColors{0x1f77b4, 0xd62728, 0x2ca02c, 0xff7f0e, 0x9467bd,
                                           0x8c564b, 0xe377c2, 0x17becf, 0x7f7f7f, 0xbcbd22};
constexpr int kMargin = 6;
constexpr int kSwatch = 10;
constexpr qreal kLineWidth = 1.5;

QString Text(const std::string& text)
{
    return QString::fromStdString(text);
}

QPen CurvePen(const QColor& color)
{
    return QPen(color, kLineWidth, Qt::SolidLine, Qt::FlatCap, Qt::BevelJoin);
}

// A minute's range as a faint bar behind its mean.
QColor BandColor(QColor color)
{
    color.setAlpha(60);
    return color;
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

void HistoryPlotWidget::SetPlot(const core::HistoryPlot& plot, const std::vector<core::HistoryTimeTick>& timeTicks,
                                int64_t from, int64_t to)
{
    m_plot = plot;
    m_timeTicks = timeTicks;
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

void HistoryPlotWidget::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange ||
        event->type() == QEvent::StyleChange) {
        m_layersValid = false;
        update();
    }
    QWidget::changeEvent(event);
}

QRect HistoryPlotWidget::PlotArea() const
{
    const QFontMetrics fm(font());
    int legendWidth = 0;
    for (const core::HistoryLine& line : m_plot.Lines) {
        legendWidth = std::max(legendWidth, fm.horizontalAdvance(Text(line.Caption)));
    }
    legendWidth += kSwatch + 3 * kMargin;
    int labelWidth = 0;
    for (const core::HistoryTick& tick : m_plot.Axis.Ticks) {
        labelWidth = std::max(labelWidth, fm.horizontalAdvance(Text(tick.Label)));
    }
    labelWidth += kMargin;
    return QRect(kMargin + labelWidth, kMargin + fm.height() + 4,
                 std::max(10, width() - labelWidth - legendWidth - 2 * kMargin),
                 std::max(10, height() - 2 * fm.height() - 3 * kMargin - 4));
}

// Time maps to whole pixel columns of one absolute scale, so that a layer scrolled by whole
// columns matches one drawn afresh; the layer's right edge is the span's end.
double HistoryPlotWidget::PixelsPerSecond() const
{
    return static_cast<double>(m_area.width()) / static_cast<double>(std::max<int64_t>(1, m_drawnSpan));
}

int64_t HistoryPlotWidget::FirstColumn() const
{
    return static_cast<int64_t>(std::floor(static_cast<double>(m_to) * PixelsPerSecond())) - m_area.width();
}

double HistoryPlotWidget::XOf(int64_t time) const
{
    return static_cast<double>(time) * PixelsPerSecond() - static_cast<double>(m_drawnColumn);
}

double HistoryPlotWidget::YOf(double value) const
{
    const double range = std::max(1e-9, m_drawnAxis.High - m_drawnAxis.Low);
    return (m_drawnAxis.High - value) / range * m_area.height();
}

bool HistoryPlotWidget::LayersFit() const
{
    if (!m_layersValid || m_drawnSize != size() || m_drawnRatio != devicePixelRatioF() ||
        m_drawnSpan != m_to - m_from || m_drawnTitle != m_plot.Title || m_drawnUnit != m_plot.Unit ||
        !(m_drawnAxis == m_plot.Axis) || m_drawnLines.size() != m_plot.Lines.size()) {
        return false;
    }
    for (size_t i = 0; i < m_drawnLines.size(); ++i) {
        const DrawnLine& drawn = m_drawnLines[i];
        const core::HistoryLine& line = m_plot.Lines[i];
        if (drawn.Slot != line.Slot || drawn.Caption != line.Caption || drawn.Revision != line.Revision ||
            drawn.HasLimits != line.HasLimits || drawn.LowLimit != line.LowLimit || drawn.HighLimit != line.HighLimit) {
            return false;
        }
    }
    // The span may only have moved on, by less than the layer's width.
    const int64_t column = FirstColumn();
    return column >= m_drawnColumn && column - m_drawnColumn < m_area.width();
}

void HistoryPlotWidget::DrawSamples(QPainter& painter, size_t index, size_t begin, size_t end, DrawnLine& drawn) const
{
    const core::HistoryLine& line = m_plot.Lines[index];
    const QColor color = HistoryLineColor(static_cast<int>(index));
    painter.setPen(QPen(BandColor(color), 1));
    for (size_t k = begin; k < end; ++k) {
        const core::HistoryPoint& point = line.Points[k];
        if (!std::isnan(point.Avg) && point.Max > point.Min) {
            const double x = XOf(point.Time);
            painter.drawLine(QPointF(x, YOf(point.Min)), QPointF(x, YOf(point.Max)));
        }
    }
    QPainterPath path;
    if (drawn.PenDown) {
        path.moveTo(XOf(drawn.LastTime), YOf(drawn.LastValue));
    }
    for (size_t k = begin; k < end; ++k) {
        const core::HistoryPoint& point = line.Points[k];
        drawn.LastTime = point.Time;
        drawn.HasLast = true;
        if (std::isnan(point.Avg)) {
            drawn.PenDown = false;
            continue;
        }
        const QPointF at(XOf(point.Time), YOf(point.Avg));
        const bool alone = !drawn.PenDown && (k + 1 == line.Points.size() || std::isnan(line.Points[k + 1].Avg));
        if (alone) {
            path.addEllipse(at, 1.5, 1.5); // a run of one reading still shows
        }
        if (drawn.PenDown) {
            path.lineTo(at);
        } else {
            path.moveTo(at);
        }
        drawn.PenDown = true;
        drawn.LastValue = point.Avg;
    }
    painter.setPen(CurvePen(color));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
}

void HistoryPlotWidget::RedrawLayers()
{
    ++m_fullRedraws;
    const qreal ratio = devicePixelRatioF();
    m_area = PlotArea();
    m_drawnSize = size();
    m_drawnRatio = ratio;
    m_drawnSpan = std::max<int64_t>(1, m_to - m_from);
    m_drawnTitle = m_plot.Title;
    m_drawnUnit = m_plot.Unit;
    m_drawnAxis = m_plot.Axis;
    m_drawnColumn = FirstColumn();

    // The fixed layer: background, title, value marks, limits, legend.
    m_background = QPixmap(size() * ratio);
    m_background.setDevicePixelRatio(ratio);
    m_background.fill(palette().color(QPalette::Base));
    QPainter p(&m_background);
    const QFontMetrics fm(font());
    const QColor text = palette().color(QPalette::Text);
    p.setPen(text);
    p.drawText(QPointF(kMargin, kMargin + fm.ascent()), Text(core::PlotHeading(m_plot)));
    const QColor grid = palette().color(QPalette::Mid);
    for (const core::HistoryTick& tick : m_plot.Axis.Ticks) {
        const double y = m_area.top() + YOf(tick.Value);
        p.setPen(QPen(grid, 0, Qt::DotLine));
        p.drawLine(QPointF(m_area.left(), y), QPointF(m_area.right(), y));
        p.setPen(text);
        p.drawText(QRectF(kMargin, y - fm.height() / 2.0, m_area.left() - kMargin - 4, fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, Text(tick.Label));
    }
    p.save();
    p.setClipRect(m_area);
    p.setRenderHint(QPainter::Antialiasing);
    for (size_t i = 0; i < m_plot.Lines.size(); ++i) {
        const core::HistoryLine& line = m_plot.Lines[i];
        if (line.HasLimits) {
            p.setPen(QPen(HistoryLineColor(static_cast<int>(i)), 1, Qt::DashLine));
            for (const float limit : {line.LowLimit, line.HighLimit}) {
                const double y = m_area.top() + YOf(limit);
                p.drawLine(QPointF(m_area.left(), y), QPointF(m_area.right(), y));
            }
        }
    }
    p.restore();
    int y = m_area.top();
    const int x = m_area.right() + 2 * kMargin;
    for (size_t i = 0; i < m_plot.Lines.size(); ++i) {
        p.fillRect(QRect(x, y + (fm.height() - kSwatch) / 2, kSwatch, kSwatch), HistoryLineColor(static_cast<int>(i)));
        p.setPen(text);
        p.drawText(QPoint(x + kSwatch + kMargin, y + fm.ascent()), Text(m_plot.Lines[i].Caption));
        y += fm.height() + 2;
    }
    p.end();

    // The curve layer: every sample but each row's newest.
    m_curves = QPixmap(m_area.size() * ratio);
    m_curves.setDevicePixelRatio(ratio);
    m_curves.fill(Qt::transparent);
    QPainter c(&m_curves);
    c.setRenderHint(QPainter::Antialiasing);
    m_drawnLines.clear();
    for (size_t i = 0; i < m_plot.Lines.size(); ++i) {
        const core::HistoryLine& line = m_plot.Lines[i];
        DrawnLine drawn{line.Slot, line.Caption, line.HasLimits, line.LowLimit, line.HighLimit, line.Revision};
        if (!line.Points.empty()) {
            DrawSamples(c, i, 0, line.Points.size() - 1, drawn);
        }
        m_drawnLines.push_back(std::move(drawn));
    }
    m_layersValid = true;
}

void HistoryPlotWidget::AppendNewSamples()
{
    const int64_t column = FirstColumn();
    const auto shift = static_cast<int>(column - m_drawnColumn);
    QPainter c(&m_curves);
    if (shift > 0) {
        c.end();
        const auto deviceShift = static_cast<int>(std::lround(shift * m_drawnRatio));
        m_curves.scroll(-deviceShift, 0, m_curves.rect());
        c.begin(&m_curves);
        c.setCompositionMode(QPainter::CompositionMode_Source);
        c.fillRect(QRectF(m_area.width() - shift, 0, shift, m_area.height()), Qt::transparent);
        c.setCompositionMode(QPainter::CompositionMode_SourceOver);
        m_drawnColumn = column;
    }
    c.setRenderHint(QPainter::Antialiasing);
    for (size_t i = 0; i < m_plot.Lines.size(); ++i) {
        const core::HistoryLine& line = m_plot.Lines[i];
        DrawnLine& drawn = m_drawnLines[i];
        if (line.Points.empty()) {
            continue;
        }
        size_t begin = 0;
        if (drawn.HasLast) {
            const auto after =
                std::upper_bound(line.Points.begin(), line.Points.end(), drawn.LastTime,
                                 [](int64_t time, const core::HistoryPoint& p) { return time < p.Time; });
            begin = static_cast<size_t>(after - line.Points.begin());
        }
        const size_t end = line.Points.size() - 1;
        if (begin < end) {
            DrawSamples(c, i, begin, end, drawn);
        }
    }
}

void HistoryPlotWidget::paintEvent(QPaintEvent*)
{
    ++m_paints;
    if (LayersFit()) {
        AppendNewSamples();
    } else {
        RedrawLayers();
    }

    QPainter p(this);
    p.drawPixmap(0, 0, m_background);
    const QFontMetrics fm(font());
    const QColor grid = palette().color(QPalette::Mid);
    const QColor text = palette().color(QPalette::Text);
    // Time marks move with the span: drawn at each paint, under the curves.
    for (const core::HistoryTimeTick& tick : m_timeTicks) {
        const double x = m_area.left() + XOf(tick.Time);
        if (x < m_area.left() || x > m_area.right()) {
            continue;
        }
        p.setPen(QPen(grid, 0, Qt::DotLine));
        p.drawLine(QPointF(x, m_area.top()), QPointF(x, m_area.bottom()));
        // A mark's text only where it fits whole under the plot, clear of the value marks.
        const QString label = Text(tick.Label);
        const double half = fm.horizontalAdvance(label) / 2.0 + 1;
        if (x - half >= m_area.left() && x + half <= width()) {
            p.setPen(text);
            p.drawText(QRectF(x - half, m_area.bottom() + 2, 2 * half, fm.height()), Qt::AlignHCenter | Qt::AlignTop,
                       label);
        }
    }
    p.drawPixmap(m_area.topLeft(), m_curves);

    // Each row's newest sample, which the next pass may still change.
    p.save();
    p.setClipRect(m_area);
    p.translate(m_area.topLeft());
    p.setRenderHint(QPainter::Antialiasing);
    bool anyPoint = false;
    for (size_t i = 0; i < m_plot.Lines.size(); ++i) {
        const core::HistoryLine& line = m_plot.Lines[i];
        for (const core::HistoryPoint& point : line.Points) {
            if (!std::isnan(point.Avg)) {
                anyPoint = true;
                break;
            }
        }
        if (line.Points.empty() || std::isnan(line.Points.back().Avg)) {
            continue;
        }
        const core::HistoryPoint& last = line.Points.back();
        const QColor color = HistoryLineColor(static_cast<int>(i));
        const QPointF at(XOf(last.Time), YOf(last.Avg));
        if (last.Max > last.Min) {
            p.setPen(QPen(BandColor(color), 1));
            p.drawLine(QPointF(at.x(), YOf(last.Max)), QPointF(at.x(), YOf(last.Min)));
        }
        p.setPen(CurvePen(color));
        p.setBrush(Qt::NoBrush);
        const DrawnLine& drawn = m_drawnLines[i];
        if (drawn.PenDown) {
            p.drawLine(QPointF(XOf(drawn.LastTime), YOf(drawn.LastValue)), at);
        } else {
            p.drawEllipse(at, 1.5, 1.5);
        }
    }
    p.restore();
    p.setPen(text);
    p.setBrush(Qt::NoBrush);
    p.drawRect(m_area);
    if (!anyPoint) {
        p.setPen(palette().color(QPalette::PlaceholderText));
        p.drawText(m_area, Qt::AlignCenter, tr(core::kNoReadingsText));
    }
}

HistoryWindow::HistoryWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("HistoryWindow"));
    setWindowTitle(QStringLiteral("Calventa History"));
    // Light like every other window of the program, whatever the desktop's theme.
    ApplyProgramPalette(this, WindowGrey());
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

void HistoryWindow::SetCell(int row, int column, const QString& text)
{
    // Items are kept from pass to pass; only a changed text costs the table a repaint.
    if (QTableWidgetItem* item = m_table->item(row, column)) {
        if (item->text() != text) {
            item->setText(text);
        }
        return;
    }
    auto* item = new QTableWidgetItem(text);
    if (column > 0) {
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    m_table->setItem(row, column, item);
}

void HistoryWindow::Render(const core::HistoryContent& content)
{
    std::map<int, QColor> colors;
    for (size_t i = 0; i < m_plots.size(); ++i) {
        const core::HistoryPlot& plot = content.Plots[i];
        m_plots[i]->SetPlot(plot, content.TimeTicks, content.From, content.To);
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
            SetCell(r, c, Text(cells[static_cast<size_t>(c)]));
        }
        QTableWidgetItem* caption = m_table->item(r, 0);
        const QColor color = colors.contains(row.Slot) ? colors[row.Slot] : QColor(Qt::transparent);
        if (caption->data(Qt::UserRole).value<QColor>() != color || caption->icon().isNull()) {
            QPixmap swatch(kSwatch, kSwatch);
            swatch.fill(color);
            caption->setIcon(QIcon(swatch));
            caption->setData(Qt::UserRole, color);
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
