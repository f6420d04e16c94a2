#pragma once

#include <QDialog>
#include <QPixmap>

#include "core/monitor_state.h"
#include "core/notice_presenter.h"

class QCheckBox;

namespace calventa::ui {

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
    void paintEvent(QPaintEvent* event) override;

private:
    QCheckBox* m_doNotShow = nullptr;
};

// The notice's 32 × 32 picture: an information sign, or a warning sign for the fan warning.
QPixmap DrawNoticePicture(core::NoticeKind kind);

// Creates the notice, shows it modally and frees it; "OK" writes the choice of its box into
// the live block (and settings.dat) at once.
void RunNotice(core::MonitorState& state, core::NoticeKind kind, platform::PlatformFamily family);

} // namespace calventa::ui
