#include "ui/notice_window.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>

#include "ui/artwork.h"
#include "ui/window_frame.h"

namespace calventa::ui {

namespace {

constexpr int kMargin = 10;
constexpr int kTextLeft = 52;
constexpr int kBottomArea = 38; // check box and button below the lower separator

QFrame* MakeSeparator(QWidget* parent, int left, int top, int width)
{
    auto* line = new QFrame(parent);
    line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    line->setGeometry(left, top, width, 2);
    return line;
}

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

NoticeWindow::NoticeWindow(const core::NoticeContent& content, core::NoticeKind kind, QWidget* parent) : QDialog(parent)
{
    setObjectName(kind == core::NoticeKind::AdminNotice ? QStringLiteral("Tnform") : QStringLiteral("Tf2"));
    setModal(true);
    setFixedSize(content.Width, content.Height);
    // A caption strip without controls: the notice closes only through "OK".
    CaptionBar* caption = DecorateWindow(this, QString::fromStdString(content.Caption), false);
    caption->setGeometry(0, 0, width(), kCaptionHeight);
    for (QWidget* control : caption->findChildren<QWidget*>()) {
        control->hide();
    }
    setWindowFlag(Qt::WindowStaysOnTopHint, content.StaysOnTop);
    QPalette grey = palette();
    grey.setColor(QPalette::Window, FromColorValue(content.BackgroundColor));
    setPalette(grey);

    const int clientWidth = width() - 2 * kFrameBorder;
    const int clientHeight = height() - kCaptionHeight - kFrameBorder;
    auto* client = new QWidget(this);
    client->setGeometry(kFrameBorder, kCaptionHeight, clientWidth, clientHeight);

    auto* picture = new QLabel(client);
    picture->setObjectName(QStringLiteral("NoticePicture"));
    picture->setGeometry(kMargin, kMargin, 32, 32);
    picture->setPixmap(DrawNoticePicture(kind));

    const int textWidth = clientWidth - kTextLeft - kMargin;
    const int lowerLine = clientHeight - kBottomArea;
    MakeSeparator(client, kTextLeft, 6, textWidth);
    MakeSeparator(client, kTextLeft, lowerLine, textWidth);

    auto* text = new QPlainTextEdit(client);
    text->setObjectName(QStringLiteral("NoticeText"));
    text->setReadOnly(true);
    text->setFrameStyle(QFrame::NoFrame);
    text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    text->document()->setDocumentMargin(1);
    QStringList lines;
    for (const std::string& line : content.Lines) {
        lines << QString::fromStdString(line);
    }
    text->setPlainText(lines.join(QLatin1Char('\n')));
    QPalette textPalette = text->palette();
    textPalette.setColor(QPalette::Base, FromColorValue(content.BackgroundColor));
    text->setPalette(textPalette);
    text->setGeometry(kTextLeft, 10, textWidth, lowerLine - 12);

    m_doNotShow = new QCheckBox(QString::fromStdString(content.CheckBoxText), client);
    m_doNotShow->setObjectName(QStringLiteral("DoNotShowAgain"));
    m_doNotShow->move(kTextLeft, lowerLine + 12);
    m_doNotShow->adjustSize();

    auto* ok = new QPushButton(QString::fromStdString(content.ButtonText), client);
    ok->setObjectName(QStringLiteral("OkButton"));
    QFont bold = ok->font();
    bold.setBold(true);
    ok->setFont(bold);
    if (content.ButtonPicture) {
        ok->setIcon(QIcon(DrawOkPicture()));
    }
    ok->setGeometry(clientWidth - kMargin - 75, lowerLine + 8, 75, 25);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] {
        emit OkClicked(m_doNotShow->isChecked());
        accept();
    });
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
