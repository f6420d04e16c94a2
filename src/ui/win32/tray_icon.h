#pragma once

#include <windows.h>

#include <shellapi.h>

#include <array>
#include <functional>
#include <string>

#include "core/tray_presenter.h"
#include "ui/win32/win32_support.h"
#include "ui/win32/window_base.h"

namespace calventa::ui::win32 {

enum class TrayItem { Restore, Minimize, Settings, History, About, InstallService, UninstallService, Exit };

// The menu command of an item.
UINT CommandOf(TrayItem item);

// Where the icon's Shell_NotifyIcon calls go: the notification area, or a test's record.
class NotifyIconCalls
{
public:
    virtual ~NotifyIconCalls() = default;
    virtual bool Notify(DWORD message, NOTIFYICONDATAW& data) = 0;
};

class ShellNotifyIconCalls final : public NotifyIconCalls
{
public:
    bool Notify(DWORD message, NOTIFYICONDATAW& data) override { return Shell_NotifyIconW(message, &data) != FALSE; }
};

// The digits of `request` drawn with GDI into a 16 × 16 32-bit icon: the text's pixels in
// the request's colour, everything else transparent (alpha 0 and set in the mask).
HICON DrawTrayIcon(const core::TrayIconRequest& request);

// The notification-area icon with its tip and menu, owned by a hidden window of its own
// that receives the icon's mouse messages and the shell's "TaskbarCreated" (a notification
// area started after the program gets the icon again). Mouse handling starts off: clicks do
// nothing until the program switches it on. A double click runs the default item; until a
// double click has been seen, a single click runs it after the double-click time when it
// is "Restore", for notification areas that pass single clicks only.
class TrayIcon final : public WindowBase
{
public:
    static constexpr UINT kCallbackMessage = WM_APP + 1;
    static constexpr int kMaxTipLength = 127;

    TrayIcon(std::function<void(TrayItem)> onItem, NotifyIconCalls* calls = nullptr);
    ~TrayIcon() override;

    // Puts the icon into the notification area.
    void Show();
    // Exit: the icon leaves the notification area and the menu is freed.
    void Remove();
    bool Removed() const { return m_removed; }
    bool Added() const { return m_added; }

    void Render(const core::TrayContent& content);

    void SetMouseHandling(bool on) { m_mouseHandling = on; }
    bool MouseHandling() const { return m_mouseHandling; }
    void SetDefaultItem(TrayItem item);
    TrayItem DefaultItem() const { return m_default; }
    void EnableItem(TrayItem item, bool enabled);
    bool ItemEnabled(TrayItem item) const;

    // Opens the menu at a screen point and runs the chosen item (nothing while mouse
    // handling is off).
    void OpenMenu(POINT at);
    void DoubleClick();

    HMENU Menu() const { return m_menu; }
    std::wstring Tip() const { return m_tip; }
    HICON CurrentIcon() const;
    // The icon shows digits (not the program's own icon).
    bool ShowsDigits() const { return m_digits.Get() != nullptr; }

private:
    void OnMessage(WndEvent& event) override;
    void Notify(DWORD message);
    void Run(TrayItem item);

    std::function<void(TrayItem)> m_onItem;
    ShellNotifyIconCalls m_shell;
    NotifyIconCalls& m_calls;
    HMENU m_menu = nullptr;
    UINT m_taskbarCreated = 0;
    std::wstring m_tip;
    OwnedIcon m_digits;
    TrayItem m_default = TrayItem::Minimize;
    bool m_mouseHandling = false;
    core::TrayClicks m_clicks;
    bool m_added = false;
    bool m_removed = false;
    bool m_menuOpen = false;
};

} // namespace calventa::ui::win32
