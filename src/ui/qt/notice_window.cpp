#include "ui/qt/notice_window.h"

#include <algorithm>

#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>

#include "ui/qt/artwork.h"
#include "ui/qt/window_frame.h"

namespace calventa::ui {

namespace {

constexpr int kMargin = 10;
constexpr int kTextLeft = 52;
constexpr int kBottomArea = 38;   // check box and button below the lower separator
constexpr int kPictureRight = 42; // the picture's right edge
constexpr int kNarrowGap = 4;     // the least room kept beside a widened text field

QPixmap DrawOkPicture()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(20, 140, 40), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({QPointF(3, 8.5), QPointF(6.5, 12), QPointF(13, 4)}));
    return pixmap;
}

} // namespace

QPixmap DrawNoticePicture(core::NoticeKind kind)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font = WindowFont();
    font.setBold(true);
    font.setPixelSize(20);
    p.setFont(font);
    if (kind == core::NoticeKind::FanWarning) {
        p.setPen(QPen(QColor(120, 80, 0), 1.5));
        p.setBrush(QColor(255, 205, 0));
        p.drawPolygon(QPolygonF({QPointF(16, 2), QPointF(30.5, 29), QPointF(1.5, 29)}));
        p.setPen(Qt::black);
        p.drawText(QRect(0, 8, 32, 22), Qt::AlignCenter, QStringLiteral("!"));
    } else {
        p.setPen(QPen(QColor(20, 50, 120), 1.5));
        p.setBrush(QColor(45, 100, 200));
        p.drawEllipse(QRectF(1.5, 1.5, 29, 29));
        p.setPen(Qt::white);
        p.drawText(QRect(0, 0, 32, 32), Qt::AlignCenter, QStringLiteral("i"));
    }
    return pixmap;
}

NoticeWindow::NoticeWindow(const core::NoticeContent& content, core::NoticeKind kind, QWidget* parent)
    : QDialog(parent), m_width(content.Width), m_height(content.Height)
{
    setObjectName(kind == core::NoticeKind::AdminNotice ? QStringLiteral("Tnform") : QStringLiteral("Tf2"));
    setModal(true);
    // A caption strip without controls: the notice closes only through "OK".
    m_caption = DecorateWindow(this, QString::fromStdString(content.Caption), false);
    for (QWidget* control : m_caption->findChildren<QWidget*>()) {
        control->hide();
    }
    setWindowFlag(Qt::WindowStaysOnTopHint, content.StaysOnTop);
    ApplyProgramPalette(this, FromColorValue(content.BackgroundColor));

    m_client = new QWidget(this);

    auto* picture = new QLabel(m_client);
    picture->setObjectName(QStringLiteral("NoticePicture"));
    picture->setGeometry(kMargin, kMargin, 32, 32);
    picture->setPixmap(DrawNoticePicture(kind));

    for (QFrame*& separator : m_separators) {
        separator = new QFrame(m_client);
        separator->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    }

    m_text = new QPlainTextEdit(m_client);
    m_text->setObjectName(QStringLiteral("NoticeText"));
    m_text->setReadOnly(true);
    m_text->setFrameStyle(QFrame::NoFrame);
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The notice's lines are its rows: a line too long for the field is given room, not folded.
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->document()->setDocumentMargin(1);
    QStringList lines;
    for (const std::string& line : content.Lines) {
        lines << QString::fromStdString(line);
    }
    m_text->setPlainText(lines.join(QLatin1Char('\n')));
    QPalette textPalette = m_text->palette();
    textPalette.setColor(QPalette::Base, FromColorValue(content.BackgroundColor));
    m_text->setPalette(textPalette);

    m_doNotShow = new QCheckBox(QString::fromStdString(content.CheckBoxText), m_client);
    m_doNotShow->setObjectName(QStringLiteral("DoNotShowAgain"));

    m_ok = new QPushButton(QString::fromStdString(content.ButtonText), m_client);
    m_ok->setObjectName(QStringLiteral("OkButton"));
    QFont bold;
    bold.setBold(true);
    m_ok->setFont(bold);
    if (content.ButtonPicture) {
        m_ok->setIcon(QIcon(DrawOkPicture()));
    }
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, [this] {
        emit OkClicked(m_doNotShow->isChecked());
        accept();
    });

    PlaceTexts();
    CentreWhenShown(this);
}

void NoticeWindow::PlaceTexts()
{
    // The text field takes its widest line's width: first from its right margin, then from the
    // gap beside the picture, and only then does the window grow.
    int needed = 0;
    for (const QString& line : m_text->toPlainText().split(QLatin1Char('\n'))) {
        needed = std::max(needed, TextWidth(m_text, line));
    }
    needed += 2 * static_cast<int>(m_text->document()->documentMargin()) + 1;

    int clientWidth = m_width - 2 * kFrameBorder;
    int textLeft = kTextLeft;
    int textWidth = clientWidth - kTextLeft - kMargin;
    if (needed > textWidth) {
        const int right = clientWidth - kNarrowGap;
        textLeft = std::max(kPictureRight + kNarrowGap, std::min(kTextLeft, right - needed));
        clientWidth += std::max(0, textLeft + needed - right);
        textWidth = needed;
    }
    const int width = clientWidth + 2 * kFrameBorder;
    setFixedSize(width, m_height);
    m_caption->setGeometry(0, 0, width, kCaptionHeight);

    const int clientHeight = m_height - kCaptionHeight - kFrameBorder;
    m_client->setGeometry(kFrameBorder, kCaptionHeight, clientWidth, clientHeight);
    const int lowerLine = clientHeight - kBottomArea;
    m_separators[0]->setGeometry(textLeft, 6, textWidth, 2);
    m_separators[1]->setGeometry(textLeft, lowerLine, textWidth, 2);
    m_text->setGeometry(textLeft, 10, textWidth, lowerLine - 12);
    m_doNotShow->move(kTextLeft, lowerLine + 12);
    m_doNotShow->adjustSize();
    m_ok->setGeometry(clientWidth - kMargin - 75, lowerLine + 8, 75, 25);
}

void NoticeWindow::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    // The frame sets the window's font while the window is still being built.
    if (event->type() == QEvent::FontChange && m_ok != nullptr) {
        PlaceTexts();
    }
}

void NoticeWindow::paintEvent(QPaintEvent*)
{
    PaintWindowOutline(this);
}

void RunNotice(core::MonitorState& state, core::NoticeKind kind, platform::PlatformFamily family)
{
    NoticeWindow notice(core::NoticeContentOf(kind, family), kind);
    QObject::connect(&notice, &NoticeWindow::OkClicked,
                     [&state, kind](bool doNotShowAgain) { core::NoticeOkClick(state, kind, doNotShowAgain); });
    notice.exec();
}

} // namespace calventa::ui
