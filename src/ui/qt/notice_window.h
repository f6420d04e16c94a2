#pragma once

#include <QDialog>
#include <QPixmap>
#include <array>

#include "core/monitor_state.h"
#include "core/notice_presenter.h"

class QCheckBox;
class QFrame;
class QPlainTextEdit;
class QPushButton;

namespace calventa::ui {

class CaptionBar;

// Tnform and Tf2: a picture, the notice's lines between two separators, "Do not show me
// again" (clear) and "OK", which reports the box and closes the window. Always on top, no
// title-bar controls. Object names: "NoticePicture", "NoticeText", "DoNotShowAgain",
// "OkButton".
class NoticeWindow : public QDialog
{
    Q_OBJECT
public:
    NoticeWindow(const core::NoticeContent& content, core::NoticeKind kind, QWidget* parent = nullptr);

signals:
    void OkClicked(bool doNotShowAgain);

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void PlaceTexts();

    int m_width = 0;
    int m_height = 0;
    CaptionBar* m_caption = nullptr;
    QWidget* m_client = nullptr;
    QPlainTextEdit* m_text = nullptr;
    QCheckBox* m_doNotShow = nullptr;
    QPushButton* m_ok = nullptr;
    std::array<QFrame*, 2> m_separators{};
};

// The notice's 32 × 32 picture: an information sign, or a warning sign for the fan warning.
QPixmap DrawNoticePicture(core::NoticeKind kind);

// Creates the notice, shows it modally and frees it; "OK" writes the choice of its box into
// the live block (and settings.dat) at once.
void RunNotice(core::MonitorState& state, core::NoticeKind kind, platform::PlatformFamily family);

} // namespace calventa::ui
