#pragma once

#include <QIcon>
#include <QImage>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>
#include <array>
#include <memory>

#include "core/tray_presenter.h"

namespace calventa::ui {

enum class TrayItem { Restore, Minimize, Settings, History, About, InstallService, UninstallService, Exit };

// The tray menu: the program's grey, the selected item white on blue, and a side bar with
// the program's name on a gradient.
class TrayMenu : public QMenu
{
    Q_OBJECT
public:
    static constexpr int kSideBarWidth = 18;
    explicit TrayMenu(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The notification-area icon with its tip and menu. Mouse handling starts off: clicks do
// nothing until the program switches it on, and the About window switches it off again
// while it is open. A double click runs the default item. Some notification areas pass only
// single clicks: until a double click has been seen, a single click that no second one
// follows runs the default item when that is "Restore", so the hidden window comes back.
class TrayIcon : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaxTipLength = 127;

    explicit TrayIcon(QObject* parent = nullptr);
    ~TrayIcon() override;

    static bool Available() { return QSystemTrayIcon::isSystemTrayAvailable(); }

    // Puts the icon into the notification area, now or as soon as one appears.
    void Show();
    // Show was called and the icon is not removed, whether or not a notification area exists.
    bool ShowRequested() const { return m_icon != nullptr && m_icon->isVisible(); }
    // Tray "Exit": the icon leaves the notification area and the menu is freed.
    void Remove();
    bool Removed() const { return m_icon == nullptr; }

    void Render(const core::TrayContent& content);

    void SetMouseHandling(bool on);
    bool MouseHandling() const { return m_mouseHandling; }
    // A double click on the icon; ignored while mouse handling is off.
    void DoubleClick();
    // What the notification area reports of a click on the icon.
    void Activate(QSystemTrayIcon::ActivationReason reason);

    // Exactly one item is the default: bold, and run by a double click.
    void SetDefaultItem(TrayItem item);
    TrayItem DefaultItem() const { return m_default; }

    QAction* Action(TrayItem item) const;
    QMenu* Menu() const { return m_menu.get(); }
    QString ToolTip() const { return m_toolTip; }
    // The digits image, or a null image while the application's icon is shown.
    QImage IconImage() const { return m_image; }
    QIcon CurrentIcon() const;

private:
    void SingleClick();

    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon* m_icon = nullptr;
    std::array<QAction*, 8> m_actions{};
    QIcon m_applicationIcon;
    QImage m_image;
    QString m_toolTip;
    TrayItem m_default = TrayItem::Minimize;
    bool m_mouseHandling = false;
    core::TrayClicks m_clicks;
    QTimer m_singleClickTimer; // waits out the double-click time after a single click
};

} // namespace calventa::ui
