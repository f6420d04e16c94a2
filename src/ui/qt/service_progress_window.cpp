#include "ui/qt/service_progress_window.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>

#include "ui/qt/artwork.h"
#include "ui/qt/window_frame.h"

namespace calventa::ui {

namespace {

constexpr int kWidth = 176;
constexpr int kHeight = 161;
constexpr int32_t kProgressGrey = 0x00CBCBCB;

} // namespace

ServiceProgressWindow::ServiceProgressWindow(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TSvcForm"));
    setFixedSize(kWidth, kHeight);
    CaptionBar* caption = DecorateWindow(this, QStringLiteral("Calventa"), false);
    caption->setGeometry(0, 0, kWidth, kCaptionHeight);
    connect(caption, &CaptionBar::CloseClicked, this, &QWidget::close);
    ApplyProgramPalette(this, FromColorValue(kProgressGrey));

    const int clientWidth = kWidth - 2 * kFrameBorder;
    auto* client = new QWidget(this);
    client->setGeometry(kFrameBorder, kCaptionHeight, clientWidth, kHeight - kCaptionHeight - kFrameBorder);

    auto* frame = new QGroupBox(client);
    frame->setGeometry((clientWidth - kListWidth - 10) / 2, 2, kListWidth + 10, kListHeight + 16);
    m_list = new QListWidget(frame);
    m_list->setObjectName(QStringLiteral("ProgressList"));
    m_list->setFrameStyle(QFrame::NoFrame);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setFocusPolicy(Qt::NoFocus);
    // A failure's reason is longer than the list is wide: it folds, and its tip holds it whole.
    m_list->setWordWrap(true);
    m_list->setTextElideMode(Qt::ElideNone);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setGeometry(5, 10, kListWidth, kListHeight);
    QPalette listPalette = m_list->palette();
    listPalette.setColor(QPalette::Base, FromColorValue(kProgressGrey));
    m_list->setPalette(listPalette);

    auto* close = new QPushButton(QStringLiteral("Close"), client);
    close->setObjectName(QStringLiteral("CloseButton"));
    QFont bold = close->font();
    bold.setBold(true);
    close->setFont(bold);
    close->setGeometry((clientWidth - 75) / 2, kListHeight + 22, 75, 23);
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    m_closeTimer.setObjectName(QStringLiteral("CloseTimer"));
    m_closeTimer.setSingleShot(true);
    connect(&m_closeTimer, &QTimer::timeout, this, &QWidget::close);
}

void ServiceProgressWindow::SetLines(const std::vector<std::string>& lines)
{
    QStringList texts;
    for (const std::string& line : lines) {
        texts << QString::fromStdString(line);
    }
    if (texts != Lines()) {
        m_list->clear();
        m_list->addItems(texts);
        for (int i = 0; i < m_list->count(); ++i) {
            m_list->item(i)->setToolTip(texts[i]);
        }
    }
}

QStringList ServiceProgressWindow::Lines() const
{
    QStringList texts;
    for (int i = 0; i < m_list->count(); ++i) {
        texts << m_list->item(i)->text();
    }
    return texts;
}

void ServiceProgressWindow::ShowCentred()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    show();
    raise();
}

void ServiceProgressWindow::CloseLater(int ms)
{
    m_closeTimer.start(ms);
}

void ServiceProgressWindow::paintEvent(QPaintEvent*)
{
    PaintWindowOutline(this);
}

} // namespace calventa::ui
