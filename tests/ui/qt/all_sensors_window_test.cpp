// The "All sensors" window on the current-desktop board: reached from the tray menu (which is
// also the main window's context menu), every input listed, one put on a main-window slot.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <fstream>
#include <sstream>

#include "ui/qt/all_sensors_window.h"
#include "ui/qt/main_window.h"
#include "ui/qt/tray_icon.h"
#include "ui_test_support.h"

namespace calventa::uitest {
namespace {

std::string DesktopBoardJson()
{
    std::ifstream file(std::string(CALVENTA_SOURCE_DIR) + "/boards/desktop.json");
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

QTreeWidgetItem* ItemLabelled(QTreeWidget* tree, const QString& label)
{
    for (int g = 0; g < tree->topLevelItemCount(); ++g) {
        for (int c = 0; c < tree->topLevelItem(g)->childCount(); ++c) {
            if (tree->topLevelItem(g)->child(c)->text(0) == label) {
                return tree->topLevelItem(g)->child(c);
            }
        }
    }
    return nullptr;
}

TEST(AllSensorsWindow, TheTrayMenuOpensItWithEveryInputAndItsExtremes)
{
    const std::string board = DesktopBoardJson();
    DesktopFixture desktop(board.c_str());
    desktop.app->Start();
    QAction* item = desktop.app->Tray().Action(ui::TrayItem::AllSensors);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), QStringLiteral("All sensors.."));
    // The main window's right-click menu is this very menu.
    EXPECT_TRUE(desktop.app->Tray().Menu()->actions().contains(item));
    item->trigger();
    ui::AllSensorsWindow* window = desktop.app->AllSensorsForm();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("All sensors"));

    auto* tree = window->findChild<QTreeWidget*>(QStringLiteral("SensorTree"));
    ASSERT_NE(tree, nullptr);
    int children = 0;
    for (int g = 0; g < tree->topLevelItemCount(); ++g) {
        children += tree->topLevelItem(g)->childCount();
    }
    EXPECT_EQ(children,
              static_cast<int>(desktop.app->GetMonitor().AllSensors().Rows(desktop.app->GetMonitor().State()).size()));
    for (const char* label : {"Core 0", "Core 1", "Core 2", "Core 3", "CPUTIN", "PECI Agent 0", "Composite"}) {
        EXPECT_NE(ItemLabelled(tree, QString::fromLatin1(label)), nullptr) << label;
    }
    QTreeWidgetItem* composite = ItemLabelled(tree, QStringLiteral("Composite"));
    ASSERT_NE(composite, nullptr);
    EXPECT_EQ(composite->text(1), QStringLiteral("45 °C / 113 °F"));
    EXPECT_EQ(composite->parent()->text(0).left(5), QStringLiteral("nvme "));

    // The sensor timer's passes reach the open window: a new high shows as the maximum.
    desktop.sim->SetKernelInput(1, 4, 71.0); // coretemp's Core 3
    QMetaObject::invokeMethod(&desktop.app->SensorTimer(), "timeout");
    QTreeWidgetItem* core3 = ItemLabelled(tree, QStringLiteral("Core 3"));
    EXPECT_EQ(core3->text(1), QStringLiteral("71 °C / 160 °F"));
    EXPECT_EQ(core3->text(2), QStringLiteral("47 °C / 117 °F"));
    EXPECT_EQ(core3->text(3), QStringLiteral("71 °C / 160 °F"));
}

TEST(AllSensorsWindow, ShowPutsTheSelectedInputOnTheChosenSlotAndSavesIt)
{
    const std::string board = DesktopBoardJson();
    DesktopFixture desktop(board.c_str());
    desktop.app->Start();
    desktop.app->AllSensorsClick();
    ui::AllSensorsWindow* window = desktop.app->AllSensorsForm();
    auto* tree = window->findChild<QTreeWidget*>(QStringLiteral("SensorTree"));
    auto* slotChoice = window->findChild<QComboBox*>(QStringLiteral("SlotChoice"));
    auto* showButton = window->findChild<QPushButton*>(QStringLiteral("ShowButton"));
    ASSERT_TRUE(tree && slotChoice && showButton);
    EXPECT_FALSE(showButton->isEnabled()) << "nothing selected";

    QTreeWidgetItem* core2 = ItemLabelled(tree, QStringLiteral("Core 2"));
    ASSERT_NE(core2, nullptr);
    tree->setCurrentItem(core2);
    EXPECT_TRUE(showButton->isEnabled());
    ASSERT_EQ(slotChoice->count(), 3); // the temperature slotChoice
    slotChoice->setCurrentIndex(slotChoice->findText(QStringLiteral("Aux")));
    ASSERT_GE(slotChoice->currentIndex(), 0);
    showButton->click();

    const core::MonitorState& state = desktop.app->GetMonitor().State();
    EXPECT_EQ(desktop.app->GetMonitor().MainWindow().Value(core::kSlotAux).Text, "44 °C / 112 °F");
    auto* value = desktop.app->MainForm().findChild<QLabel*>(QStringLiteral("Value%1").arg(core::kSlotAux));
    EXPECT_EQ(value->text(), QStringLiteral("44 °C / 112 °F"));
    EXPECT_EQ(ItemLabelled(tree, QStringLiteral("Core 2"))->text(4), QStringLiteral("Aux"));
    const auto saved = desktop.files.Files.find(desktop.SettingsPath());
    ASSERT_NE(saved, desktop.files.Files.end());
    core::SettingsBlock block;
    core::DecodeSettings(saved->second, block);
    EXPECT_EQ(block.Slots[core::kSlotAux].Chip, state.Settings.Slots[core::kSlotAux].Chip);
    EXPECT_EQ(block.Slots[core::kSlotAux].Channel, state.Settings.Slots[core::kSlotAux].Channel);
}

} // namespace
} // namespace calventa::uitest
