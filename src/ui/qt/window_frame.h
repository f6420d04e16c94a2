#pragma once

#include <QColor>
#include <QPalette>
#include <QPoint>
#include <QString>
#include <QWidget>

class QToolButton;

namespace calventa::ui {

// The program draws its own window frames: a 17-pixel caption strip and a 3-pixel border
// on the other sides. Window sizes handed over by the presenters are outer sizes, frame
// included, and so hold exactly whatever the window manager does.
inline constexpr int kCaptionHeight = 17;
inline constexpr int kFrameBorder = 3;

// The caption strip: the caption text on the program's gradient, an optional minimize
// control and a close control; dragging it moves its window.
class CaptionBar : public QWidget
{
    Q_OBJECT
public:
    CaptionBar(const QString& caption, bool withMinimize, QWidget* window);

    QString Caption() const { return m_caption; }

signals:
    void MinimizeClicked();
    void CloseClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString m_caption;
    QToolButton* m_minimize = nullptr;
    QToolButton* m_close = nullptr;
    bool m_dragging = false;
    QPoint m_dragOffset;
};

// The program's own light colours on `background`, every role of every group set: black
// text on the grey and on white fields, the menu's blue for selections, grey for what is
// disabled. The windows keep their look whatever palette the desktop hands Qt, so a dark
// desktop theme cannot put its light text on the program's light grey.
QPalette ProgramPalette(const QColor& background);

// Gives `window` (and through it every control inside) the program palette on `background`.
// Every window of the program goes through here, directly or by DecorateWindow.
void ApplyProgramPalette(QWidget* window, const QColor& background);

// Makes `window` a frameless top-level window in the program's grey with its caption bar
// along the top; returns the bar. The client area starts at (kFrameBorder, kCaptionHeight).
CaptionBar* DecorateWindow(QWidget* window, const QString& caption, bool withMinimize);

// Caption across the top and client inside the border, for a window's resize handler.
void PlaceFrameParts(QWidget* window, QWidget* caption, QWidget* client);

// The thin outline around a decorated window; its paint handler calls this.
void PaintWindowOutline(QWidget* window);

// Moves a top-level window so that its frame, as the window system reports it, stands in the
// middle of its screen. Centring the client area and guessing the frame puts a frameless
// window off centre by the guess.
void CentreOnDesktop(QWidget* window);

// Centres `window` each time it is shown, and once more if the window manager's frame turns
// out larger than Qt knew at that moment (a frame is reported after the window is mapped).
void CentreWhenShown(QWidget* window);

// The width `text` takes in `widget`'s font: what a label must hold for nothing to be cut.
int TextWidth(const QWidget* widget, const QString& text);

} // namespace calventa::ui
