#include "ui/qt/about_window.h"

#include <algorithm>
#include <iterator>

#include <QDesktopServices>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>

#include "ui/qt/artwork.h"
#include "ui/qt/window_frame.h"

namespace calventa::ui {

namespace {

constexpr int kMargin = 10;
constexpr int kClientWidth = AboutWindow::kWidth - 2 * kFrameBorder;
constexpr int kLinkLeft = 78;
constexpr int kFirstRowTop = 72;

} // namespace

LinkOpener SystemLinkOpener()
{
    return [](const QUrl& url) { QDesktopServices::openUrl(url); };
}

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    // Only the underline is the link's own: face and size follow the window.
    QFont linkFont;
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

QUrl AboutWindow::HomepageUrl() const
{
    return QUrl(QString::fromStdString(m_texts.HomepageAddress));
}

QUrl AboutWindow::SupportUrl() const
{
    return QUrl(QStringLiteral("mailto:%1?subject=%2")
                    .arg(QString::fromStdString(m_texts.SupportAddress), QString::fromStdString(m_texts.MailSubject)));
}

AboutWindow::AboutWindow(LinkOpener opener, QWidget* parent, core::AboutTexts texts)
    : QDialog(parent), m_opener(std::move(opener)), m_texts(std::move(texts))
{
    setObjectName(QStringLiteral("TAboutForm"));
    setModal(true);
    m_caption = DecorateWindow(this, QString::fromStdString(m_texts.Caption), false);
    connect(m_caption, &CaptionBar::CloseClicked, this, &QDialog::reject);

    m_client = new QWidget(this);

    auto* picture = new QLabel(m_client);
    picture->setObjectName(QStringLiteral("AboutPicture"));
    picture->setGeometry(kMargin, 8, 48, 48);
    picture->setPixmap(DrawApplicationPicture(48));

    m_title = new QLabel(QString::fromStdString(m_texts.Title), m_client);
    m_title->setObjectName(QStringLiteral("TitleLabel"));
    QFont titleFont;
    titleFont.setBold(true);
    titleFont.setPointSize(10);
    m_title->setFont(titleFont);

    for (QFrame*& separator : m_separators) {
        separator = new QFrame(m_client);
        separator->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    }

    m_homepageCaption = new QLabel(QStringLiteral("Homepage :"), m_client);
    m_homepage = new LinkLabel(QString::fromStdString(m_texts.HomepageAddress), m_client);
    m_homepage->setObjectName(QStringLiteral("HomepageLink"));
    connect(m_homepage, &LinkLabel::Clicked, this, [this] { m_opener(HomepageUrl()); });
    m_homepageCaption->setVisible(!m_texts.HomepageAddress.empty());
    m_homepage->setVisible(!m_texts.HomepageAddress.empty());

    m_supportCaption = new QLabel(QStringLiteral("Support :"), m_client);
    m_support = new LinkLabel(QString::fromStdString(m_texts.SupportAddress), m_client);
    m_support->setObjectName(QStringLiteral("SupportLink"));
    connect(m_support, &LinkLabel::Clicked, this, [this] { m_opener(SupportUrl()); });
    m_supportCaption->setVisible(!m_texts.SupportAddress.empty());
    m_support->setVisible(!m_texts.SupportAddress.empty());

    m_text = new QPlainTextEdit(m_client);
    m_text->setObjectName(QStringLiteral("AboutText"));
    m_text->setReadOnly(true);
    m_text->setFrameStyle(QFrame::NoFrame);
    QString body;
    for (const std::string& line : core::AboutBodyLines()) {
        body += QString::fromStdString(line) + QLatin1Char('\n');
    }
    m_text->setPlainText(body);
    QPalette textPalette = m_text->palette();
    textPalette.setColor(QPalette::Base, WindowGrey());
    m_text->setPalette(textPalette);
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The lines end where the text says; a narrow field must not fold them.
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);

    m_close = new QPushButton(QStringLiteral("Close"), m_client);
    m_close->setObjectName(QStringLiteral("CloseButton"));
    QFont buttonFont;
    buttonFont.setBold(true);
    m_close->setFont(buttonFont);
    m_close->setDefault(true);
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);

    PlaceTexts();
    CentreWhenShown(this);
}

void AboutWindow::PlaceTexts()
{
    // Every text gets the width its font needs; the window keeps its size unless a text is
    // wider than the window itself.
    const int lineHeight = QFontMetrics(font()).height();
    const int titleWidth = std::max(kClientWidth - 80, TextWidth(m_title, m_title->text()));
    const int titleHeight = std::max(20, QFontMetrics(m_title->font()).height());
    int fieldWidth = kClientWidth - 2 * kMargin + 8;
    for (const QString& line : m_text->toPlainText().split(QLatin1Char('\n'))) {
        fieldWidth = std::max(fieldWidth,
                              TextWidth(m_text, line) + 2 * static_cast<int>(m_text->document()->documentMargin()) + 1);
    }

    // A caption and its link share a row and a baseline; the links start in one column.
    const int captionWidth = std::max(TextWidth(m_homepageCaption, m_homepageCaption->text()),
                                      TextWidth(m_supportCaption, m_supportCaption->text()));
    const int linkLeft = std::max(kLinkLeft, kMargin + captionWidth + 4);
    const int rowStep = std::max(18, lineHeight + 2);
    int rightmost = std::max({70 + titleWidth + kMargin, kMargin - 4 + fieldWidth + kMargin - 4});
    const std::pair<QLabel*, QLabel*> rows[] = {{m_homepageCaption, m_homepage}, {m_supportCaption, m_support}};
    for (size_t i = 0; i < std::size(rows); ++i) {
        const auto& [caption, link] = rows[i];
        const int top = kFirstRowTop + static_cast<int>(i) * rowStep;
        const int linkWidth = TextWidth(link, link->text());
        caption->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        link->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        const int captionAscent = QFontMetrics(caption->font()).ascent();
        const int linkAscent = QFontMetrics(link->font()).ascent();
        const int baseline = top + std::max(captionAscent, linkAscent);
        caption->setGeometry(kMargin, baseline - captionAscent, TextWidth(caption, caption->text()),
                             QFontMetrics(caption->font()).height());
        link->setGeometry(linkLeft, baseline - linkAscent, linkWidth, QFontMetrics(link->font()).height());
        rightmost = std::max(rightmost, linkLeft + linkWidth + kMargin);
    }

    const int clientWidth = std::max(kClientWidth, rightmost);
    const int width = clientWidth + 2 * kFrameBorder;
    setFixedSize(width, kHeight);
    m_caption->setGeometry(0, 0, width, kCaptionHeight);
    m_client->setGeometry(kFrameBorder, kCaptionHeight, clientWidth, kHeight - kCaptionHeight - kFrameBorder);
    m_title->setGeometry(70, 22, titleWidth, titleHeight);
    const int separatorTops[] = {62, 112, 198};
    for (size_t i = 0; i < m_separators.size(); ++i) {
        m_separators[i]->setGeometry(kMargin, separatorTops[i], clientWidth - 2 * kMargin, 2);
    }
    m_text->setGeometry(kMargin - 4, 118, clientWidth - 2 * kMargin + 8, 76);
    m_close->setGeometry((clientWidth - 80) / 2, 207, 80, 24);
}

void AboutWindow::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    // The frame sets the window's font while the window is still being built.
    if (event->type() == QEvent::FontChange && m_close != nullptr) {
        PlaceTexts();
    }
}

void AboutWindow::paintEvent(QPaintEvent*)
{
    PaintWindowOutline(this);
}

} // namespace calventa::ui
