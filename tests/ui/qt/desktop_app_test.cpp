#include <gtest/gtest.h>

#include "case_name.h"

#include "core/options_presenter.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <climits>
#include <csignal>
#include <random>

#include "desktop/qt/desktop_signals.h"
#include "app/fake_services.h"
#include "app/machine_host.h"
#include "platform/sim/sim_disks.h"
#include "ui/qt/alarm_window.h"
#include "ui/qt/main_window.h"
#include "ui/qt/options_window.h"
#include "ui/qt/tray_icon.h"
#include "ui_test_support.h"

namespace calventa::uitest {
namespace {

using app::CommandWord;

std::vector<const char*> Args(std::initializer_list<const char*> words)
{
    std::vector<const char*> argv{"calventa"};
    argv.insert(argv.end(), words);
    return argv;
}

TEST(CommandLine, OnlyTheFirstWordCountsExactly)
{
    auto word = [](std::initializer_list<const char*> words) {
        const auto argv = Args(words);
        return app::FirstCommandWord(static_cast<int>(argv.size()), argv.data());
    };
    EXPECT_EQ(word({}), CommandWord::None);
    EXPECT_EQ(word({"test"}), CommandWord::Test);
    EXPECT_EQ(word({"Test"}), CommandWord::None);
    EXPECT_EQ(word({"debug", "test"}), CommandWord::Debug);
    EXPECT_EQ(word({"fancontrol"}), CommandWord::FanControl);
    EXPECT_EQ(word({"install"}), CommandWord::Install);
    EXPECT_EQ(word({"uninstall", "x"}), CommandWord::Uninstall);
    EXPECT_EQ(app::FirstCommandWord(0, nullptr), CommandWord::None);
}

TEST(CommandLine, TestModeShowsEveryEnabledRowWithoutAnyChip)
{
    DesktopFixture desktop(kEmptyBoard, std::nullopt, CommandWord::Test);
    desktop.app->Start();
    EXPECT_TRUE(desktop.app->GetMonitor().State().Flags.TestMode);
    EXPECT_EQ(desktop.app->GetMonitor().MainWindow().Layout().Rows.size(), 3u + 2u + 6u + 10u);
    EXPECT_TRUE(desktop.app->MainForm()
                    .findChild<QWidget*>(QStringLiteral("Value%1").arg(core::kSlotHd0 + 1))
                    ->isVisibleTo(&desktop.app->MainForm()));
    EXPECT_TRUE(desktop.app->DiskTimer().isActive()) << "HD0 and HD1 can show";
    EXPECT_EQ(desktop.app->DiskTimer().interval(), 120000);
}

TEST(NothingFound, TheEmptyWindowShowsTheAccountAndTheTrayTipSaysWhy)
{
    DesktopFixture desktop(kEmptyBoard);
    desktop.app->Start();
    ui::MainWindow& window = desktop.app->MainForm();
    const core::MainWindowNotice& notice = desktop.app->GetMonitor().MainWindow().Layout().Notice;
    ASSERT_TRUE(notice.Visible);
    auto* panel = window.findChild<QWidget*>(QStringLiteral("NoticePanel"));
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisibleTo(&window));
    for (size_t i = 0; i < notice.Lines.size(); ++i) {
        auto* line = panel->findChild<QLabel*>(QStringLiteral("NoticeLine%1").arg(i));
        ASSERT_NE(line, nullptr) << i;
        EXPECT_EQ(line->text().toStdString(), notice.Lines[i]);
        EXPECT_TRUE(line->isVisibleTo(&window)) << i;
        EXPECT_TRUE(panel->rect().contains(line->geometry())) << i;
    }
    EXPECT_EQ(panel->findChild<QLabel*>(QStringLiteral("NoticeLine0"))->text(), QStringLiteral("No sensors found:"));
    EXPECT_EQ(window.width(), core::kDefaultMainWindowWidth);
    EXPECT_GT(window.height(), panel->y() + panel->height());
    EXPECT_TRUE(desktop.app->Tray().ToolTip().startsWith(QStringLiteral("No sensors found\nno sensor driver loaded")))
        << desktop.app->Tray().ToolTip().toStdString();
}

TEST(NothingFound, AWindowWithRowsKeepsItsDescribedShape)
{
    DesktopFixture desktop(kChipBoard);
    desktop.app->Start();
    ui::MainWindow& window = desktop.app->MainForm();
    EXPECT_FALSE(window.findChild<QWidget*>(QStringLiteral("NoticePanel"))->isVisibleTo(&window));
    EXPECT_TRUE(desktop.app->Tray().ToolTip().startsWith(QStringLiteral("CPU: 43")));
}

struct OpacityCase
{
    int32_t alpha;
    int opacity;
};
class Opacity : public ::testing::TestWithParam<OpacityCase>
{
};
TEST_P(Opacity, IsClampedSoTheWindowStaysVisible)
{
    EXPECT_EQ(core::OpacityOfAlpha(GetParam().alpha), GetParam().opacity);
}
INSTANTIATE_TEST_SUITE_P(Alpha, Opacity,
                         ::testing::Values(OpacityCase{0, 255}, OpacityCase{1, 252}, OpacityCase{50, 127},
                                           OpacityCase{94, 15}, OpacityCase{95, 15}, OpacityCase{100, 15},
                                           OpacityCase{INT32_MAX, 15}, OpacityCase{-1, 255},
                                           OpacityCase{INT32_MIN, 255}),
                         [](const ::testing::TestParamInfo<OpacityCase>& info) {
                             const auto& c = info.param;
                             (void)c;
                             return "Alpha" + calventa::testnames::NumberName(c.alpha);
                         });

TEST(StartUp, WindowModePositionAndOpacityFromSettings)
{
    core::SettingsBlock settings = DesktopFixture::Defaults();
    settings.WindowMode = 1;
    settings.Alpha = 50;
    settings.WindowLeft = 40;
    settings.WindowTop = 60;
    DesktopFixture desktop(kChipBoard, settings);
    desktop.app->Start();
    ui::MainWindow& window = desktop.app->MainForm();
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowStaysOnBottomHint));
    EXPECT_EQ(window.pos(), QPoint(40, 60));
    EXPECT_NEAR(window.windowOpacity(), 127 / 255.0, 0.002);
    EXPECT_TRUE(window.isMinimized());
    EXPECT_FALSE(window.isVisible()) << "the show timer brings it up";
}

TEST(StartUp, OnDesktopAndNormalModes)
{
    core::SettingsBlock settings = DesktopFixture::Defaults();
    settings.WindowMode = 0;
    DesktopFixture onDesktop(kChipBoard, settings);
    onDesktop.app->Start();
    EXPECT_TRUE(onDesktop.app->MainForm().windowFlags().testFlag(Qt::WindowStaysOnBottomHint));

    settings.WindowMode = 2;
    settings.WindowStyle = 0;
    DesktopFixture normal(kChipBoard, settings);
    normal.app->Start();
    const Qt::WindowFlags flags = normal.app->MainForm().windowFlags();
    EXPECT_FALSE(flags.testFlag(Qt::WindowStaysOnBottomHint) || flags.testFlag(Qt::WindowStaysOnTopHint));
    if (ui::TrayIcon::Available()) {
        EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool) << "no taskbar button";
    }
}

TEST(StartUp, PositionOutsideEveryScreenFallsBackToTheDefault)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const core::SettingsBlock defaults = DesktopFixture::Defaults({screen.width(), screen.height()});
    for (auto [left, top] : {std::pair{-5000, 100}, std::pair{INT32_MAX, INT32_MAX}, std::pair{INT32_MIN, 0},
                             std::pair{screen.width() - 4, 10}, std::pair{10, screen.height() - 2}}) {
        core::SettingsBlock settings = defaults;
        settings.WindowLeft = left;
        settings.WindowTop = top;
        DesktopFixture desktop(kChipBoard, settings);
        desktop.app->Start();
        EXPECT_EQ(desktop.app->MainForm().pos(), QPoint(defaults.WindowLeft, defaults.WindowTop)) << left << "," << top;
    }
    EXPECT_TRUE(app::CaptionOnSomeScreen(screen.width() - 20, 0, QSize(170, 300)));
    EXPECT_FALSE(app::CaptionOnSomeScreen(0, -10, QSize(170, 300))) << "caption above the screen";
}

TEST(Timers, IntervalsAndSwitchesAfterStartUp)
{
    core::SettingsBlock settings = DesktopFixture::Defaults();
    settings.SensorInterval = 1; // below what the options allow
    DesktopFixture desktop(kChipBoard, settings);
    desktop.app->Start();
    EXPECT_TRUE(desktop.app->SensorTimer().isActive());
    EXPECT_EQ(desktop.app->SensorTimer().interval(), 3000);
    EXPECT_FALSE(desktop.app->DiskTimer().isActive()) << "no disk listed";
    EXPECT_TRUE(desktop.app->PositionTimer().isActive());
    EXPECT_EQ(desktop.app->PositionTimer().interval(), 1000);
    EXPECT_TRUE(desktop.app->ShowTimer().isActive());
    EXPECT_TRUE(desktop.app->ShowTimer().isSingleShot());
    EXPECT_EQ(desktop.app->ShowTimer().interval(), 1500);
    EXPECT_EQ(desktop.app->Tray().DefaultItem(), ui::TrayItem::Minimize);
    EXPECT_TRUE(desktop.app->Tray().MouseHandling());
    EXPECT_EQ(desktop.app->GetMonitor().State().Settings.SensorInterval, 1) << "the block keeps its value";
}

TEST(Timers, StartMinimizedKeepsTheWindowInTheTray)
{
    core::SettingsBlock settings = DesktopFixture::Defaults();
    settings.StartMinimized = 1;
    DesktopFixture desktop(kChipBoard, settings);
    desktop.app->Start();
    EXPECT_EQ(desktop.app->Tray().DefaultItem(), ui::TrayItem::Restore);
    // Without a notification area the window must come up all the same.
    EXPECT_EQ(desktop.app->ShowTimer().isActive(), !ui::TrayIcon::Available());
}

// Started before the panel (no notification area yet): the icon is asked for all the same,
// so that it appears with the panel, while the window comes up as the fallback.
TEST(Timers, TheTrayIconIsShownEvenBeforeANotificationAreaExists)
{
    core::SettingsBlock settings = DesktopFixture::Defaults();
    settings.StartMinimized = 1;
    DesktopFixture desktop(kChipBoard, settings);
    desktop.app->Start();
    EXPECT_TRUE(desktop.app->Tray().ShowRequested());
    if (!ui::TrayIcon::Available()) {
        EXPECT_TRUE(desktop.app->ShowTimer().isActive()) << "the window is the fallback until then";
    }
    desktop.app->Tray().Action(ui::TrayItem::Exit)->trigger();
    QCoreApplication::processEvents();
    EXPECT_FALSE(desktop.app->Tray().ShowRequested());
}

TEST(Timers, ShowTimerBringsTheWindowUpOnce)
{
    DesktopFixture desktop(kChipBoard);
    desktop.app->Start();
    QSignalSpy fired(&desktop.app->ShowTimer(), &QTimer::timeout);
    ASSERT_TRUE(fired.wait(3000));
    EXPECT_TRUE(desktop.app->MainForm().isVisible());
    EXPECT_FALSE(desktop.app->MainForm().isMinimized());
    EXPECT_FALSE(desktop.app->ShowTimer().isActive());
}

TEST(Timers, PositionTimerSavesOnlyAfterAMove)
{
    DesktopFixture desktop(kChipBoard);
    desktop.app->Start();
    QSignalSpy ticks(&desktop.app->PositionTimer(), &QTimer::timeout);
    ASSERT_TRUE(ticks.wait(2000));
    EXPECT_EQ(desktop.files.Replacements, 0) << "an unmoved window writes nothing";

    desktop.app->MainForm().move(123, 77);
    ASSERT_TRUE(ticks.wait(2000));
    EXPECT_EQ(desktop.files.Replacements, 1);
    core::SettingsBlock saved;
    DecodeSettings(desktop.files.Files[desktop.SettingsPath()], saved);
    EXPECT_EQ(saved.WindowLeft, 123);
    EXPECT_EQ(saved.WindowTop, 77);
    ASSERT_TRUE(ticks.wait(2000));
    EXPECT_EQ(desktop.files.Replacements, 1);
}

TEST(TrayCommands, RestoreAndMinimizeSwapTheDefault)
{
    DesktopFixture desktop(kChipBoard);
    desktop.app->Start();
    desktop.app->Tray().Action(ui::TrayItem::Restore)->trigger();
    EXPECT_TRUE(desktop.app->MainForm().isVisible());
    EXPECT_EQ(desktop.app->Tray().DefaultItem(), ui::TrayItem::Minimize);
    desktop.app->Tray().DoubleClick(); // runs "Minimize"
    EXPECT_FALSE(desktop.app->MainForm().isVisible());
    EXPECT_EQ(desktop.app->Tray().DefaultItem(), ui::TrayItem::Restore);
}

// Without a notification area the main window's own right-click menu is the way to the
// settings, the history, About and Exit: the tray's menu itself, with its items' states.
TEST(TrayCommands, RightClickOnTheMainWindowOpensTheTrayMenu)
{
    DesktopFixture desktop(kChipBoard);
    desktop.app->Start();
    ui::MainWindow& window = desktop.app->MainForm();
    desktop.app->Tray().Action(ui::TrayItem::Restore)->trigger();
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(10, 30), window.mapToGlobal(QPoint(10, 30)));
    QApplication::sendEvent(&window, &click);
    QMenu* menu = desktop.app->Tray().Menu();
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(QApplication::activePopupWidget(), menu);
    EXPECT_TRUE(menu->actions().contains(desktop.app->Tray().Action(ui::TrayItem::Settings)));
    menu->hide();

    // While the About window holds the tray's clicks, the window's menu stays shut too.
    desktop.app->Tray().SetMouseHandling(false);
    QApplication::sendEvent(&window, &click);
    EXPECT_FALSE(menu->isVisible());
}

// Some notification areas pass single clicks only: one then restores the hidden window. Where
// double clicks come through, a single click keeps doing nothing.
TEST(TrayCommands, SingleClickRestoresUntilTheTrayShowsItPassesDoubleClicks)
{
    DesktopFixture desktop(kChipBoard);
    desktop.app->Start();
    QSignalSpy shown(&desktop.app->ShowTimer(), &QTimer::timeout);
    ASSERT_TRUE(shown.wait(3000)); // the start-up's own showing is over
    ui::TrayIcon& tray = desktop.app->Tray();
    const int settle = QApplication::doubleClickInterval() + 150;
    tray.Action(ui::TrayItem::Minimize)->trigger();
    ASSERT_FALSE(desktop.app->MainForm().isVisible());

    tray.Activate(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(desktop.app->MainForm().isVisible()); // not before the double-click time
    QTest::qWait(settle);
    EXPECT_TRUE(desktop.app->MainForm().isVisible());
    EXPECT_EQ(tray.DefaultItem(), ui::TrayItem::Minimize);

    // A single click never hides the window.
    tray.Activate(QSystemTrayIcon::Trigger);
    QTest::qWait(settle);
    EXPECT_TRUE(desktop.app->MainForm().isVisible());

    // A click followed by a double click runs the default item once.
    tray.Activate(QSystemTrayIcon::Trigger);
    tray.Activate(QSystemTrayIcon::DoubleClick); // "Minimize"
    QTest::qWait(settle);
    EXPECT_FALSE(desktop.app->MainForm().isVisible());

    // Double clicks come through here: single clicks are left alone from now on.
    tray.Activate(QSystemTrayIcon::Trigger);
    QTest::qWait(settle);
    EXPECT_FALSE(desktop.app->MainForm().isVisible());
    tray.Activate(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(desktop.app->MainForm().isVisible());
}

TEST(TrayCommands, SettingsOpensTheOptionsWindowOnAWorkingCopy)
{
    DesktopFixture desktop(kChipBoard);
    desktop.app->Start();
    desktop.app->GetMonitor().State().Settings.Alpha = 33;
    desktop.app->Tray().Action(ui::TrayItem::Settings)->trigger();
    EXPECT_TRUE(desktop.app->OptionsForm()->isVisible());
    EXPECT_FALSE(desktop.app->OptionsForm()->isModal());
    EXPECT_EQ(desktop.app->GetMonitor().State().TempParam.Alpha, 33);
}

TEST(TrayCommands, TrayIgnoresClicksWhileAboutIsOpen)
{
    DesktopFixture desktop(kChipBoard);
    desktop.app->Start();
    bool handlingWhileOpen = true;
    QString shownTitle;
    QTimer::singleShot(0, [&] {
        auto* about = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        handlingWhileOpen = desktop.app->Tray().MouseHandling();
        if (about != nullptr) {
            shownTitle = about->windowTitle();
            about->accept();
        }
    });
    desktop.app->AboutClick();
    EXPECT_EQ(shownTitle, QStringLiteral("About Calventa"));
    EXPECT_FALSE(handlingWhileOpen);
    EXPECT_TRUE(desktop.app->Tray().MouseHandling());
}

TEST(Close, RunsOnceAndStopsEverything)
{
    core::SettingsBlock settings = DesktopFixture::AfterFirstStart(kChipBoard);
    settings.Slots[core::kSlotCpu].MaxLimit = 40;
    DesktopFixture desktop(kChipBoard, settings);
    desktop.app->Start();
    desktop.app->GetMonitor().UpdatePass();
    ASSERT_TRUE(desktop.app->AlarmForm()->isVisible());

    QSignalSpy finished(desktop.app.get(), &app::DesktopApp::Finished);
    desktop.app->CloseMainWindow();
    desktop.app->CloseMainWindow();
    EXPECT_EQ(finished.count(), 1);
    EXPECT_TRUE(desktop.app->Closed());
    for (QTimer* timer : {&desktop.app->SensorTimer(), &desktop.app->DiskTimer(), &desktop.app->ShowTimer(),
                          &desktop.app->PositionTimer()}) {
        EXPECT_FALSE(timer->isActive()) << timer->objectName().toStdString();
    }
    EXPECT_FALSE(desktop.app->AlarmForm()->isVisible());
    EXPECT_TRUE(desktop.app->Tray().Removed());
    EXPECT_EQ(desktop.files.Replacements, 0) << "nothing is saved at exit";
}

TEST(Close, ExitFromTheTray)
{
    DesktopFixture desktop(kChipBoard);
    desktop.app->Start();
    QSignalSpy finished(desktop.app.get(), &app::DesktopApp::Finished);
    desktop.app->Tray().Action(ui::TrayItem::Exit)->trigger();
    EXPECT_EQ(finished.count(), 0) << "Exit runs once the menu is done";
    ASSERT_TRUE(finished.wait(1000));
    EXPECT_TRUE(desktop.app->Tray().Removed());
    EXPECT_FALSE(desktop.app->Tray().MouseHandling());
}

TEST(Close, TerminationSignalsCloseThroughTheNormalPath)
{
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        DesktopFixture desktop(kChipBoard);
        desktop.app->Start();
        app::TerminationSignals termination;
        ASSERT_TRUE(termination.Installed());
        QObject::connect(&termination, &app::TerminationSignals::Received, desktop.app.get(),
                         &app::DesktopApp::CloseMainWindow);
        QSignalSpy received(&termination, &app::TerminationSignals::Received);
        QSignalSpy finished(desktop.app.get(), &app::DesktopApp::Finished);
        ASSERT_EQ(std::raise(signalNumber), 0);
        ASSERT_TRUE(received.wait(1000));
        EXPECT_EQ(received.at(0).at(0).toInt(), signalNumber);
        EXPECT_EQ(finished.count(), 1);
    }
}

// A user who may not open the drives and has no disk service gets the administrator notice
// during the start-up, before the main loop runs. A SIGTERM then must end the program: the
// notice closes, the start-up ends, and the main loop that follows quits by itself.
TEST(Close, ATerminationSignalDuringAStartUpNoticeEndsTheProgram)
{
    constexpr const char* kBoard =
        R"({"disk_access": "denied", "disks": [{"drive": 0}], "isa": {"model": "W83627HF"}})";
    std::string error;
    const auto board = sim::ParseBoard(kBoard, error);
    ASSERT_TRUE(board) << error;
    sim::SimDisks drives(*board);
    app::testing::FakeServices services;
    services.Installed = false;
    platform::DiskPlatform disks{drives, services};
    DesktopFixture desktop(kBoard);
    desktop.app->AttachDisks(disks);

    app::TerminationSignals termination;
    ASSERT_TRUE(termination.Installed());
    QObject::connect(&termination, &app::TerminationSignals::Received, desktop.app.get(), &app::DesktopApp::Terminate);
    QObject::connect(desktop.app.get(), &app::DesktopApp::Finished, qApp, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    bool noticeSeen = false;
    QTimer::singleShot(100, [&] {
        noticeSeen = QApplication::activeModalWidget() != nullptr;
        std::raise(SIGTERM);
    });
    bool guardFired = false;
    QTimer::singleShot(3000, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            guardFired = true;
            modal->close(); // a failing test must not hang
        }
    });
    desktop.app->Start(); // returns only once the notice is gone
    EXPECT_FALSE(guardFired) << "the notice stayed up";

    bool timedOut = false;
    QTimer::singleShot(4000, [&] {
        timedOut = true;
        QCoreApplication::quit();
    });
    QApplication::exec();
    EXPECT_TRUE(noticeSeen);
    EXPECT_FALSE(timedOut) << "the main loop did not end";
    EXPECT_TRUE(desktop.app->Closed());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(Close, ATerminationSignalClosesTheAboutWindowAndTheProgram)
{
    DesktopFixture desktop(kChipBoard);
    desktop.app->Start();
    app::TerminationSignals termination;
    QObject::connect(&termination, &app::TerminationSignals::Received, desktop.app.get(), &app::DesktopApp::Terminate);
    QSignalSpy finished(desktop.app.get(), &app::DesktopApp::Finished);
    bool aboutSeen = false;
    QTimer::singleShot(100, [&] {
        aboutSeen = QApplication::activeModalWidget() != nullptr;
        std::raise(SIGHUP);
    });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close(); // a failing test must not hang
        }
    });
    guard.start(3000);
    desktop.app->AboutClick(); // modal: returns when the window closes
    EXPECT_TRUE(guard.isActive()) << "About stayed up until the guard closed it";
    EXPECT_TRUE(aboutSeen);
    EXPECT_EQ(finished.count(), 1);
}

// Any settings.dat starts the program with a window that can be seen and reached.
TEST(BadInput, RandomSettingsImagesStartAndShowAWindow)
{
    std::mt19937 random(20041208);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 25; ++round) {
        DesktopFixture desktop(kChipBoard);
        std::vector<uint8_t>& image = desktop.files.Files[desktop.SettingsPath()];
        image.resize(core::kSettingsImageSize);
        for (uint8_t& b : image) {
            b = static_cast<uint8_t>(byte(random));
        }
        desktop.app->Start();
        ui::MainWindow& window = desktop.app->MainForm();
        EXPECT_EQ(window.height(), desktop.app->GetMonitor().MainWindow().Layout().Height);
        EXPECT_GE(window.windowOpacity(), 15 / 255.0 - 0.002);
        EXPECT_TRUE(app::CaptionOnSomeScreen(window.x(), window.y(), window.size())) << round;
        desktop.app->ShowMainWindow();
        EXPECT_TRUE(window.isVisible());
        EXPECT_GE(desktop.app->SensorTimer().interval(), 3000);
        EXPECT_LE(desktop.app->SensorTimer().interval(), 600000);
    }
}

} // namespace
} // namespace calventa::uitest

namespace calventa::uitest {
namespace {

// The shipped demo board with its two disks, through the same host as the program.
TEST(Disks, DemoBoardShowsDiskRowsAndRunsTheDiskTimer)
{
    QTemporaryDir programDir;
    ASSERT_TRUE(programDir.isValid());
    std::string error;
    auto host = app::MachineHost::ForBoard(std::string(CALVENTA_SOURCE_DIR) + "/boards/demo.json", error);
    ASSERT_TRUE(host) << error;
    app::DesktopApp program(host->Get(), CommandWord::None, programDir.path().toStdString());
    program.AttachDisks(host->Disks());
    program.Start();
    const core::MonitorState& state = program.GetMonitor().State();
    ASSERT_EQ(state.Disks.DiskCount, 2);
    auto* hd1 = program.MainForm().findChild<QLabel*>(QStringLiteral("Value%1").arg(core::kSlotHd0 + 1));
    ASSERT_NE(hd1, nullptr);
    EXPECT_TRUE(hd1->isVisibleTo(&program.MainForm()));
    EXPECT_EQ(hd1->text().toStdString(), program.GetMonitor().MainWindow().Value(core::kSlotHd0 + 1).Text);
    EXPECT_TRUE(program.DiskTimer().isActive());
    EXPECT_EQ(program.DiskTimer().interval(), 120000);

    QSignalSpy finished(&program, &app::DesktopApp::Finished);
    program.CloseMainWindow();
    EXPECT_EQ(finished.count(), 1);
}

} // namespace
} // namespace calventa::uitest
