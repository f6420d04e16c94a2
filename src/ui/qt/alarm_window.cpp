#include "ui/qt/alarm_window.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "ui/qt/artwork.h"
#include "ui/qt/window_frame.h"

namespace calventa::ui {

namespace {

constexpr QRect kPanelPlace(1, 3, 185, 0);
constexpr QPoint kTitlePlace(16, 12);
constexpr int kCloseLeft = 4;
constexpr int kCloseWidth = 177;
constexpr int kCloseHeight = 20;
constexpr int32_t kRed = 255;
// The lines' own width in the panel, between their left edge and the panel's frame.
constexpr int kLineWidth = kPanelPlace.width() - core::AlarmWindowContent::kLineLeft - 2;
// The client area's width left of the panel, kept on its right as well when the panel grows.
constexpr int kPanelGap = kPanelPlace.x();

} // namespace

AlarmWindow::AlarmWindow(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TAlarmForm"));
    setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint);
    resize(core::AlarmWindowContent::kWidth, 88);
    m_caption = DecorateWindow(this, QStringLiteral("Calventa Alarm"), false);
    connect(m_caption, &CaptionBar::CloseClicked, this, &AlarmWindow::CloseClicked);

    m_client = new QWidget(this);
    m_panel = new QFrame(m_client);
    m_panel->setObjectName(QStringLiteral("AlarmPanel"));
    m_panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    m_panel->setGeometry(kPanelPlace.x(), kPanelPlace.y(), kPanelPlace.width(), 62);

    QPalette red = palette();
    red.setColor(QPalette::WindowText, FromColorValue(kRed));

    auto* title = new QLabel(QStringLiteral("ALARM!"), m_panel);
    title->setObjectName(QStringLiteral("AlarmTitle"));
    QFont titleFont = font();
    titleFont.setBold(true);
    titleFont.setUnderline(true);
    title->setFont(titleFont);
    title->setPalette(red);
    title->move(kTitlePlace);
    title->adjustSize();

    for (int i = 0; i < kLabelCount; ++i) {
        auto* line = new QLabel(m_panel);
        line->setObjectName(QStringLiteral("AlarmLine%1").arg(i));
        line->setPalette(red);
        line->setGeometry(core::AlarmWindowContent::kLineLeft,
                          core::AlarmWindowContent::kFirstLineTop + i * core::AlarmWindowContent::kLineStep, kLineWidth,
                          core::AlarmWindowContent::kLineStep);
        line->hide();
        m_lines.push_back(line);
    }

    m_close = new QPushButton(QStringLiteral("Close"), m_panel);
    m_close->setObjectName(QStringLiteral("CloseButton"));
    QFont buttonFont = font();
    buttonFont.setBold(true);
    m_close->setFont(buttonFont);
    m_close->setGeometry(kCloseLeft, core::AlarmWindowContent::kFirstLineTop + 4, kCloseWidth, kCloseHeight);
    connect(m_close, &QPushButton::clicked, this, &AlarmWindow::CloseClicked);
}

void AlarmWindow::Render(const core::AlarmWindowContent& content, bool shown)
{
    if (!shown) {
        hide();
        return;
    }
    const size_t used = std::min(content.Lines.size(), m_lines.size());
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (i < used) {
            m_lines[i]->setText(QString::fromStdString(content.Lines[i]));
            m_lines[i]->show();
        } else {
            m_lines[i]->hide();
        }
    }
    // A line wider than its place (a three-digit temperature, a wide face) widens the lines,
    // then the panel into the window's spare width, and only then the window, to the left so
    // that its right edge keeps its place.
    int lineWidth = kLineWidth;
    for (size_t i = 0; i < used; ++i) {
        lineWidth = std::max(lineWidth, TextWidth(m_lines[i], m_lines[i]->text()));
    }
    const int panelWidth =
        std::max(kPanelPlace.width(), core::AlarmWindowContent::kLineLeft + lineWidth + m_panel->frameWidth());
    const int clientWidth = core::AlarmWindowContent::kWidth - 2 * kFrameBorder;
    const int extra = std::max(0, kPanelGap + panelWidth + kPanelGap - clientWidth);
    for (size_t i = 0; i < used; ++i) {
        m_lines[i]->resize(lineWidth, core::AlarmWindowContent::kLineStep);
    }
    m_panel->resize(panelWidth, content.PanelHeight);
    m_close->move(kCloseLeft, content.CloseButtonTop);
    setGeometry(content.Left - extra, content.Top, core::AlarmWindowContent::kWidth + extra,
                std::max(content.Height, 0));
    show();
    raise();
    repaint();
}

void AlarmWindow::FreeAlarmLabels()
{
    qDeleteAll(m_lines);
    m_lines.clear();
}

void AlarmWindow::ShutDown()
{
    m_shutDown = true;
    close();
}

void AlarmWindow::closeEvent(QCloseEvent* event)
{
    if (m_shutDown) {
        event->accept();
        return;
    }
    // A close from the window manager is the user's "Close": the monitor decides.
    event->ignore();
    emit CloseClicked();
}

void AlarmWindow::paintEvent(QPaintEvent*)
{
    PaintWindowOutline(this);
}

void AlarmWindow::resizeEvent(QResizeEvent*)
{
    PlaceFrameParts(this, m_caption, m_client);
}

} // namespace calventa::ui
