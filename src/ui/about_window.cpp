#include "ui/about_window.h"

#include <QDesktopServices>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>

#include "ui/artwork.h"
#include "ui/window_frame.h"

namespace calventa::ui {

namespace {

constexpr int kMargin = 10;
constexpr int kClientWidth = AboutWindow::kWidth - 2 * kFrameBorder;

QFrame* MakeSeparator(QWidget* parent, int top)
{
    auto* line = new QFrame(parent);
    line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    line->setGeometry(kMargin, top, kClientWidth - 2 * kMargin, 2);
    return line;
}

} // namespace

LinkOpener SystemLinkOpener()
{
    return [](const QUrl& url) { QDesktopServices::openUrl(url); };
}

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    QFont linkFont = font();
    linkFont.setUnderline(true);
    setFont(linkFont);
    QPalette blue = palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    setPalette(blue);
    setCursor(Qt::PointingHandCursor);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit Clicked();
    }
}

QUrl AboutWindow::HomepageUrl()
{
    return QUrl(QString::fromLatin1(kHomepageAddress));
}

QUrl AboutWindow::SupportUrl()
{
    return QUrl(QStringLiteral("mailto:%1?subject=%2")
                    .arg(QString::fromLatin1(kSupportAddress), QString::fromLatin1(kMailSubject)));
}

AboutWindow::AboutWindow(LinkOpener opener, QWidget* parent) : QDialog(parent), m_opener(std::move(opener))
{
    setObjectName(QStringLiteral("TAboutForm"));
    setModal(true);
    setFixedSize(kWidth, kHeight);
    CaptionBar* caption = DecorateWindow(this, QStringLiteral("AboutForm"), false);
    caption->setGeometry(0, 0, kWidth, kCaptionHeight);
    connect(caption, &CaptionBar::CloseClicked, this, &QDialog::reject);

    auto* client = new QWidget(this);
    client->setGeometry(kFrameBorder, kCaptionHeight, kClientWidth, kHeight - kCaptionHeight - kFrameBorder);

    auto* picture = new QLabel(client);
    picture->setObjectName(QStringLiteral("AboutPicture"));
    picture->setGeometry(kMargin, 8, 48, 48);
    picture->setPixmap(DrawApplicationPicture(48));

    auto* title = new QLabel(QStringLiteral("Calventa Beta 1.0 "), client);
    title->setObjectName(QStringLiteral("TitleLabel"));
    QFont titleFont = font();
    titleFont.setBold(true);
    titleFont.setPointSize(10);
    title->setFont(titleFont);
    title->setGeometry(70, 22, kClientWidth - 80, 20);

    MakeSeparator(client, 62);

    auto* homepageCaption = new QLabel(QStringLiteral("Homepage :"), client);
    homepageCaption->setGeometry(kMargin, 72, 64, 16);
    auto* homepage = new LinkLabel(QString::fromLatin1(kHomepageAddress), client);
    homepage->setObjectName(QStringLiteral("HomepageLink"));
    homepage->move(78, 72);
    homepage->adjustSize();
    connect(homepage, &LinkLabel::Clicked, this, [this] { m_opener(HomepageUrl()); });

    auto* supportCaption = new QLabel(QStringLiteral("Support :"), client);
    supportCaption->setGeometry(kMargin, 90, 64, 16);
    auto* support = new LinkLabel(QString::fromLatin1(kSupportAddress), client);
    support->setObjectName(QStringLiteral("SupportLink"));
    support->move(78, 90);
    support->adjustSize();
    connect(support, &LinkLabel::Clicked, this, [this] { m_opener(SupportUrl()); });

    MakeSeparator(client, 112);

    auto* text = new QPlainTextEdit(client);
    text->setObjectName(QStringLiteral("AboutText"));
    text->setReadOnly(true);
    text->setFrameStyle(QFrame::NoFrame);
    text->setPlainText(QStringLiteral("If you will find any bugs, please send e-mail about it. In \n"
                                      "addition, if the program not finds hardware monitoring chips, \n"
                                      "send the name of your motherboard and we shall add \n"
                                      "support of your monitoring chips.\n"));
    QPalette textPalette = text->palette();
    textPalette.setColor(QPalette::Base, WindowGrey());
    text->setPalette(textPalette);
    text->setGeometry(kMargin - 4, 118, kClientWidth - 2 * kMargin + 8, 76);
    text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    MakeSeparator(client, 198);

    auto* close = new QPushButton(QStringLiteral("Close"), client);
    close->setObjectName(QStringLiteral("CloseButton"));
    QFont buttonFont = font();
    buttonFont.setBold(true);
    close->setFont(buttonFont);
    close->setGeometry((kClientWidth - 80) / 2, 207, 80, 24);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

void AboutWindow::paintEvent(QPaintEvent*)
{
    PaintWindowOutline(this);
}

} // namespace calventa::ui
