#include "desktop/qt/desktop_notices.h"

#include <QMessageBox>

#include "ui/qt/notice_window.h"

namespace calventa::app {

void DesktopNotices::ShowAdminNotice()
{
    if (!m_silenced) {
        ui::RunNotice(m_state, core::NoticeKind::AdminNotice, m_family);
    }
}

void DesktopNotices::ShowMessage(const std::string& text)
{
    if (m_silenced) {
        return;
    }
    QMessageBox::information(nullptr, QStringLiteral("Calventa"), QString::fromStdString(text));
}

void DesktopNotices::ShowWarning(const std::string& caption, const std::string& text)
{
    if (m_silenced) {
        return;
    }
    QMessageBox::warning(nullptr, QString::fromStdString(caption), QString::fromStdString(text));
}

} // namespace calventa::app
