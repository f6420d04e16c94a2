#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <functional>

#include "desktop/qt/desktop_service_menu.h"
#include "app/fake_services.h"
#include "ui/qt/main_window.h"
#include "ui/qt/notice_window.h"
#include "ui/qt/options_window.h"
#include "ui/qt/service_progress_window.h"
#include "ui/qt/tray_icon.h"
#include "ui_test_support.h"

namespace calventa::uitest {
namespace {

constexpr int kSlot5V = 15;
constexpr int kSlotCpuFan = 21;

template <typename T> T* Find(QWidget& parent, const char* name)
{
    T* child = parent.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

// The program on the chip board with its options dialog opened from the tray.
class OptionsDialog : public ::testing::Test
{
protected:
    void Open(app::CommandWord word = app::CommandWord::None)
    {
        desktop = std::make_unique<DesktopFixture>(kChipBoard, DesktopFixture::AfterFirstStart(kChipBoard), word);
        desktop->app->Start();
        desktop->app->Tray().Action(ui::TrayItem::Settings)->trigger();
        dialog = desktop->app->OptionsForm();
        ASSERT_NE(dialog, nullptr);
        tree = Find<QTreeWidget>(*dialog, "OptionsTree");
    }
    core::MonitorState& State() { return desktop->app->GetMonitor().State(); }
    const core::OptionsPresenter& Presenter() { return desktop->app->Options()->Presenter(); }

    // A mouse click on the node with that text, its parent opened first.
    void ClickNode(const char* text)
    {
        const QList<QTreeWidgetItem*> found =
            tree->findItems(QString::fromLatin1(text), Qt::MatchExactly | Qt::MatchRecursive);
        ASSERT_EQ(found.size(), 1) << text;
        if (found.front()->parent() != nullptr) {
            found.front()->parent()->setExpanded(true);
        }
        tree->scrollToItem(found.front());
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(found.front()).center());
    }
    void Click(const char* name) { Find<QAbstractButton>(*dialog, name)->click(); }
    QString Field(const char* name) { return Find<QLineEdit>(*dialog, name)->text(); }
    bool Shown(const char* name) { return Find<QWidget>(*dialog, name)->isVisibleTo(dialog); }

    std::unique_ptr<DesktopFixture> desktop;
    ui::OptionsWindow* dialog = nullptr;
    QTreeWidget* tree = nullptr;
};

TEST_F(OptionsDialog, FrameTreeAndGeneralPageFromThePresenter)
{
    Open();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->isModal());
    EXPECT_EQ(dialog->size(), QSize(524, 288));
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Calventa"));

    const std::vector<core::TreeNode>& nodes = Presenter().Tree();
    ASSERT_EQ(tree->topLevelItemCount(), 4);
    int rendered = 0;
    for (int top = 0; top < tree->topLevelItemCount(); ++top) {
        rendered += 1 + tree->topLevelItem(top)->childCount();
    }
    EXPECT_EQ(rendered, static_cast<int>(nodes.size()));
    QStringList fans;
    for (int i = 0; i < tree->topLevelItem(3)->childCount(); ++i) {
        fans << tree->topLevelItem(3)->child(i)->text(0);
    }
    EXPECT_EQ(fans, (QStringList{"CpuFan", "SysFan", "AuxFan"}));

    EXPECT_TRUE(Shown("GeneralPage"));
    EXPECT_FALSE(Shown("SensorPage"));
    EXPECT_FALSE(Shown("StyleFrame")) << "never shown";
    // The start box speaks of the desktop session on Linux, and its words fit in their frame.
    const auto* runAtStart = Find<QCheckBox>(*dialog, "RunWithWindows");
    EXPECT_EQ(runAtStart->text(), QStringLiteral("Run with the session"));
    EXPECT_LE(runAtStart->geometry().right(), runAtStart->parentWidget()->width());
    EXPECT_GE(runAtStart->width(), runAtStart->sizeHint().width());
    EXPECT_EQ(Field("DiskIntervalField"), QStringLiteral("120"));
    EXPECT_EQ(Field("SensorIntervalField"), QString::number(State().Settings.SensorInterval));
    EXPECT_TRUE(Find<QRadioButton>(*dialog, "ModeNormal")->isChecked());
    EXPECT_EQ(Find<QComboBox>(*dialog, "TraySourceList")->currentText(), QStringLiteral("Cpu temp"));
    EXPECT_TRUE(Find<QPushButton>(*dialog, "OkButton")->font().bold());
    EXPECT_FALSE(Find<QPushButton>(*dialog, "OkButton")->icon().isNull()) << "NT family: picture and caption";
}

TEST_F(OptionsDialog, MouseClicksShowPages)
{
    Open();
    ClickNode("Cpu");
    EXPECT_TRUE(Shown("SensorPage"));
    const core::SensorPage& page = Presenter().Sensor();
    EXPECT_EQ(Find<QGroupBox>(*dialog, "SensorPage")->title().toStdString(), "Temperatures (Cpu)");
    EXPECT_EQ(Find<QGroupBox>(*dialog, "SensorFrame")->title().toStdString(), page.FrameTitle);
    EXPECT_EQ(Field("MinField").toStdString(), page.MinText);
    EXPECT_EQ(Find<QComboBox>(*dialog, "ChipList")->currentText(), QStringLiteral("W83627HF"));
    EXPECT_EQ(Find<QComboBox>(*dialog, "SensorList")->currentText().toStdString(),
              page.SensorList.Entries.at(static_cast<size_t>(page.SensorList.Selected)));
    EXPECT_TRUE(Shown("CorrectionFrame"));
    EXPECT_FALSE(Shown("FanFrame"));

    ClickNode("Voltages");
    EXPECT_TRUE(Shown("SummaryPage"));
    EXPECT_FALSE(Shown("SensorPage"));
    EXPECT_EQ(Find<QGroupBox>(*dialog, "SummaryPage")->title(), QStringLiteral("Voltages"));
    EXPECT_EQ(Find<QLabel>(*dialog, "SummaryLine")->text(), QString());
}

// Moving with the keys shows the page of the item moved to, so that an edit goes to the sensor
// the highlight is on.
TEST_F(OptionsDialog, KeyMovesShowThePageOfTheCurrentItem)
{
    Open();
    ClickNode("Cpu");
    tree->setFocus();
    const auto pageTitle = [&] { return Find<QGroupBox>(*dialog, "SensorPage")->title(); };
    const auto current = [&] { return tree->currentItem()->text(0); };

    QTest::keyClick(tree, Qt::Key_Down);
    ASSERT_NE(current(), QStringLiteral("Cpu"));
    EXPECT_TRUE(Shown("SensorPage"));
    EXPECT_EQ(pageTitle(), QStringLiteral("Temperatures (%1)").arg(current()));
    EXPECT_EQ(Find<QGroupBox>(*dialog, "SensorFrame")->title().toStdString(), Presenter().Sensor().FrameTitle);

    QTest::keyClick(tree, Qt::Key_Up);
    EXPECT_EQ(current(), QStringLiteral("Cpu"));
    EXPECT_EQ(pageTitle(), QStringLiteral("Temperatures (Cpu)"));

    QTest::keyClick(tree, Qt::Key_Home);
    EXPECT_EQ(current(), QStringLiteral("General"));
    EXPECT_TRUE(Shown("GeneralPage"));
    EXPECT_FALSE(Shown("SensorPage"));

    // End: the last fan, once the fans are open.
    tree->topLevelItem(3)->setExpanded(true);
    QTest::keyClick(tree, Qt::Key_End);
    const QTreeWidgetItem* fans = tree->topLevelItem(3);
    EXPECT_EQ(current(), fans->child(fans->childCount() - 1)->text(0));
    EXPECT_TRUE(Shown("SensorPage"));
    EXPECT_EQ(pageTitle().toStdString(), Presenter().Sensor().Title);
    EXPECT_NE(pageTitle().indexOf(current()), -1);

    // An edit after the key move lands on the sensor shown, not the one clicked first.
    QTest::keyClick(tree, Qt::Key_Home);
    ClickNode("+5V");
    QTest::keyClick(tree, Qt::Key_Up);
    const QString shown = current();
    ASSERT_NE(shown, QStringLiteral("+5V"));
    EXPECT_EQ(pageTitle(), QStringLiteral("Voltages (%1)").arg(shown));
}

TEST_F(OptionsDialog, SpinButtonsEditTheWorkingCopyOnly)
{
    Open();
    ClickNode("+5V");
    for (int i = 0; i < 10; ++i) {
        Click("CorrectionUp");
    }
    EXPECT_EQ(Field("CorrectionField"), QStringLiteral("+1.0V"));
    const int32_t max = State().TempParam.Slots[kSlot5V].MaxLimit;
    Click("MaxUp");
    EXPECT_EQ(State().TempParam.Slots[kSlot5V].MaxLimit, max + 1);
    EXPECT_EQ(Field("MaxField").toStdString(), Presenter().Sensor().MaxText);
    EXPECT_EQ(State().Settings.Slots[kSlot5V].MaxLimit, max) << "live block untouched until OK";

    ClickNode("CpuFan");
    EXPECT_FALSE(Shown("CorrectionFrame"));
    Click("MinDown");
    Click("MinDown");
    EXPECT_GE(State().TempParam.Slots[kSlotCpuFan].MinLimit, 0);

    ClickNode("General");
    State().TempParam.DiskInterval = 60;
    Click("DiskIntervalDown");
    EXPECT_EQ(Field("DiskIntervalField"), QStringLiteral("60"));
    Click("DiskIntervalUp");
    EXPECT_EQ(Field("DiskIntervalField"), QStringLiteral("61"));
}

TEST_F(OptionsDialog, AlphaPreviewsAtOnceAndCancelRestores)
{
    Open();
    const double before = desktop->app->MainForm().windowOpacity();
    Find<QSlider>(*dialog, "AlphaBar")->setValue(50);
    EXPECT_NEAR(desktop->app->MainForm().windowOpacity(), 127 / 255.0, 0.002);
    EXPECT_EQ(State().TempParam.Alpha, 50);
    Click("CancelButton");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_NEAR(desktop->app->MainForm().windowOpacity(), before, 0.002);
    EXPECT_EQ(State().Settings.Alpha, 0);

    // The frame's close control hides without undoing the preview.
    desktop->app->SettingsClick();
    Find<QSlider>(*dialog, "AlphaBar")->setValue(94);
    Find<QToolButton>(*dialog, "CloseControl")->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_NEAR(desktop->app->MainForm().windowOpacity(), 15 / 255.0, 0.002);
}

TEST_F(OptionsDialog, OkAppliesSavesAndChangesTheWindowMode)
{
    Open();
    desktop->app->ShowMainWindow();
    Click("StartMinimized");
    Click("ModeOnTop");
    Click("SensorIntervalUp");
    const int sensorInterval = State().TempParam.SensorInterval;
    const int writes = desktop->files.Replacements;
    Click("OkButton");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(State().Settings.StartMinimized, 1);
    EXPECT_EQ(State().Settings.WindowMode, 1);
    EXPECT_EQ(desktop->files.Replacements, writes + 1);
    EXPECT_EQ(desktop->app->SensorTimer().interval(), sensorInterval * 1000);
    ui::MainWindow& window = desktop->app->MainForm();
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(window.isVisible()) << "it was up before OK";

    desktop->app->SettingsClick();
    Click("ModeOnDesktop");
    Click("OkButton");
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowStaysOnBottomHint));
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));

    // A window left in the tray stays there.
    desktop->app->MinimizeClick();
    desktop->app->SettingsClick();
    Click("ModeNormal");
    Click("OkButton");
    EXPECT_FALSE(window.isVisible());
    const Qt::WindowFlags flags = window.windowFlags();
    EXPECT_FALSE(flags.testFlag(Qt::WindowStaysOnBottomHint) || flags.testFlag(Qt::WindowStaysOnTopHint));
}

TEST_F(OptionsDialog, ResetAppliesDefaultsWithoutSaving)
{
    Open();
    State().Settings.Alpha = 40;
    State().Settings.Slots[core::kSlotCpu].MaxLimit = 99;
    const int writes = desktop->files.Replacements;
    Click("ResetButton");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(State().Settings.Alpha, 0);
    EXPECT_NE(State().Settings.Slots[core::kSlotCpu].MaxLimit, 99);
    EXPECT_NEAR(desktop->app->MainForm().windowOpacity(), 1.0, 0.002);
    EXPECT_EQ(desktop->files.Replacements, writes);
}

TEST_F(OptionsDialog, ReopeningKeepsAStaleSensorPageOnTop)
{
    Open();
    ClickNode("Cpu");
    Click("CancelButton");
    State().Settings.SensorInterval = 42;
    desktop->app->Tray().Action(ui::TrayItem::Settings)->trigger();
    EXPECT_TRUE(Shown("SensorPage"));
    EXPECT_TRUE(Shown("GeneralPage")) << "refilled beneath it";
    EXPECT_EQ(Field("SensorIntervalField"), QStringLiteral("42"));
}

// The stale page stays above the refilled General page: what is drawn there is that page
// alone, and a click where a General control lies reaches the page that is drawn.
TEST_F(OptionsDialog, AStaleSensorPageIsDrawnOpaqueOverTheGeneralPage)
{
    Open();
    ClickNode("Cpu");
    Click("CancelButton");
    desktop->app->Tray().Action(ui::TrayItem::Settings)->trigger();
    QWidget* sensor = Find<QWidget>(*dialog, "SensorPage");
    ASSERT_TRUE(sensor->isVisible());
    ASSERT_TRUE(Shown("GeneralPage"));

    const QRect onDialog(sensor->mapTo(dialog, QPoint(0, 0)), sensor->size());
    const QImage shot = dialog->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage alone = sensor->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(alone.size(), onDialog.size());
    EXPECT_TRUE(shot.copy(onDialog) == alone) << "the General page shows through the sensor page";

    QWidget* startMinimized = Find<QWidget>(*dialog, "StartMinimized");
    const QPoint where = startMinimized->mapTo(dialog, startMinimized->rect().center());
    QWidget* hit = dialog->childAt(where);
    ASSERT_NE(hit, nullptr);
    EXPECT_TRUE(hit == sensor || sensor->isAncestorOf(hit)) << hit->objectName().toStdString();
    const bool before = State().TempParam.StartMinimized != 0;
    QTest::mouseClick(hit, Qt::LeftButton, {}, hit->mapFrom(dialog, where));
    EXPECT_EQ(State().TempParam.StartMinimized != 0, before) << "a hidden control took the click";
}

TEST_F(OptionsDialog, ColorDialogOpensWithItsOwnLastColor)
{
    core::SettingsBlock settings = DesktopFixture::Defaults();
    settings.TrayColor = 0x0000FF00;
    desktop = std::make_unique<DesktopFixture>(kChipBoard, settings);
    desktop->app->Start();
    core::OptionsPresenter& presenter = desktop->app->Options()->Presenter();
    std::vector<QColor> offered;
    std::optional<QColor> answer = QColor(255, 0, 0);
    ui::OptionsWindow window(presenter, platform::PlatformFamily::Windows9x, [&](const QColor& initial, QWidget*) {
        offered.push_back(initial);
        return answer;
    });
    EXPECT_TRUE(Find<QPushButton>(window, "OkButton")->icon().isNull()) << "Windows 9x: caption only";
    auto* swatch = Find<QToolButton>(window, "TrayColorSwatch");
    EXPECT_TRUE(swatch->styleSheet().contains(QStringLiteral("#00ff00")));
    swatch->click();
    EXPECT_EQ(presenter.General().TrayColor, 0x000000FF);
    answer = std::nullopt;
    swatch->click();
    EXPECT_EQ(presenter.General().TrayColor, 0x000000FF) << "cancelled";
    ASSERT_EQ(offered.size(), 2u);
    EXPECT_EQ(offered[0], QColor(Qt::black)) << "black the first time, whatever TrayColor holds";
    EXPECT_EQ(offered[1], QColor(255, 0, 0));
    EXPECT_TRUE(swatch->styleSheet().contains(QStringLiteral("#ff0000")));
}

// Runs `answer` on the modal window once it is up.
void OnModal(const std::function<void(QWidget&)>& answer)
{
    QTimer::singleShot(0, [answer] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        answer(*modal);
    });
}

TEST_F(OptionsDialog, FanControlTickShowsTheWarningWhoseChoiceSurvivesCancel)
{
    Open(app::CommandWord::FanControl);
    ClickNode("CpuFan");
    ASSERT_TRUE(Shown("FanFrame"));
    QString shown;
    OnModal([&](QWidget& warning) {
        shown = warning.objectName();
        EXPECT_EQ(warning.size(), QSize(311, 128));
        EXPECT_TRUE(warning.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        Find<QCheckBox>(warning, "DoNotShowAgain")->click();
        Find<QPushButton>(warning, "OkButton")->click();
    });
    Click("FanControlEnabled");
    EXPECT_EQ(shown, QStringLiteral("Tf2"));
    EXPECT_TRUE(Find<QCheckBox>(*dialog, "FanControlEnabled")->isChecked());
    EXPECT_EQ(State().Settings.ShowFanWarning, 0);
    Click("CancelButton");
    EXPECT_EQ(State().Settings.ShowFanWarning, 0);
    core::SettingsBlock saved;
    core::DecodeSettings(desktop->files.Files[desktop->SettingsPath()], saved);
    EXPECT_EQ(saved.ShowFanWarning, 0);

    // No warning any more: a tick goes straight to the working copy.
    desktop->app->SettingsClick();
    ClickNode("SysFan");
    Click("FanControlEnabled");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(Notices, AdminNoticeTextsAndDoNotShowAgain)
{
    for (const bool tick : {false, true}) {
        DesktopFixture desktop(kChipBoard);
        desktop.app->Start();
        core::MonitorState& state = desktop.app->GetMonitor().State();
        OnModal([&](QWidget& notice) {
            EXPECT_EQ(notice.objectName(), QStringLiteral("Tnform"));
            EXPECT_EQ(notice.size(), QSize(457, 170));
            const QString text = Find<QPlainTextEdit>(notice, "NoticeText")->toPlainText();
            EXPECT_TRUE(text.startsWith(QStringLiteral("The program starts with non-administrative privileges.\n")));
            EXPECT_TRUE(text.endsWith(QStringLiteral("select \"Install Service\".")));
            auto* box = Find<QCheckBox>(notice, "DoNotShowAgain");
            EXPECT_FALSE(box->isChecked());
            EXPECT_EQ(box->text(), QStringLiteral("Do not show me again"));
            if (tick) {
                box->click();
            }
            Find<QPushButton>(notice, "OkButton")->click();
        });
        ui::RunNotice(state, core::NoticeKind::AdminNotice, platform::PlatformFamily::NtFamily);
        EXPECT_EQ(state.Settings.ShowAdminNotice, tick ? 0 : 1);
        EXPECT_EQ(desktop.files.Replacements, tick ? 1 : 0);
    }
}

using app::testing::FakeProgram;
using app::testing::FakeServices;

class ServiceProgressWindow : public ::testing::Test
{
protected:
    // Lets the wait the last step asked for pass at once; false when no step is pending.
    bool SkipWait()
    {
        if (!menu.StepTimer().isActive()) {
            return false;
        }
        EXPECT_EQ(menu.StepTimer().interval(), app::kProgressWaitMs);
        QSignalSpy fired(&menu.StepTimer(), &QTimer::timeout);
        menu.StepTimer().start(0);
        return fired.wait(1000);
    }
    void RunToEnd()
    {
        QSignalSpy first(&menu.StepTimer(), &QTimer::timeout);
        ASSERT_TRUE(first.wait(1000)) << "the first step runs from the event loop";
        while (SkipWait()) {
        }
    }

    FakeServices services;
    FakeProgram program{services};
    ui::TrayIcon tray;
    ui::ServiceProgressWindow window;
    app::DesktopServiceMenu menu{services, program, platform::PlatformFamily::NtFamily, tray, window};
};

TEST_F(ServiceProgressWindow, InstallShowsEachLineWhileWaitingAndClosesItself)
{
    services.Installed = false;
    menu.UpdateMenu();
    EXPECT_TRUE(tray.Action(ui::TrayItem::InstallService)->isEnabled());
    EXPECT_FALSE(tray.Action(ui::TrayItem::UninstallService)->isEnabled());

    menu.InstallClick();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.size(), QSize(176, 161));
    EXPECT_EQ(window.Lines(), QStringList{"Connect to manager..."});
    QSignalSpy first(&menu.StepTimer(), &QTimer::timeout);
    ASSERT_TRUE(first.wait(1000));
    // The window is free to paint while the program loads the service.
    EXPECT_EQ(window.Lines(), (QStringList{"Connect to manager...OK", "Loading..."}));
    EXPECT_TRUE(menu.Running());
    menu.UninstallClick(); // ignored while running
    ASSERT_TRUE(SkipWait());
    EXPECT_EQ(window.Lines(), (QStringList{"Connect to manager...OK", "Loading...OK", "Starting..."}));
    ASSERT_TRUE(SkipWait());
    EXPECT_EQ(window.Lines(),
              (QStringList{"Connect to manager...OK", "Loading...OK", "Starting...OK", "Service has been installed!"}));
    EXPECT_FALSE(menu.Running());
    EXPECT_FALSE(tray.Action(ui::TrayItem::InstallService)->isEnabled()) << "running now";
    EXPECT_TRUE(tray.Action(ui::TrayItem::UninstallService)->isEnabled());
    ASSERT_TRUE(window.CloseTimer().isActive());
    EXPECT_EQ(window.CloseTimer().interval(), app::kProgressCloseMs);
    window.CloseTimer().start(0);
    QTRY_VERIFY(!window.isVisible());
}

TEST_F(ServiceProgressWindow, UninstallOfAStoppedService)
{
    menu.UninstallClick();
    RunToEnd();
    EXPECT_EQ(window.Lines(),
              (QStringList{"Connect to manager...OK", "Uninstall...OK", "Service has been uninstalled!"}));
    EXPECT_TRUE(window.CloseTimer().isActive());
    EXPECT_TRUE(tray.Action(ui::TrayItem::InstallService)->isEnabled());
    EXPECT_FALSE(tray.Action(ui::TrayItem::UninstallService)->isEnabled());
}

TEST_F(ServiceProgressWindow, FailureStaysUntilClosed)
{
    services.Reachable = false;
    menu.InstallClick();
    RunToEnd();
    EXPECT_EQ(window.Lines(), (QStringList{"Connect to manager...", "Connect failed!", "Service install error!"}));
    EXPECT_FALSE(window.CloseTimer().isActive());
    EXPECT_TRUE(window.isVisible());
    Find<QPushButton>(window, "CloseButton")->click();
    EXPECT_FALSE(window.isVisible());
}

} // namespace
} // namespace calventa::uitest
