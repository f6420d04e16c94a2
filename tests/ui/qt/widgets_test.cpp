#include <gtest/gtest.h>

#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "ui/qt/about_window.h"
#include "ui/qt/alarm_window.h"
#include "ui/qt/artwork.h"
#include "ui/qt/main_window.h"
#include "ui/qt/tray_icon.h"
#include "ui_test_support.h"

namespace calventa::uitest {
namespace {

using core::MainWindowPresenter;

template <typename T> T* Child(QObject& parent, const QString& name)
{
    T* child = parent.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name.toStdString();
    return child;
}

// Checks every widget of the main window against what the presenter computed.
void ExpectWindowMatchesPresenter(ui::MainWindow& window, const MainWindowPresenter& presenter)
{
    const core::MainWindowLayout& layout = presenter.Layout();
    EXPECT_EQ(window.height(), layout.Height);
    EXPECT_EQ(window.width(), 170);
    for (int p = 0; p < 3; ++p) {
        auto* panel = Child<QFrame>(window, QStringLiteral("Panel%1").arg(p));
        ASSERT_NE(panel, nullptr);
        EXPECT_EQ(panel->isVisibleTo(&window), layout.Panels[static_cast<size_t>(p)].Visible) << p;
        if (layout.Panels[static_cast<size_t>(p)].Visible) {
            EXPECT_EQ(panel->geometry(), QRect(0, layout.Panels[static_cast<size_t>(p)].Top, 155,
                                               layout.Panels[static_cast<size_t>(p)].Height));
        }
    }
    std::set<int> shown;
    for (const core::MainWindowRow& row : layout.Rows) {
        shown.insert(row.Slot);
        auto* icon = Child<QLabel>(window, QStringLiteral("Icon%1").arg(row.Slot));
        auto* name = Child<QLabel>(window, QStringLiteral("Name%1").arg(row.Slot));
        auto* value = Child<QLabel>(window, QStringLiteral("Value%1").arg(row.Slot));
        ASSERT_TRUE(icon && name && value);
        EXPECT_EQ(value->parentWidget()->objectName(), QStringLiteral("Panel%1").arg(row.Panel));
        EXPECT_EQ(icon->pos(), QPoint(8, row.Y));
        EXPECT_EQ(icon->pixmap().size(), QSize(16, 16));
        EXPECT_EQ(name->pos(), QPoint(28, row.Y));
        EXPECT_EQ(value->pos(), QPoint(row.ValueLeft, row.Y));
        EXPECT_EQ(value->height(), row.HasPowerLine ? 32 : 16);
        EXPECT_EQ(name->text().toStdString(), core::SlotLabel(row.Slot));
        EXPECT_TRUE(value->isVisibleTo(&window));

        const core::MainWindowValue& expected = presenter.Value(row.Slot);
        std::string text = expected.Text;
        if (row.HasPowerLine) {
            text += "\n" + expected.Power;
        }
        EXPECT_EQ(value->text().toStdString(), text);
        EXPECT_EQ(value->palette().color(QPalette::WindowText), expected.Red ? QColor(255, 0, 0) : QColor(0, 0, 0));
        EXPECT_EQ(value->font().bold(), expected.Red);
        EXPECT_EQ(value->font().pointSize(), 8);
    }
    for (int slot = 0; slot < core::kSlotCount; ++slot) {
        if (!shown.contains(slot)) {
            EXPECT_FALSE(Child<QLabel>(window, QStringLiteral("Value%1").arg(slot))->isVisibleTo(&window)) << slot;
        }
    }
}

TEST(MainWindowRendering, RowsPanelsAndHeightsFollowThePresenter)
{
    DesktopFixture desktop(kChipBoard);
    desktop.app->Start();
    ui::MainWindow& window = desktop.app->MainForm();
    EXPECT_EQ(window.palette().color(QPalette::Window), QColor(0xCB, 0xCB, 0xCB));
    const MainWindowPresenter& presenter = desktop.app->GetMonitor().MainWindow();
    ASSERT_FALSE(presenter.Layout().Rows.empty());
    ExpectWindowMatchesPresenter(window, presenter);
}

TEST(MainWindowRendering, OutOfRangeValueTurnsRedAndBoldAndBack)
{
    core::SettingsBlock settings = DesktopFixture::AfterFirstStart(kChipBoard);
    settings.Slots[core::kSlotCpu].MaxLimit = 40; // the board's CPU reads 43
    DesktopFixture desktop(kChipBoard, settings);
    desktop.app->Start();
    auto* cpu = Child<QLabel>(desktop.app->MainForm(), QStringLiteral("Value%1").arg(core::kSlotCpu));
    EXPECT_TRUE(cpu->font().bold());
    EXPECT_EQ(cpu->palette().color(QPalette::WindowText), QColor(255, 0, 0));

    desktop.app->GetMonitor().State().Settings.Slots[core::kSlotCpu].MaxLimit = 70;
    desktop.app->GetMonitor().UpdatePass();
    EXPECT_FALSE(cpu->font().bold());
    EXPECT_EQ(cpu->palette().color(QPalette::WindowText), QColor(0, 0, 0));
    ExpectWindowMatchesPresenter(desktop.app->MainForm(), desktop.app->GetMonitor().MainWindow());
}

TEST(MainWindowRendering, FanUnderFanControlShowsItsPowerLine)
{
    core::SettingsBlock settings = DesktopFixture::AfterFirstStart(kChipBoard);
    settings.FanControl[0].Enabled = 1; // CpuFan from the Cpu temperature
    DesktopFixture desktop(kChipBoard, settings);
    desktop.app->Start();
    auto* fan = Child<QLabel>(desktop.app->MainForm(), QStringLiteral("Value%1").arg(core::kSlotCpuFan));
    EXPECT_EQ(fan->height(), 32);
    EXPECT_TRUE(fan->text().contains(QStringLiteral("\nPower = ")));
    ExpectWindowMatchesPresenter(desktop.app->MainForm(), desktop.app->GetMonitor().MainWindow());
}

TEST(MainWindowRendering, RelayoutAfterSlotsAreSwitchedOff)
{
    DesktopFixture desktop(kChipBoard);
    desktop.app->Start();
    core::SettingsBlock& settings = desktop.app->GetMonitor().State().Settings;
    for (int slot = core::kSlotVCoreA; slot <= core::kSlotAuxFan2; ++slot) {
        settings.Slots[static_cast<size_t>(slot)].Enabled = 0;
    }
    desktop.app->GetMonitor().BuildMainWindow();
    ExpectWindowMatchesPresenter(desktop.app->MainForm(), desktop.app->GetMonitor().MainWindow());
    EXPECT_FALSE(
        Child<QFrame>(desktop.app->MainForm(), QStringLiteral("Panel2"))->isVisibleTo(&desktop.app->MainForm()));
}

TEST(MainWindowRendering, NoRowAtAllLeavesTheBareFrame)
{
    core::SettingsBlock settings = DesktopFixture::AfterFirstStart(kChipBoard);
    for (auto& slot : settings.Slots) {
        slot.Enabled = 0;
    }
    DesktopFixture desktop(kChipBoard, settings);
    desktop.app->Start();
    EXPECT_EQ(desktop.app->MainForm().height(), 23);
    ExpectWindowMatchesPresenter(desktop.app->MainForm(), desktop.app->GetMonitor().MainWindow());
}

TEST(AlarmWindowRendering, SizeLinesAndPlaceFollowThePresenter)
{
    core::SettingsBlock settings = DesktopFixture::AfterFirstStart(kChipBoard);
    settings.Slots[core::kSlotCpu].MaxLimit = 40;
    settings.Slots[core::kSlotSys].MaxLimit = 30;
    settings.Slots[core::kSlotSys].AlarmEnabled = 1;
    DesktopFixture desktop(kChipBoard, settings);
    desktop.app->Start();
    ui::AlarmWindow* alarm = desktop.app->AlarmForm();
    ASSERT_NE(alarm, nullptr);
    EXPECT_FALSE(alarm->isVisible()) << "no alarm before the alarm window existed";
    EXPECT_TRUE(alarm->windowFlags().testFlag(Qt::WindowStaysOnTopHint));

    desktop.app->GetMonitor().UpdatePass();
    const core::AlarmWindowContent& content = desktop.app->GetMonitor().AlarmWindow();
    ASSERT_EQ(content.Lines.size(), 2u);
    ASSERT_TRUE(alarm->isVisible());
    EXPECT_EQ(alarm->geometry(), QRect(content.Left, content.Top, 200, content.Height));
    EXPECT_EQ(content.Height, 88 + 2 * 16);
    EXPECT_EQ(alarm->windowTitle(), QStringLiteral("Calventa Alarm"));

    auto* title = Child<QLabel>(*alarm, QStringLiteral("AlarmTitle"));
    EXPECT_EQ(title->text(), QStringLiteral("ALARM!"));
    EXPECT_TRUE(title->font().bold() && title->font().underline());
    EXPECT_EQ(title->pos(), QPoint(16, 12));
    for (int i = 0; i < 32; ++i) {
        auto* line = Child<QLabel>(*alarm, QStringLiteral("AlarmLine%1").arg(i));
        EXPECT_EQ(line->isVisibleTo(alarm), i < 2) << i;
        if (i < 2) {
            EXPECT_EQ(line->text().toStdString(), content.Lines[static_cast<size_t>(i)]);
            EXPECT_EQ(line->pos(), QPoint(12, 32 + 16 * i));
            EXPECT_EQ(line->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        }
    }
    auto* panel = Child<QFrame>(*alarm, QStringLiteral("AlarmPanel"));
    EXPECT_EQ(panel->geometry(), QRect(1, 3, 185, content.PanelHeight));
    auto* close = Child<QPushButton>(*alarm, QStringLiteral("CloseButton"));
    EXPECT_EQ(close->geometry(), QRect(4, content.CloseButtonTop, 177, 20));
    EXPECT_TRUE(close->font().bold());

    QTest::mouseClick(close, Qt::LeftButton);
    EXPECT_FALSE(alarm->isVisible());
    EXPECT_FALSE(desktop.app->GetMonitor().Alarms().AlarmWindowShown);
    desktop.app->GetMonitor().UpdatePass();
    EXPECT_FALSE(alarm->isVisible()) << "same values raise nothing new";
}

TEST(AlarmWindowRendering, FrameCloseActsLikeTheCloseButton)
{
    core::SettingsBlock settings = DesktopFixture::AfterFirstStart(kChipBoard);
    settings.Slots[core::kSlotCpu].MaxLimit = 40;
    DesktopFixture desktop(kChipBoard, settings);
    desktop.app->Start();
    desktop.app->GetMonitor().UpdatePass();
    ui::AlarmWindow* alarm = desktop.app->AlarmForm();
    ASSERT_TRUE(alarm->isVisible());
    alarm->close();
    EXPECT_FALSE(alarm->isVisible());
    EXPECT_FALSE(desktop.app->GetMonitor().Alarms().AlarmWindowShown);
}

// The Linux build's About window: a real title, the one version, no made-up addresses.
TEST(AboutWindowContent, LinuxBuildNamesTheProgramAndItsOneVersionWithoutFakeLinks)
{
    std::vector<QUrl> opened;
    ui::AboutWindow about([&](const QUrl& url) { opened.push_back(url); });
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About Calventa"));
    EXPECT_EQ(Child<QLabel>(about, QStringLiteral("TitleLabel"))->text(),
              QStringLiteral("Calventa ") + QString::fromUtf8(core::ProgramVersion().data(),
                                                              static_cast<qsizetype>(core::ProgramVersion().size())));
    about.show();
    for (const QLabel* label : about.findChildren<QLabel*>()) {
        EXPECT_FALSE(label->isVisible() && label->text().contains(QStringLiteral("example"))) << label->text().toStdString();
    }
    EXPECT_FALSE(Child<QLabel>(about, QStringLiteral("HomepageLink"))->isVisible());
    EXPECT_FALSE(Child<QLabel>(about, QStringLiteral("SupportLink"))->isVisible());
    EXPECT_EQ(about.size(), QSize(332, 255));
    EXPECT_TRUE(opened.empty());
}

TEST(AboutWindowContent, TextsLinksAndClose)
{
    std::vector<QUrl> opened;
    ui::AboutWindow about([&](const QUrl& url) { opened.push_back(url); }, nullptr,
                          core::AboutTextsFor(core::TextPlatform::Windows));
    EXPECT_EQ(about.size(), QSize(332, 255));
    EXPECT_EQ(about.windowTitle(), QStringLiteral("AboutForm"));
    EXPECT_EQ(Child<QLabel>(about, QStringLiteral("TitleLabel"))->text(), QStringLiteral("Calventa Beta 1.0 "));
    auto* homepage = Child<QLabel>(about, QStringLiteral("HomepageLink"));
    auto* support = Child<QLabel>(about, QStringLiteral("SupportLink"));
    EXPECT_EQ(homepage->text(), QStringLiteral("https://calventa.example.org"));
    EXPECT_EQ(support->text(), QStringLiteral("support@calventa.example.org"));
    EXPECT_TRUE(homepage->font().underline());
    EXPECT_EQ(homepage->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(Child<QPlainTextEdit>(about, QStringLiteral("AboutText"))->toPlainText(),
              QStringLiteral("If you will find any bugs, please send e-mail about it. In \n"
                             "addition, if the program not finds hardware monitoring chips, \n"
                             "send the name of your motherboard and we shall add \n"
                             "support of your monitoring chips.\n"));
    EXPECT_TRUE(Child<QPlainTextEdit>(about, QStringLiteral("AboutText"))->isReadOnly());

    QTest::mouseClick(homepage, Qt::LeftButton);
    QTest::mouseClick(support, Qt::LeftButton);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], QUrl(QStringLiteral("https://calventa.example.org")));
    EXPECT_EQ(opened[1].toString(), QStringLiteral("mailto:support@calventa.example.org?subject=Calventa-beta-1.0"));

    QSignalSpy finished(&about, &QDialog::finished);
    about.show();
    QTest::mouseClick(Child<QPushButton>(about, QStringLiteral("CloseButton")), Qt::LeftButton);
    EXPECT_EQ(finished.count(), 1);
    EXPECT_FALSE(about.isVisible());
}

TEST(TrayMenu, ItemsSeparatorsAndOneBoldDefault)
{
    ui::TrayIcon tray;
    QStringList captions;
    for (QAction* action : tray.Menu()->actions()) {
        captions << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    EXPECT_EQ(captions, (QStringList{"Restore", "Minimize", "-", "Settings..", "History..", "All sensors..", "About..",
                                     "-", "Install Service", "Uninstall Service", "-", "Exit"}));
    for (ui::TrayItem item : {ui::TrayItem::Restore, ui::TrayItem::Minimize}) {
        tray.SetDefaultItem(item);
        int bold = 0;
        for (QAction* action : tray.Menu()->actions()) {
            bold += action->font().bold() ? 1 : 0;
        }
        EXPECT_EQ(bold, 1);
        EXPECT_TRUE(tray.Action(item)->font().bold());
        EXPECT_EQ(tray.Menu()->defaultAction(), tray.Action(item));
    }
}

TEST(TrayMenu, DoubleClickRunsTheDefaultOnlyWithMouseHandling)
{
    ui::TrayIcon tray;
    QSignalSpy restore(tray.Action(ui::TrayItem::Restore), &QAction::triggered);
    tray.SetDefaultItem(ui::TrayItem::Restore);
    tray.DoubleClick();
    EXPECT_EQ(restore.count(), 0) << "mouse handling starts off";
    tray.SetMouseHandling(true);
    tray.DoubleClick();
    EXPECT_EQ(restore.count(), 1);
}

TEST(TrayMenu, SideBarIsPainted)
{
    ui::TrayIcon tray;
    QMenu* menu = tray.Menu();
    menu->ensurePolished();
    menu->resize(menu->sizeHint());
    const QImage image = menu->grab().toImage();
    // The bar's gradient runs between two dark blues; the items stand on the grey.
    const QColor bar = image.pixelColor(8, image.height() / 2);
    EXPECT_LT(bar.red(), 0x70);
    EXPECT_GT(bar.blue(), bar.red());
    EXPECT_EQ(image.pixelColor(image.width() - 4, image.height() / 2), QColor(0xCB, 0xCB, 0xCB));
}

TEST(TrayContentRendering, TipAndDigitsFromThePresenter)
{
    DesktopFixture desktop(kChipBoard);
    desktop.app->Start();
    const core::TrayContent& content = desktop.app->GetMonitor().Tray();
    ASSERT_TRUE(content.Icon);
    QString tip = QString::fromStdString(content.ShownTip);
    tip.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_EQ(desktop.app->Tray().ToolTip(), tip);
    EXPECT_EQ(desktop.app->Tray().IconImage(), ui::DrawTrayIcon(*content.Icon));

    // Tray source with no chip: the application's own icon.
    desktop.app->GetMonitor().State().Settings.TraySource = 0;
    desktop.app->GetMonitor().ShowTray();
    EXPECT_TRUE(desktop.app->Tray().IconImage().isNull());
}

TEST(TrayContentRendering, LongTipIsCutTo127Characters)
{
    ui::TrayIcon tray;
    core::TrayContent content;
    content.ShownTip = std::string(400, 'x');
    tray.Render(content);
    EXPECT_EQ(tray.ToolTip().size(), 127);
}

} // namespace
} // namespace calventa::uitest
