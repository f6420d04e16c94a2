#include "ui/pending_windows.h"

#include <QLabel>
#include <QPushButton>

#include "ui/window_frame.h"

namespace calventa::ui {

OptionsWindow::OptionsWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TOptionsForm"));
    setFixedSize(260, 110);
    CaptionBar* caption = DecorateWindow(this, QStringLiteral("Options"), false);
    caption->setGeometry(0, 0, width(), kCaptionHeight);
    connect(caption, &CaptionBar::CloseClicked, this, &QDialog::reject);
    auto* text = new QLabel(QStringLiteral("The options pages are not available in this build."), this);
    text->setWordWrap(true);
    text->setGeometry(12, kCaptionHeight + 10, width() - 24, 36);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("CloseButton"));
    close->setGeometry((width() - 80) / 2, height() - 34, 80, 24);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

void OptionsWindow::paintEvent(QPaintEvent*)
{
    PaintWindowOutline(this);
}

ServiceWindow::ServiceWindow(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TSvcForm"));
    DecorateWindow(this, QStringLiteral("Calventa"), false);
}

} // namespace calventa::ui
