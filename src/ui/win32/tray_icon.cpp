#include "ui/win32/tray_icon.h"

#include <algorithm>
#include <cwchar>

namespace calventa::ui::win32 {

namespace {

constexpr const wchar_t* kClassName = L"CalventaTray";
constexpr UINT kTrayId = 1;
constexpr UINT_PTR kSingleClickTimer = 1;
constexpr int kIconSize = 16;

struct MenuEntry
{
    TrayItem Item;
    const char* Caption;
    bool SeparatorBefore;
};

constexpr std::array<MenuEntry, 8> kItems{{
    {TrayItem::Restore, "Restore", false},
    {TrayItem::Minimize, "Minimize", false},
    {TrayItem::Settings, "Settings..", true},
    {TrayItem::History, "History..", false},
    {TrayItem::About, "About..", false},
    {TrayItem::InstallService, "Install Service", true},
    {TrayItem::UninstallService, "Uninstall Service", false},
    {TrayItem::Exit, "Exit", true},
}};

COLORREF ColourOf(int32_t value)
{
    const auto bits = static_cast<uint32_t>(value);
    return RGB(bits & 0xFF, (bits >> 8) & 0xFF, (bits >> 16) & 0xFF);
}

} // namespace

UINT CommandOf(TrayItem item)
{
    return 100 + static_cast<UINT>(item);
}

HICON DrawTrayIcon(const core::TrayIconRequest& request)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = kIconSize;
    info.bmiHeader.biHeight = -kIconSize; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HDC screen = GetDC(nullptr);
    GdiObject<HBITMAP> colour(CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    ReleaseDC(nullptr, screen);
    if (colour.Get() == nullptr || bits == nullptr) {
        return nullptr;
    }
    const HDC dc = CreateCompatibleDC(nullptr);
    const HGDIOBJ oldBitmap = SelectObject(dc, colour.Get());
    auto* pixels = static_cast<uint32_t*>(bits);
    std::fill(pixels, pixels + kIconSize * kIconSize, 0u);
    // White text on black, without smoothing: a pixel is either the digit's or transparent.
    const int pixelHeight = std::clamp(MulDiv(std::clamp(request.PointSize, 1, 48), kDesignDpi, 72), 1, 64);
    Font font(CreateFontW(-pixelHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Arial"));
    const HGDIOBJ oldFont = SelectObject(dc, font.Get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    const std::wstring text = Wide(request.Text);
    // The text box starts at (x, y) like a text-out; what passes the edge is cut off.
    TextOutW(dc, std::clamp(request.X, -kIconSize, kIconSize), std::clamp(request.Y, -kIconSize, kIconSize),
             text.c_str(), static_cast<int>(std::min<size_t>(text.size(), 32)));
    GdiFlush();
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteDC(dc);

    const COLORREF wanted = ColourOf(request.Color);
    const uint32_t drawn = 0xFF000000u | (static_cast<uint32_t>(GetRValue(wanted)) << 16) |
                           (static_cast<uint32_t>(GetGValue(wanted)) << 8) | GetBValue(wanted);
    // The mask: one bit per pixel, rows padded to 16 bits; set where the icon is transparent.
    std::array<uint8_t, kIconSize * 2> mask{};
    for (int y = 0; y < kIconSize; ++y) {
        for (int x = 0; x < kIconSize; ++x) {
            uint32_t& pixel = pixels[y * kIconSize + x];
            const bool lit = (pixel & 0x00FFFFFFu) != 0;
            pixel = lit ? drawn : 0u;
            if (!lit) {
                mask[static_cast<size_t>(y * 2 + x / 8)] |= static_cast<uint8_t>(0x80u >> (x % 8));
            }
        }
    }
    GdiObject<HBITMAP> maskBitmap(CreateBitmap(kIconSize, kIconSize, 1, 1, mask.data()));
    ICONINFO icon{};
    icon.fIcon = TRUE;
    icon.hbmColor = colour.Get();
    icon.hbmMask = maskBitmap.Get();
    return CreateIconIndirect(&icon); // copies both bitmaps
}

TrayIcon::TrayIcon(std::function<void(TrayItem)> onItem, NotifyIconCalls* calls)
    : m_onItem(std::move(onItem)), m_calls(calls != nullptr ? *calls : m_shell)
{
    m_taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    // A hidden top-level window: message-only windows do not get the shell's broadcast.
    CreateTopLevel(kClassName, L"Calventa tray", WS_POPUP, WS_EX_TOOLWINDOW, 0, 0, 0, 0);
    m_menu = CreatePopupMenu();
    for (const MenuEntry& entry : kItems) {
        if (entry.SeparatorBefore) {
            AppendMenuW(m_menu, MF_SEPARATOR, 0, nullptr);
        }
        AppendMenuW(m_menu, MF_STRING, CommandOf(entry.Item), Wide(entry.Caption).c_str());
    }
    SetDefaultItem(TrayItem::Minimize);
}

TrayIcon::~TrayIcon()
{
    Remove();
}

void TrayIcon::Notify(DWORD message)
{
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = Handle(); // the window itself, never a handle stored after creation
    data.uID = kTrayId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kCallbackMessage;
    data.hIcon = CurrentIcon();
    wcsncpy(data.szTip, m_tip.c_str(), std::size(data.szTip) - 1);
    if (message == NIM_DELETE) {
        data.uFlags = 0;
    }
    const bool done = m_calls.Notify(message, data);
    if (message == NIM_ADD) {
        m_added = done;
    } else if (message == NIM_DELETE) {
        m_added = false;
    } else if (message == NIM_MODIFY && !done && !m_added) {
        // Not in the notification area yet (none was there at start-up): try to add it again.
        m_added = m_calls.Notify(NIM_ADD, data);
    }
}

void TrayIcon::Show()
{
    if (!m_removed && Handle() != nullptr) {
        Notify(NIM_ADD);
    }
}

void TrayIcon::Remove()
{
    m_mouseHandling = false;
    if (m_removed) {
        return;
    }
    m_removed = true;
    if (Handle() != nullptr) {
        KillTimer(Handle(), kSingleClickTimer);
        Notify(NIM_DELETE);
    }
    if (m_menu != nullptr && !m_menuOpen) {
        DestroyMenu(m_menu);
        m_menu = nullptr;
    }
}

void TrayIcon::Render(const core::TrayContent& content)
{
    std::wstring tip = Wide(content.Tip);
    if (tip.size() > kMaxTipLength) {
        tip.resize(kMaxTipLength);
    }
    m_tip = tip;
    m_digits.Reset(content.Icon ? DrawTrayIcon(*content.Icon) : nullptr);
    if (!m_removed && Handle() != nullptr) {
        Notify(NIM_MODIFY);
    }
}

HICON TrayIcon::CurrentIcon() const
{
    return m_digits.Get() != nullptr ? m_digits.Get() : ProgramIcon(kIconSize);
}

void TrayIcon::SetDefaultItem(TrayItem item)
{
    m_default = item;
    if (m_menu != nullptr) {
        SetMenuDefaultItem(m_menu, CommandOf(item), FALSE);
    }
}

void TrayIcon::EnableItem(TrayItem item, bool enabled)
{
    if (m_menu != nullptr) {
        EnableMenuItem(m_menu, CommandOf(item), MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    }
}

bool TrayIcon::ItemEnabled(TrayItem item) const
{
    if (m_menu == nullptr) {
        return false;
    }
    const UINT state = GetMenuState(m_menu, CommandOf(item), MF_BYCOMMAND);
    return state != static_cast<UINT>(-1) && (state & (MF_GRAYED | MF_DISABLED)) == 0;
}

void TrayIcon::Run(TrayItem item)
{
    if (m_mouseHandling && ItemEnabled(item) && m_onItem) {
        m_onItem(item);
    }
}

void TrayIcon::DoubleClick()
{
    Run(m_default);
}

void TrayIcon::OpenMenu(POINT at)
{
    if (!m_mouseHandling || m_menu == nullptr || m_menuOpen) {
        return;
    }
    // The menu closes when the user clicks elsewhere only if its owner is in the foreground.
    SetForegroundWindow(Handle());
    m_menuOpen = true;
    const UINT command = static_cast<UINT>(
        TrackPopupMenu(m_menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, Handle(), nullptr));
    m_menuOpen = false;
    PostMessageW(Handle(), WM_NULL, 0, 0);
    if (m_removed && m_menu != nullptr) {
        DestroyMenu(m_menu);
        m_menu = nullptr;
        return;
    }
    for (const MenuEntry& entry : kItems) {
        if (command == CommandOf(entry.Item)) {
            Run(entry.Item);
            return;
        }
    }
}

void TrayIcon::OnMessage(WndEvent& event)
{
    if (event.Message == m_taskbarCreated && m_taskbarCreated != 0) {
        // The notification area was (re)started: the icon it had is gone.
        if (!m_removed) {
            Notify(NIM_ADD);
        }
        event.Handled = true;
        return;
    }
    if (event.Message == WM_TIMER && event.WParam == kSingleClickTimer) {
        KillTimer(Handle(), kSingleClickTimer);
        if (m_clicks.RunDefaultAfterWait(m_default == TrayItem::Restore)) {
            DoubleClick();
        }
        event.Handled = true;
        return;
    }
    if (event.Message != kCallbackMessage) {
        return;
    }
    event.Handled = true;
    switch (LOWORD(event.LParam)) {
    case WM_LBUTTONDBLCLK:
        m_clicks.DoubleClick();
        KillTimer(Handle(), kSingleClickTimer);
        DoubleClick();
        break;
    case WM_LBUTTONUP:
        if (m_clicks.WaitAfterSingleClick(m_mouseHandling)) {
            SetTimer(Handle(), kSingleClickTimer, GetDoubleClickTime(), nullptr);
        }
        break;
    case WM_RBUTTONUP:
    case WM_CONTEXTMENU: {
        POINT at{};
        GetCursorPos(&at);
        OpenMenu(at);
        break;
    }
    default:
        break;
    }
}

} // namespace calventa::ui::win32
