#include "ui/qt/main_window.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <algorithm>

#include "ui/qt/artwork.h"
#include "ui/qt/window_frame.h"

namespace calventa::ui {

namespace {

struct PanelTitle
{
    const char* Text;
    QRect Place;
};

constexpr std::array<PanelTitle, 3> kPanelTitles{{
    {"TEMPERATURES", QRect(30, 6, 93, 14)},
    {"FANS", QRect(57, 6, 33, 14)},
    {"VOLTAGES", QRect(42, 5, 64, 14)},
}};

int PanelOfSlot(int slot)
{
    switch (core::KindOfSlot(slot)) {
    case core::SlotKind::Fan:
        return core::kPanelFans;
    case core::SlotKind::Voltage:
        return core::kPanelVoltages;
    default:
        return core::kPanelTemperatures;
    }
}

// The captions were measured for a narrower face than most desktops have: a caption that
// would touch its value is condensed a little rather than overlap it.
void FitCaption(QLabel* label, int width)
{
    constexpr int kGap = 3;
    QFont font = label->font();
    font.setStretch(QFont::Unstretched);
    const int advance = QFontMetrics(font).horizontalAdvance(label->text());
    if (advance > width - kGap && advance > 0) {
        font.setStretch(std::max(80, (width - kGap) * 100 / advance));
    }
    label->setFont(font);
}

QLabel* MakeLabel(QWidget* parent, const QString& objectName)
{
    auto* label = new QLabel(parent);
    label->setObjectName(objectName);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->hide();
    return label;
}

} // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TMainForm"));
    resize(core::kDefaultMainWindowWidth, 23);
    m_caption = DecorateWindow(this, QStringLiteral("Calventa"), true);
    connect(m_caption, &CaptionBar::MinimizeClicked, this, &MainWindow::MinimizeClicked);
    connect(m_caption, &CaptionBar::CloseClicked, this, &MainWindow::close);

    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("ClientArea"));

    for (size_t p = 0; p < m_panels.size(); ++p) {
        auto* panel = new QFrame(m_client);
        panel->setObjectName(QStringLiteral("Panel%1").arg(p));
        panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
        panel->setAutoFillBackground(true);
        panel->hide();
        auto* title = new QLabel(panel);
        title->setObjectName(QStringLiteral("PanelTitle%1").arg(p));
        title->setGeometry(kPanelTitles[p].Place);
        title->setPixmap(DrawTitlePicture(QString::fromLatin1(kPanelTitles[p].Text), kPanelTitles[p].Place.size()));
        m_panels[p] = panel;
    }

    m_notice = new QFrame(m_client);
    m_notice->setObjectName(QStringLiteral("NoticePanel"));
    m_notice->setFrameStyle(QFrame::Panel | QFrame::Raised);
    m_notice->setAutoFillBackground(true);
    m_notice->hide();

    for (int slot = 0; slot < core::kSlotCount; ++slot) {
        QFrame* panel = m_panels[static_cast<size_t>(PanelOfSlot(slot))];
        Row& row = m_rows[static_cast<size_t>(slot)];
        row.Icon = MakeLabel(panel, QStringLiteral("Icon%1").arg(slot));
        row.Icon->setPixmap(DrawRowPicture(RowPictureOfSlot(slot)));
        row.Name = MakeLabel(panel, QStringLiteral("Name%1").arg(slot));
        row.Name->setText(QString::fromUtf8(core::SlotLabel(slot)));
        row.Value = MakeLabel(panel, QStringLiteral("Value%1").arg(slot));
    }
}

void MainWindow::Render(const core::MainWindowPresenter& presenter, bool relayout)
{
    const core::MainWindowLayout& layout = presenter.Layout();
    if (relayout) {
        Relayout(layout);
    }
    for (const core::MainWindowRow& placed : layout.Rows) {
        if (placed.Slot < 0 || placed.Slot >= core::kSlotCount) {
            continue;
        }
        Row& row = m_rows[static_cast<size_t>(placed.Slot)];
        if (row.Placed) {
            WriteValue(row, presenter.Value(placed.Slot), placed.HasPowerLine);
        }
    }
}

void MainWindow::Relayout(const core::MainWindowLayout& layout)
{
    for (QFrame* panel : m_panels) {
        panel->hide();
    }
    for (Row& row : m_rows) {
        row.Icon->hide();
        row.Name->hide();
        row.Value->hide();
        row.Placed = false;
    }
    for (size_t p = 0; p < m_panels.size(); ++p) {
        const core::MainWindowPanel& panel = layout.Panels[p];
        if (panel.Visible) {
            m_panels[p]->setGeometry(0, panel.Top, kPanelWidth, panel.Height);
            m_panels[p]->show();
        }
    }
    for (const core::MainWindowRow& placed : layout.Rows) {
        if (placed.Slot < 0 || placed.Slot >= core::kSlotCount) {
            continue;
        }
        Row& row = m_rows[static_cast<size_t>(placed.Slot)];
        const int height = placed.HasPowerLine ? 2 * kRowHeight : kRowHeight;
        row.Icon->setGeometry(kIconLeft, placed.Y, kRowHeight, kRowHeight);
        row.Name->setGeometry(kNameLeft, placed.Y, placed.ValueLeft - kNameLeft, kRowHeight);
        FitCaption(row.Name, placed.ValueLeft - kNameLeft);
        row.Value->setGeometry(placed.ValueLeft, placed.Y, kPanelWidth - placed.ValueLeft - 2, height);
        row.Icon->show();
        row.Name->show();
        row.Value->show();
        row.Placed = true;
    }
    PlaceNotice(layout);
    // setFixedSize leaves the window state alone, so a minimized window stays minimized.
    setFixedSize(core::kDefaultMainWindowWidth, layout.Height);
    update();
}

void MainWindow::PlaceNotice(const core::MainWindowLayout& layout)
{
    const core::MainWindowNotice& notice = layout.Notice;
    m_notice->setVisible(notice.Visible);
    while (m_noticeLines.size() < notice.Lines.size()) {
        auto* label = MakeLabel(m_notice, QStringLiteral("NoticeLine%1").arg(m_noticeLines.size()));
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        m_noticeLines.push_back(label);
    }
    m_notice->setGeometry(0, notice.Top, kPanelWidth, notice.Height);
    for (size_t i = 0; i < m_noticeLines.size(); ++i) {
        QLabel* label = m_noticeLines[i];
        if (!notice.Visible || i >= notice.Lines.size()) {
            label->hide();
            continue;
        }
        label->setText(QString::fromStdString(notice.Lines[i]));
        QFont font = label->font();
        font.setBold(i == 0); // the headline
        label->setFont(font);
        label->setGeometry(kIconLeft, core::kNoticeFirstLineY + static_cast<int>(i) * core::kNoticeLineHeight,
                           kPanelWidth - 2 * kIconLeft, core::kNoticeLineHeight);
        FitCaption(label, kPanelWidth - 2 * kIconLeft);
        label->show();
    }
}

void MainWindow::WriteValue(Row& row, const core::MainWindowValue& value, bool powerLine)
{
    QString text = QString::fromStdString(value.Text);
    if (powerLine && !value.Power.empty()) {
        text += QLatin1Char('\n') + QString::fromStdString(value.Power);
    }
    QPalette palette = row.Value->palette();
    // A sleeping disk's last value is greyed (red stays red: its alarm still stands).
    const QColor plain = value.Stale ? QColor(Qt::gray) : FromColorValue(0);
    palette.setColor(QPalette::WindowText, value.Red ? FromColorValue(255) : plain);
    row.Value->setPalette(palette);
    row.Value->setToolTip(QString::fromStdString(value.Note));
    QFont font = row.Value->font();
    font.setBold(value.Red);
    row.Value->setFont(font);
    row.Value->setText(text);
}

void MainWindow::SetExtraWindowFlags(Qt::WindowFlags flags)
{
    const bool wasVisible = isVisible();
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | flags);
    if (wasVisible) {
        show();
    }
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event)
{
    emit MenuRequested(event->globalPos());
    event->accept();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    emit Closing();
    event->accept();
}

void MainWindow::paintEvent(QPaintEvent*)
{
    PaintWindowOutline(this);
}

void MainWindow::resizeEvent(QResizeEvent*)
{
    PlaceFrameParts(this, m_caption, m_client);
}

} // namespace calventa::ui
