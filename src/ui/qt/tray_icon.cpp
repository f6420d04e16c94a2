#include "ui/qt/tray_icon.h"

#include <QApplication>

#include <QLinearGradient>
#include <QPainter>

#include "ui/qt/artwork.h"

namespace calventa::ui {

namespace {

struct MenuEntry
{
    TrayItem Item;
    const char* Caption;
    MenuPicture Picture;
    bool SeparatorBefore;
};

constexpr std::array<MenuEntry, 8> kItems{{
    {TrayItem::Restore, "Restore", MenuPicture::Restore, false},
    {TrayItem::Minimize, "Minimize", MenuPicture::Minimize, false},
    {TrayItem::Settings, "Settings..", MenuPicture::Settings, true},
    {TrayItem::History, "History..", MenuPicture::History, false},
    {TrayItem::About, "About..", MenuPicture::About, false},
    {TrayItem::InstallService, "Install Service", MenuPicture::InstallService, true},
    {TrayItem::UninstallService, "Uninstall Service", MenuPicture::UninstallService, false},
    {TrayItem::Exit, "Exit", MenuPicture::Exit, true},
}};

size_t IndexOf(TrayItem item)
{
    return static_cast<size_t>(item);
}

} // namespace

TrayMenu::TrayMenu(QWidget* parent) : QMenu(parent)
{
    setObjectName(QStringLiteral("TrayMenu"));
    // Colours are the program's Windows values: grey 0x00CBCBCB, selection 0x00A1684A.
    setStyleSheet(QStringLiteral("QMenu { background-color: #CBCBCB; border: 1px solid #512B17;"
                                 " font-family: Tahoma, Arial, 'Nimbus Sans', sans-serif; font-size: 11px;"
                                 " padding: 2px 2px 2px %1px; }"
                                 "QMenu::item { color: black; padding: 3px 18px 3px 26px; }"
                                 "QMenu::item:selected { background-color: #4A68A1; color: white; }"
                                 "QMenu::item:disabled { color: #7A7A7A; }"
                                 "QMenu::icon { padding-left: 4px; }"
                                 "QMenu::separator { height: 1px; background: #8A8A8A; margin: 3px 4px; }")
                      .arg(kSideBarWidth + 2));
}

void TrayMenu::paintEvent(QPaintEvent* event)
{
    QMenu::paintEvent(event);
    QPainter p(this);
    const QRect bar(1, 1, kSideBarWidth, height() - 2);
    QLinearGradient gradient(bar.topLeft(), bar.bottomLeft());
    gradient.setColorAt(0, FromColorValue(0x008E766B));
    gradient.setColorAt(1, FromColorValue(0x00512B17));
    p.fillRect(bar, gradient);
    QFont font(QStringLiteral("Tahoma"));
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Arial"), QStringLiteral("Nimbus Sans"),
                      QStringLiteral("DejaVu Sans")});
    font.setBold(true);
    font.setPixelSize(15);
    p.setFont(font);
    p.setPen(Qt::white);
    // Read from bottom to top, starting at the bar's foot.
    p.translate(bar.left(), bar.bottom());
    p.rotate(-90);
    p.drawText(QRect(6, 0, bar.height() - 6, bar.width()), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Calventa"));
}

TrayIcon::TrayIcon(QObject* parent)
    : QObject(parent), m_menu(std::make_unique<TrayMenu>()), m_applicationIcon(ApplicationIcon())
{
    for (const MenuEntry& entry : kItems) {
        if (entry.SeparatorBefore) {
            m_menu->addSeparator();
        }
        QAction* action = m_menu->addAction(QIcon(DrawMenuPicture(entry.Picture)), QString::fromLatin1(entry.Caption));
        action->setObjectName(QString::fromLatin1(entry.Caption));
        m_actions[IndexOf(entry.Item)] = action;
    }
    SetDefaultItem(TrayItem::Minimize);

    m_icon = new QSystemTrayIcon(m_applicationIcon, this);
    m_icon->setObjectName(QStringLiteral("TrayIcon"));
    connect(m_icon, &QSystemTrayIcon::activated, this, &TrayIcon::Activate);
    m_singleClickTimer.setSingleShot(true);
    connect(&m_singleClickTimer, &QTimer::timeout, this, &TrayIcon::SingleClick);
}

TrayIcon::~TrayIcon()
{
    Remove();
}

void TrayIcon::Show()
{
    // Also without a notification area: a panel started after the program (its autostart
    // entry runs before the panel's) then receives the icon as soon as it appears.
    if (m_icon != nullptr) {
        m_icon->show();
    }
}

void TrayIcon::Remove()
{
    m_mouseHandling = false;
    if (m_icon != nullptr) {
        m_icon->hide();
        m_icon->setContextMenu(nullptr);
        delete m_icon;
        m_icon = nullptr;
    }
    m_menu.reset();
    m_actions.fill(nullptr);
}

void TrayIcon::Render(const core::TrayContent& content)
{
    QString tip = QString::fromStdString(content.Tip);
    // The tip's line breaks are CR LF; Qt breaks tool tips at LF alone.
    tip.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_toolTip = tip.left(kMaxTipLength);
    m_image = content.Icon ? DrawTrayIcon(*content.Icon) : QImage();
    if (m_icon != nullptr) {
        m_icon->setToolTip(m_toolTip);
        m_icon->setIcon(CurrentIcon());
    }
}

QIcon TrayIcon::CurrentIcon() const
{
    return m_image.isNull() ? m_applicationIcon : QIcon(QPixmap::fromImage(m_image));
}

void TrayIcon::SetMouseHandling(bool on)
{
    m_mouseHandling = on;
    // Without a context menu a right click opens nothing.
    if (m_icon != nullptr) {
        m_icon->setContextMenu(on ? m_menu.get() : nullptr);
    }
}

void TrayIcon::DoubleClick()
{
    QAction* action = Action(m_default);
    if (m_mouseHandling && action != nullptr && action->isEnabled()) {
        action->trigger();
    }
}

void TrayIcon::SetDefaultItem(TrayItem item)
{
    m_default = item;
    if (!m_menu) {
        return;
    }
    for (const MenuEntry& entry : kItems) {
        QAction* action = m_actions[IndexOf(entry.Item)];
        QFont font = action->font();
        font.setBold(entry.Item == item);
        action->setFont(font);
    }
    m_menu->setDefaultAction(m_actions[IndexOf(item)]);
}

QAction* TrayIcon::Action(TrayItem item) const
{
    return m_actions[IndexOf(item)];
}

void TrayIcon::Activate(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::DoubleClick) {
        m_clicks.DoubleClick();
        m_singleClickTimer.stop();
        DoubleClick();
    } else if (reason == QSystemTrayIcon::Trigger && m_clicks.WaitAfterSingleClick(m_mouseHandling)) {
        m_singleClickTimer.start(QApplication::doubleClickInterval());
    }
}

void TrayIcon::SingleClick()
{
    if (m_clicks.RunDefaultAfterWait(m_default == TrayItem::Restore)) {
        DoubleClick(); // the same checks: mouse handling on, the item enabled
    }
}

} // namespace calventa::ui
