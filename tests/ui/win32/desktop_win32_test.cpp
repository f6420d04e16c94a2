// The Win32 desktop program on simulated boards, checked through Win32 itself: window texts,
// control contents, menu items and the tray icon's calls. Needs a display (Xvfb under Wine).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>

#include "core/window_placement.h"
#include "ui/win32/tray_icon.h"
#include "win32_test_support.h"

namespace calventa::win32test {
namespace {

using app::win32::DesktopApp;
using ui::win32::AlarmWindow;
using ui::win32::MainWindow;
using ui::win32::TextOf;
using ui::win32::TrayItem;

class Win32Desktop : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const char* display = std::getenv("DISPLAY");
        if (display == nullptr || *display == '\0') {
            GTEST_SKIP() << "no DISPLAY: the Win32 windows need an X display under Wine (run-windows-stage starts Xvfb)";
        }
    }
};

std::vector<std::string> MenuTexts(HMENU menu)
{
    std::vector<std::string> texts;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t text[64] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 63, MF_BYPOSITION);
        texts.push_back(ui::win32::Utf8(text));
    }
    return texts;
}

bool Visible(HWND window)
{
    return window != nullptr && IsWindowVisible(window) != FALSE;
}

// Whether some pixel of the icon's colour bitmap has the colour (0x00BBGGRR) at full alpha.
bool IconHasColour(HICON icon, int32_t colour)
{
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) {
        return false;
    }
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof(format.bmiHeader);
    format.bmiHeader.biWidth = 16;
    format.bmiHeader.biHeight = -16;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    std::array<uint32_t, 256> pixels{};
    const HDC dc = GetDC(nullptr);
    GetDIBits(dc, info.hbmColor, 0, 16, pixels.data(), &format, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    const auto bits = static_cast<uint32_t>(colour);
    const uint32_t wanted = 0xFF000000u | ((bits & 0xFF) << 16) | (bits & 0xFF00) | ((bits >> 16) & 0xFF);
    return std::count(pixels.begin(), pixels.end(), wanted) > 0;
}

TEST_F(Win32Desktop, MainWindowRowsShowWhatThePresenterSays)
{
    DesktopFixture f;
    f.app->Start();
    Pump(50);
    const core::MainWindowPresenter& presenter = f.app->GetMonitor().MainWindow();
    ASSERT_FALSE(presenter.Layout().Rows.empty());
    std::vector<bool> placed(core::kSlotCount, false);
    for (const core::MainWindowRow& row : presenter.Layout().Rows) {
        placed[static_cast<size_t>(row.Slot)] = true;
        const HWND name = GetDlgItem(f.Main(), MainWindow::kNameId + row.Slot);
        const HWND value = GetDlgItem(f.Main(), MainWindow::kValueId + row.Slot);
        EXPECT_EQ(TextOf(name), core::SlotLabel(row.Slot)) << row.Slot;
        EXPECT_EQ(TextOf(value), presenter.Value(row.Slot).Text) << row.Slot;
        EXPECT_TRUE(IsWindowVisible(value) || !IsWindowVisible(f.Main())) << row.Slot;
        EXPECT_NE(GetWindowLongPtrW(value, GWL_STYLE) & WS_VISIBLE, 0) << row.Slot;
    }
    for (int slot = 0; slot < core::kSlotCount; ++slot) {
        if (!placed[static_cast<size_t>(slot)]) {
            EXPECT_EQ(GetWindowLongPtrW(GetDlgItem(f.Main(), MainWindow::kValueId + slot), GWL_STYLE) & WS_VISIBLE, 0)
                << "row " << slot << " is not in the layout";
        }
    }
    EXPECT_EQ(TextOf(f.Main()), "Calventa");
    // The show timer (1500 ms) brings the window up.
    EXPECT_FALSE(Visible(f.Main()));
    Pump(1800);
    EXPECT_TRUE(Visible(f.Main()));
}

TEST_F(Win32Desktop, TrayIconIsAddedThenModifiedWithTheTipAndDigitsOfTheTrayPresenter)
{
    DesktopFixture f;
    f.app->Start();
    ASSERT_GE(f.tray.Calls.size(), 2u);
    EXPECT_EQ(f.tray.Calls.front().Message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(f.tray.Calls.front().Window, f.app->Tray().Handle()) << "the icon's window, never a null handle";
    const RecordedTray::Call& last = f.tray.Calls.back();
    EXPECT_EQ(last.Message, static_cast<DWORD>(NIM_MODIFY));
    const core::TrayContent& content = f.app->GetMonitor().Tray();
    EXPECT_EQ(ui::win32::Utf8(last.Tip), content.Tip.substr(0, ui::win32::TrayIcon::kMaxTipLength));
    ASSERT_TRUE(content.Icon.has_value()) << "the demo board has a CPU temperature";
    EXPECT_TRUE(f.app->Tray().ShowsDigits());
    EXPECT_TRUE(IconHasColour(last.Icon, content.Icon->Color)) << "digits drawn in the presenter's colour";

    // A further pass modifies the icon in place.
    const size_t before = f.tray.Calls.size();
    f.app->GetMonitor().UpdatePass();
    ASSERT_GT(f.tray.Calls.size(), before);
    EXPECT_EQ(f.tray.Calls.back().Message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(f.tray.Count(NIM_ADD), 1);
}

TEST_F(Win32Desktop, TrayMenuHasTheItemsWithMinimizeAsDefaultAndTheServiceItemsByState)
{
    DesktopFixture f;
    f.app->Start();
    const HMENU menu = f.app->Tray().Menu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(MenuTexts(menu), (std::vector<std::string>{"Restore", "Minimize", "", "Settings..", "History..",
                                                         "About..", "", "Install Service", "Uninstall Service", "",
                                                         "Exit"}));
    EXPECT_EQ(GetMenuDefaultItem(menu, FALSE, 0), ui::win32::CommandOf(TrayItem::Minimize));
    EXPECT_TRUE(f.app->Tray().MouseHandling());

    f.app->RunItem(TrayItem::Minimize);
    EXPECT_FALSE(Visible(f.Main()));
    EXPECT_EQ(GetMenuDefaultItem(menu, FALSE, 0), ui::win32::CommandOf(TrayItem::Restore));
    f.app->RunItem(TrayItem::Restore);
    EXPECT_TRUE(Visible(f.Main()));
    EXPECT_EQ(GetMenuDefaultItem(menu, FALSE, 0), ui::win32::CommandOf(TrayItem::Minimize));
}

TEST_F(Win32Desktop, TrayClicksRunTheDefaultItemAndASingleClickRestoresUntilDoubleClicksAreSeen)
{
    DesktopFixture f;
    f.app->Start();
    const HWND icon = f.app->Tray().Handle();
    const UINT callback = ui::win32::TrayIcon::kCallbackMessage;
    Pump(1700); // past the show timer, which brings the window up once
    f.app->RunItem(TrayItem::Minimize);
    ASSERT_FALSE(Visible(f.Main()));
    // A notification area that passes single clicks only: the hidden window comes back.
    SendMessageW(icon, callback, 1, WM_LBUTTONUP);
    Pump(static_cast<int>(GetDoubleClickTime()) + 200);
    EXPECT_TRUE(Visible(f.Main()));
    EXPECT_EQ(f.app->Tray().DefaultItem(), TrayItem::Minimize);
    // A double click runs the default item ("Minimize" now) ...
    SendMessageW(icon, callback, 1, WM_LBUTTONDBLCLK);
    EXPECT_FALSE(Visible(f.Main()));
    // ... and from then on a single click does nothing.
    SendMessageW(icon, callback, 1, WM_LBUTTONUP);
    Pump(static_cast<int>(GetDoubleClickTime()) + 200);
    EXPECT_FALSE(Visible(f.Main()));
    // Mouse handling off (About is up): a double click does nothing either.
    f.app->Tray().SetMouseHandling(false);
    SendMessageW(icon, callback, 1, WM_LBUTTONDBLCLK);
    EXPECT_FALSE(Visible(f.Main()));
}

TEST_F(Win32Desktop, ANotificationAreaStartedLaterGetsTheIconAgain)
{
    DesktopFixture f;
    f.app->Start();
    ASSERT_EQ(f.tray.Count(NIM_ADD), 1);
    SendMessageW(f.app->Tray().Handle(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_EQ(f.tray.Count(NIM_ADD), 2);
    EXPECT_EQ(f.tray.Calls.back().Window, f.app->Tray().Handle());
    f.app->RunItem(TrayItem::Exit);
    SendMessageW(f.app->Tray().Handle(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_EQ(f.tray.Count(NIM_ADD), 2) << "a removed icon stays removed";
}

// Every way out: the close sequence runs once, the fans go back to full speed, the timers
// stop and the icon leaves the notification area.
enum class WayOut { Exit, CloseFrame, EndSession, ConsoleEvent };

class Win32DesktopWayOut : public Win32Desktop, public ::testing::WithParamInterface<WayOut>
{
};

TEST_P(Win32DesktopWayOut, HandsTheFansBackStopsTheTimersAndRemovesTheIcon)
{
    DesktopFixture f;
    f.app->Start();
    core::MonitorState& state = f.app->GetMonitor().State();
    state.Settings.FanControl[0] = {core::kSourceCpu, 45, 1, 0};
    f.app->GetMonitor().UpdatePass();
    ASSERT_NE(f.sim->IsaChip()->Peek(0x5A), 255) << "fan control slowed PWM output 1 down";
    ASSERT_GT(f.app->TimerInterval(DesktopApp::kSensorTimer), 0);

    switch (GetParam()) {
    case WayOut::Exit:
        f.app->RunItem(TrayItem::Exit);
        break;
    case WayOut::CloseFrame:
        SendMessageW(f.Main(), WM_CLOSE, 0, 0);
        break;
    case WayOut::EndSession:
        EXPECT_EQ(SendMessageW(f.Main(), WM_QUERYENDSESSION, 0, 0), TRUE);
        SendMessageW(f.Main(), WM_ENDSESSION, TRUE, 0);
        break;
    case WayOut::ConsoleEvent:
        PostMessageW(f.app->TimerWindow(), DesktopApp::kTerminateMessage, 0, 0);
        Pump(50);
        break;
    }
    EXPECT_TRUE(f.app->Closed());
    EXPECT_EQ(f.finished, 1);
    EXPECT_EQ(f.sim->IsaChip()->Peek(0x5A), 255) << "fan output back at full speed";
    EXPECT_EQ(f.tray.Calls.back().Message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_TRUE(f.app->Tray().Removed());
    for (UINT_PTR timer : {DesktopApp::kSensorTimer, DesktopApp::kDiskTimer, DesktopApp::kShowTimer,
                           DesktopApp::kPositionTimer}) {
        EXPECT_EQ(f.app->TimerInterval(timer), 0) << "timer " << timer;
    }
    SendMessageW(f.Main(), WM_CLOSE, 0, 0);
    EXPECT_EQ(f.finished, 1) << "the close sequence runs once";
    EXPECT_EQ(f.tray.Count(NIM_DELETE), 1);
}

INSTANTIATE_TEST_SUITE_P(Ways, Win32DesktopWayOut,
                         ::testing::Values(WayOut::Exit, WayOut::CloseFrame, WayOut::EndSession, WayOut::ConsoleEvent),
                         [](const ::testing::TestParamInfo<WayOut>& testCase) {
                             switch (testCase.param) {
                             case WayOut::Exit:
                                 return std::string("TrayExit");
                             case WayOut::CloseFrame:
                                 return std::string("MainWindowClosed");
                             case WayOut::EndSession:
                                 return std::string("SessionEnds");
                             case WayOut::ConsoleEvent:
                                 return std::string("ConsoleControlEvent");
                             }
                             return std::string("Unknown");
                         });

TEST_F(Win32Desktop, AnAlarmRaisesTheAlarmWindowWithThePresentersLinesAndPaintsTheValueRed)
{
    DesktopFixture f;
    f.app->Start();
    core::SensorSlot& cpu = f.app->GetMonitor().State().Settings.Slots[core::kSlotCpu];
    cpu.AlarmEnabled = 1;
    cpu.MinLimit = 0;
    cpu.MaxLimit = 30; // the demo board's CPU reads 43 °C
    f.app->GetMonitor().UpdatePass();
    const AlarmWindow* alarm = f.app->AlarmForm();
    ASSERT_NE(alarm, nullptr);
    EXPECT_TRUE(Visible(alarm->Handle()));
    EXPECT_NE(GetWindowLongPtrW(alarm->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_EQ(TextOf(GetDlgItem(alarm->Handle(), AlarmWindow::kTitleId)), "ALARM!");
    EXPECT_EQ(alarm->Lines(), f.app->GetMonitor().AlarmWindow().Lines);
    EXPECT_FALSE(alarm->Lines().empty());
    EXPECT_TRUE(f.app->MainForm().ValueRed(core::kSlotCpu));

    SendMessageW(alarm->Handle(), WM_COMMAND, IDCANCEL, 0); // "Close"
    EXPECT_FALSE(Visible(alarm->Handle()));
}

TEST_F(Win32Desktop, InstallServiceShowsTheStepsAndSetsTheMenuItemsByTheServicesState)
{
    DesktopFixture f;
    f.services.Installed = false;
    f.AttachDisks();
    f.app->Start();
    ui::win32::TrayIcon& tray = f.app->Tray();
    EXPECT_TRUE(tray.ItemEnabled(TrayItem::InstallService));
    EXPECT_FALSE(tray.ItemEnabled(TrayItem::UninstallService)) << "nothing installed to remove";

    f.app->RunItem(TrayItem::InstallService);
    const ui::win32::ServiceProgressWindow* window = f.app->ServiceForm();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(Visible(window->Handle()));
    EXPECT_EQ(window->Lines(), std::vector<std::string>{"Connect to manager..."});
    f.app->RunItem(TrayItem::InstallService); // a second click while it runs is ignored
    Pump(2 * app::kProgressWaitMs + 600);
    const std::vector<std::string> lines = window->Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "Service has been installed!");
    EXPECT_EQ(f.program.Runs, (std::vector<std::vector<std::string>>{{"--install", "--silent"}}));
    EXPECT_FALSE(tray.ItemEnabled(TrayItem::InstallService)) << "the service runs now";
    EXPECT_TRUE(tray.ItemEnabled(TrayItem::UninstallService));
    EXPECT_TRUE(window->CloseTimerRunning());
}

TEST_F(Win32Desktop, TheNonAdministratorNoticeShowsItsLinesAndItsTickedBoxIsSavedAtOnce)
{
    DesktopFixture f("no-port-access.json"); // drives refused, no disk service
    f.services.Installed = false;
    f.AttachDisks();
    std::string text;
    f.answerModal = [&](HWND window) {
        text = TextOf(GetDlgItem(window, ui::win32::NoticeWindow::kTextId));
        CheckDlgButton(window, ui::win32::NoticeWindow::kCheckId, BST_CHECKED);
        PostMessageW(window, WM_COMMAND, IDOK, 0);
    };
    f.app->Start();
    const core::NoticeContent content =
        core::NoticeContentOf(core::NoticeKind::AdminNotice, platform::PlatformFamily::NtFamily);
    ASSERT_EQ(f.modalTexts, std::vector<std::string>{content.Caption});
    EXPECT_NE(text.find(content.Lines.front()), std::string::npos) << text;
    EXPECT_FALSE(core::NoticeWanted(f.app->GetMonitor().State().Settings, core::NoticeKind::AdminNotice));
    EXPECT_TRUE(f.files.Files.contains(f.SettingsPath())) << "the choice is written at once";
}

TEST_F(Win32Desktop, WithoutRightsBothServiceItemsAreOff)
{
    DesktopFixture f;
    f.services.Rights = false;
    f.AttachDisks();
    f.app->Start();
    EXPECT_FALSE(f.app->Tray().ItemEnabled(TrayItem::InstallService));
    EXPECT_FALSE(f.app->Tray().ItemEnabled(TrayItem::UninstallService));
}

TEST_F(Win32Desktop, AboutShowsItsTextsModallyAndGivesTheTrayBackWhenClosed)
{
    DesktopFixture f;
    f.app->Start();
    std::string title;
    std::string homepage;
    bool trayOffMeanwhile = false;
    f.answerModal = [&](HWND window) {
        title = TextOf(GetDlgItem(window, ui::win32::AboutWindow::kTitleId));
        homepage = TextOf(GetDlgItem(window, ui::win32::AboutWindow::kHomepageId));
        trayOffMeanwhile = !f.app->Tray().MouseHandling();
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(ui::win32::AboutWindow::kHomepageId, STN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(window, ui::win32::AboutWindow::kHomepageId)));
        PostMessageW(window, WM_COMMAND, IDOK, 0);
    };
    f.app->RunItem(TrayItem::About);
    const core::AboutTexts texts = core::AboutTextsFor(core::TextPlatform::Windows);
    ASSERT_EQ(f.modalTexts.size(), 1u);
    EXPECT_EQ(f.modalTexts[0], texts.Caption);
    EXPECT_EQ(title, texts.Title);
    EXPECT_EQ(homepage, texts.HomepageAddress);
    EXPECT_EQ(f.openedLinks, std::vector<std::string>{texts.HomepageAddress});
    EXPECT_TRUE(trayOffMeanwhile);
    EXPECT_TRUE(f.app->Tray().MouseHandling());
}

TEST_F(Win32Desktop, WindowModesFromTheSettingsReachTheWindow)
{
    core::SettingsBlock block;
    core::SetDefaultSettings(block, {1024, 768}, core::kDefaultMainWindowWidth);
    block.WindowMode = 1; // stays on top
    block.WindowStyle = 0;
    block.Alpha = 60;
    DesktopFixture f("demo.json", DesktopFixture::Image(block));
    f.app->Start();
    const LONG_PTR exStyle = GetWindowLongPtrW(f.Main(), GWL_EXSTYLE);
    EXPECT_NE(exStyle & WS_EX_TOPMOST, 0);
    EXPECT_NE(exStyle & WS_EX_TOOLWINDOW, 0) << "window style 0 with a tray: no taskbar button";
    ASSERT_NE(exStyle & WS_EX_LAYERED, 0);
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(f.Main(), nullptr, &alpha, &flags));
    EXPECT_EQ(alpha, core::OpacityOfAlpha(60));
    EXPECT_EQ(flags, static_cast<DWORD>(LWA_ALPHA));
}

TEST_F(Win32Desktop, WithoutANotificationAreaTheWindowKeepsItsTaskbarButton)
{
    core::SettingsBlock block;
    core::SetDefaultSettings(block, {1024, 768}, core::kDefaultMainWindowWidth);
    block.WindowStyle = 0;
    block.StartMinimized = 1;
    DesktopFixture f("demo.json", DesktopFixture::Image(block));
    f.tray.Accept = false;
    f.app->Start();
    EXPECT_EQ(GetWindowLongPtrW(f.Main(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
    EXPECT_GT(f.app->TimerInterval(DesktopApp::kShowTimer), 0) << "start minimized needs a tray to come back from";
}

// settings.dat of any content: the program starts, its window can be grabbed on a screen,
// and it closes with the fans handed back.
class Win32DesktopSettingsBytes : public Win32Desktop, public ::testing::WithParamInterface<int>
{
};

std::vector<uint8_t> SettingsBytes(int which)
{
    switch (which) {
    case 0:
        return {};
    case 1:
        return std::vector<uint8_t>(640, 0xFF);
    case 2:
        return std::vector<uint8_t>(639, 0x7F);
    default: {
        std::mt19937 random(static_cast<unsigned>(which));
        std::vector<uint8_t> bytes(640);
        for (uint8_t& byte : bytes) {
            byte = static_cast<uint8_t>(random());
        }
        return bytes;
    }
    }
}

TEST_P(Win32DesktopSettingsBytes, StartsWithTheWindowOnAScreenAndCloses)
{
    DesktopFixture f("demo.json", SettingsBytes(GetParam()));
    f.app->Start();
    Pump(20);
    RECT frame{};
    GetWindowRect(f.Main(), &frame);
    std::vector<core::ScreenArea> screens{{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}};
    EXPECT_TRUE(core::CaptionOnSomeScreen(frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top,
                                          GetSystemMetrics(SM_CYCAPTION), screens))
        << frame.left << "," << frame.top;
    const int sensorMs = f.app->TimerInterval(DesktopApp::kSensorTimer);
    EXPECT_TRUE(sensorMs >= 3000 && sensorMs <= 600000) << sensorMs;
    f.app->RunItem(TrayItem::Exit);
    EXPECT_EQ(f.sim->IsaChip()->Peek(0x5A), 255);
}

INSTANTIATE_TEST_SUITE_P(Contents, Win32DesktopSettingsBytes, ::testing::Values(0, 1, 2, 3, 4, 5),
                         [](const ::testing::TestParamInfo<int>& testCase) {
                             switch (testCase.param) {
                             case 0:
                                 return std::string("Empty");
                             case 1:
                                 return std::string("AllBitsSet");
                             case 2:
                                 return std::string("OneByteShort");
                             default:
                                 return "RandomSeed" + std::to_string(testCase.param);
                             }
                         });

TEST_F(Win32Desktop, APositionOffEveryScreenComesBackToTheDefault)
{
    core::SettingsBlock block;
    core::SetDefaultSettings(block, {1024, 768}, core::kDefaultMainWindowWidth);
    const int defaultLeft = block.WindowLeft;
    const int defaultTop = block.WindowTop;
    block.WindowLeft = -30000;
    block.WindowTop = 40000;
    DesktopFixture f("demo.json", DesktopFixture::Image(block));
    f.app->Start();
    const POINT position = f.app->MainForm().Position();
    const platform::ScreenSize screen{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    core::SettingsBlock defaults;
    core::SetDefaultSettings(defaults, screen, core::kDefaultMainWindowWidth);
    EXPECT_EQ(position.x, defaults.WindowLeft);
    EXPECT_EQ(position.y, defaults.WindowTop);
    EXPECT_EQ(f.app->GetMonitor().State().Settings.WindowLeft, defaults.WindowLeft);
    static_cast<void>(defaultLeft);
    static_cast<void>(defaultTop);
}

TEST_F(Win32Desktop, ChipsThatVanishLeaveTheWindowStandingAndTheCloseSound)
{
    DesktopFixture f;
    f.app->Start();
    f.sim->RemoveIsaChip();
    for (int pass = 0; pass < 3; ++pass) {
        f.app->GetMonitor().UpdatePass();
    }
    Pump(20);
    const core::MainWindowPresenter& presenter = f.app->GetMonitor().MainWindow();
    for (const core::MainWindowRow& row : presenter.Layout().Rows) {
        EXPECT_EQ(TextOf(GetDlgItem(f.Main(), MainWindow::kValueId + row.Slot)), presenter.Value(row.Slot).Text);
    }
    f.app->RunItem(TrayItem::Exit);
    EXPECT_TRUE(f.app->Closed());
}

TEST_F(Win32Desktop, ABoardWithoutChipsStartsWithTheTrayShowingTheProgramsIcon)
{
    DesktopFixture f("empty.json");
    f.app->Start();
    EXPECT_FALSE(f.app->Tray().ShowsDigits());
    EXPECT_NE(f.tray.Calls.back().Icon, nullptr);
    f.app->RunItem(TrayItem::Exit);
    EXPECT_TRUE(f.app->Closed());
}

} // namespace
} // namespace calventa::win32test
