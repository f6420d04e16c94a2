#include "ui/qt/window_frame.h"

#include <algorithm>

#include <QElapsedTimer>
#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QToolButton>
#include <QWindow>

#include "ui/qt/artwork.h"

namespace calventa::ui {

namespace {

constexpr int kButtonSize = 13;

// Watches a window for CentreWhenShown. The window manager's frame may be reported with no
// move of the client area at all, so every event of the first moments after showing looks at
// the frame.
class FrameCentring : public QObject
{
public:
    explicit FrameCentring(QWidget* window) : QObject(window), m_window(window) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_window) {
            return false;
        }
        if (event->type() == QEvent::Show) {
            CentreOnDesktop(m_window);
            m_frame = m_window->frameGeometry();
            m_shown.start();
            return false;
        }
        if (!m_shown.isValid() || m_shown.elapsed() > kFrameWaitMs) {
            return false;
        }
        const QRect frame = m_window->frameGeometry();
        if (frame.size() != m_frame.size()) {
            m_shown.invalidate();
            CentreOnDesktop(m_window);
        } else if (frame.topLeft() != m_frame.topLeft()) {
            m_shown.invalidate(); // moved by the user or the window manager: leave it there
        }
        return false;
    }

private:
    static constexpr qint64 kFrameWaitMs = 2000;

    QWidget* m_window;
    QRect m_frame;
    QElapsedTimer m_shown;
};

QToolButton* MakeCaptionButton(QWidget* parent, const QString& objectName, const QString& text)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(objectName);
    button->setText(text);
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoRaise(true);
    button->setStyleSheet(QStringLiteral("QToolButton { color: white; border: none; font-weight: bold; padding: 0; }"
                                         "QToolButton:hover { background: #4A68A1; }"));
    button->resize(kButtonSize, kButtonSize);
    return button;
}

} // namespace

QPalette ProgramPalette(const QColor& background)
{
    const QColor text(Qt::black);
    const QColor disabledText(0x6D, 0x6D, 0x6D); // still 3:1 on the grey, 5:1 on white
    const QColor selection = FromColorValue(0x00A1684A);
    QPalette palette;
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool disabled = group == QPalette::Disabled;
        const QColor foreground = disabled ? disabledText : text;
        palette.setColor(group, QPalette::Window, background);
        palette.setColor(group, QPalette::WindowText, foreground);
        palette.setColor(group, QPalette::Base, disabled ? background : QColor(Qt::white));
        palette.setColor(group, QPalette::AlternateBase, QColor(0xEE, 0xEE, 0xEE));
        palette.setColor(group, QPalette::Text, foreground);
        palette.setColor(group, QPalette::PlaceholderText, disabledText);
        palette.setColor(group, QPalette::Button, background);
        palette.setColor(group, QPalette::ButtonText, foreground);
        palette.setColor(group, QPalette::BrightText, Qt::white);
        palette.setColor(group, QPalette::Light, background.lighter(150));
        palette.setColor(group, QPalette::Midlight, background.lighter(115));
        palette.setColor(group, QPalette::Mid, background.darker(150));
        palette.setColor(group, QPalette::Dark, background.darker(200));
        palette.setColor(group, QPalette::Shadow, Qt::black);
        palette.setColor(group, QPalette::Highlight, disabled ? disabledText : selection);
        palette.setColor(group, QPalette::HighlightedText, Qt::white);
        palette.setColor(group, QPalette::ToolTipBase, QColor(0xFF, 0xFF, 0xE1));
        palette.setColor(group, QPalette::ToolTipText, text);
        palette.setColor(group, QPalette::Link, QColor(0x00, 0x00, 0xCC));
        palette.setColor(group, QPalette::LinkVisited, QColor(0x55, 0x1A, 0x8B));
    }
    return palette;
}

void ApplyProgramPalette(QWidget* window, const QColor& background)
{
    window->setPalette(ProgramPalette(background));
    window->setAutoFillBackground(true);
}

CaptionBar::CaptionBar(const QString& caption, bool withMinimize, QWidget* window) : QWidget(window), m_caption(caption)
{
    setObjectName(QStringLiteral("CaptionBar"));
    if (withMinimize) {
        m_minimize = MakeCaptionButton(this, QStringLiteral("MinimizeControl"), QStringLiteral("\u2013"));
        connect(m_minimize, &QToolButton::clicked, this, &CaptionBar::MinimizeClicked);
    }
    m_close = MakeCaptionButton(this, QStringLiteral("CloseControl"), QStringLiteral("\u00D7"));
    connect(m_close, &QToolButton::clicked, this, &CaptionBar::CloseClicked);
}

void CaptionBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QLinearGradient gradient(0, 0, width(), 0);
    gradient.setColorAt(0, FromColorValue(0x00512B17));
    gradient.setColorAt(1, FromColorValue(0x008E766B));
    p.fillRect(rect(), gradient);
    QFont font = WindowFont();
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    const int buttons = (m_minimize != nullptr ? 2 : 1) * (kButtonSize + 1);
    p.drawText(QRect(5, 0, width() - 5 - buttons, height()), Qt::AlignLeft | Qt::AlignVCenter, m_caption);
}

void CaptionBar::resizeEvent(QResizeEvent*)
{
    const int top = (height() - kButtonSize) / 2;
    int left = width() - kButtonSize - 3;
    m_close->move(left, top);
    if (m_minimize != nullptr) {
        m_minimize->move(left - kButtonSize - 1, top);
    }
}

void CaptionBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        return;
    }
    // Let the window manager move the window where it can (Wayland allows nothing else).
    QWindow* handle = window()->windowHandle();
    if (handle != nullptr && handle->startSystemMove()) {
        return;
    }
    m_dragging = true;
    m_dragOffset = event->globalPosition().toPoint() - window()->pos();
}

void CaptionBar::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging) {
        window()->move(event->globalPosition().toPoint() - m_dragOffset);
    }
}

void CaptionBar::mouseReleaseEvent(QMouseEvent*)
{
    m_dragging = false;
}

CaptionBar* DecorateWindow(QWidget* window, const QString& caption, bool withMinimize)
{
    window->setWindowTitle(caption);
    window->setWindowFlag(Qt::FramelessWindowHint, true);
    window->setFont(WindowFont());
    ApplyProgramPalette(window, WindowGrey());
    auto* bar = new CaptionBar(caption, withMinimize, window);
    bar->setGeometry(0, 0, window->width(), kCaptionHeight);
    return bar;
}

void PlaceFrameParts(QWidget* window, QWidget* caption, QWidget* client)
{
    caption->setGeometry(0, 0, window->width(), kCaptionHeight);
    client->setGeometry(kFrameBorder, kCaptionHeight, window->width() - 2 * kFrameBorder,
                        std::max(0, window->height() - kCaptionHeight - kFrameBorder));
}

void PaintWindowOutline(QWidget* window)
{
    QPainter p(window);
    p.setPen(FromColorValue(0x00512B17));
    p.drawRect(window->rect().adjusted(0, 0, -1, -1));
}

void CentreOnDesktop(QWidget* window)
{
    const QScreen* screen = window->screen();
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->geometry();
    const QRect frame = window->frameGeometry();
    // A top-level window's position is its frame's corner.
    window->move(area.x() + (area.width() - frame.width()) / 2, area.y() + (area.height() - frame.height()) / 2);
}

void CentreWhenShown(QWidget* window)
{
    window->installEventFilter(new FrameCentring(window));
}

int TextWidth(const QWidget* widget, const QString& text)
{
    return QFontMetrics(widget->font()).horizontalAdvance(text);
}

} // namespace calventa::ui
