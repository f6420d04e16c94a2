#include "app/desktop_notices.h"

#include <QCheckBox>
#include <QMessageBox>

namespace calventa::app {

void DesktopNotices::ShowAdminNotice()
{
    QMessageBox notice(QMessageBox::Information, QStringLiteral("Calventa"),
                       QStringLiteral("The program starts with non-administrative privileges.\n"
                                      "To receive temperature of hard disks in this mode it is necessary to "
                                      "install service.\n"
                                      "For example:\t\n"
                                      "  1. Log in Windows with administrative privileges.\n"
                                      "  2. Start Calventa (if not start automatically).\n"
                                      "  3. Click right button of mouse on tray icon and select \"Install Service\"."),
                       QMessageBox::Ok);
    notice.setWindowFlag(Qt::WindowStaysOnTopHint);
    auto* doNotShow = new QCheckBox(QStringLiteral("Do not show me again"));
    notice.setCheckBox(doNotShow);
    notice.exec();
    // Written into the live block at once, as the notice's own choice.
    if (doNotShow->isChecked() && m_state.Settings.ShowAdminNotice != 0) {
        m_state.Settings.ShowAdminNotice = 0;
        m_state.SaveSettings();
    }
}

void DesktopNotices::ShowMessage(const std::string& text)
{
    QMessageBox::information(nullptr, QStringLiteral("Calventa"), QString::fromStdString(text));
}

void DesktopNotices::ShowWarning(const std::string& caption, const std::string& text)
{
    QMessageBox::warning(nullptr, QString::fromStdString(caption), QString::fromStdString(text));
}

} // namespace calventa::app
