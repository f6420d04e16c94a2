#include "ui/win32/options_dialog.h"

#include <gtest/gtest.h>

#include <random>

#include "case_name.h"
#include "win32_view_support.h"

namespace calventa::win32test {
namespace {

using ui::win32::OptionsDialog;

// The options dialog on the demo board, its buttons wired as the desktop program wires them.
class Win32OptionsDialog : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CALVENTA_NEED_DISPLAY();
        Make();
    }
    void Make(std::optional<std::vector<uint8_t>> settings = std::nullopt)
    {
        dialog.reset();
        demo = std::make_unique<DemoMonitor>(std::move(settings));
        dialog = std::make_unique<OptionsDialog>(GetModuleHandleW(nullptr), nullptr, demo->options->Presenter(),
                                                 platform::PlatformFamily::NtFamily, [this](COLORREF initial, HWND) {
                                                     chooserInitials.push_back(initial);
                                                     return chooserAnswer;
                                                 });
        dialog->OkClicked = [this] { demo->options->OkClick(); };
        dialog->CancelClicked = [this] {
            demo->options->CancelClick();
            dialog->Hide();
        };
        dialog->ResetClicked = [this] { demo->options->ResetClick(); };
        OpenFromTray();
    }
    // Tray "Settings..": a fresh working copy, then the window shows.
    void OpenFromTray()
    {
        demo->options->Open();
        dialog->Render();
        dialog->Show();
        Pump();
    }
    HWND Control(const char* name)
    {
        HWND control = dialog->Control(name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    const core::OptionsPresenter& Presenter() { return demo->options->Presenter(); }
    core::SettingsBlock& Temp() { return demo->monitor->State().TempParam; }
    core::SettingsBlock& Live() { return demo->monitor->State().Settings; }

    // The tree item whose text is `text`, searched through every level.
    HTREEITEM Item(const std::string& text)
    {
        HWND tree = Control("OptionsTree");
        std::vector<HTREEITEM> pending{TreeView_GetRoot(tree)};
        while (!pending.empty()) {
            HTREEITEM item = pending.back();
            pending.pop_back();
            for (; item != nullptr; item = TreeView_GetNextSibling(tree, item)) {
                if (ItemText(item) == text) {
                    return item;
                }
                if (HTREEITEM child = TreeView_GetChild(tree, item)) {
                    pending.push_back(child);
                }
            }
        }
        ADD_FAILURE() << "no tree item " << text;
        return nullptr;
    }
    std::string ItemText(HTREEITEM item)
    {
        wchar_t buffer[128] = {};
        TVITEMW query{};
        query.mask = TVIF_TEXT | TVIF_HANDLE;
        query.hItem = item;
        query.pszText = buffer;
        query.cchTextMax = 128;
        SendMessageW(Control("OptionsTree"), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query));
        return ui::win32::view::Utf8(buffer);
    }
    void SelectNode(const std::string& text)
    {
        TreeView_SelectItem(Control("OptionsTree"), Item(text));
        Pump();
    }

    std::unique_ptr<DemoMonitor> demo;
    std::unique_ptr<OptionsDialog> dialog;
    std::optional<COLORREF> chooserAnswer;
    std::vector<COLORREF> chooserInitials;
};

TEST_F(Win32OptionsDialog, FrameTreeAndGeneralPageShowWhatThePresenterSays)
{
    EXPECT_EQ(Text(dialog->Handle()), "Calventa");
    wchar_t className[32] = {};
    GetClassNameW(dialog->Handle(), className, 32);
    EXPECT_EQ(ui::win32::view::Utf8(className), "TOptionsForm");
    RECT client;
    GetClientRect(dialog->Handle(), &client);
    const int dpi = ui::win32::view::WindowDpi(dialog->Handle());
    EXPECT_EQ(client.right, ui::win32::view::Scaled(core::options_layout::kClientWidth, dpi));
    EXPECT_EQ(client.bottom, ui::win32::view::Scaled(core::options_layout::kClientHeight, dpi));

    EXPECT_EQ(TreeView_GetCount(Control("OptionsTree")), Presenter().Tree().size());
    for (const core::TreeNode& node : Presenter().Tree()) {
        HTREEITEM item = Item(node.Text);
        HTREEITEM parent = TreeView_GetParent(Control("OptionsTree"), item);
        if (node.Parent < 0) {
            EXPECT_EQ(parent, nullptr) << node.Text;
        } else {
            EXPECT_EQ(ItemText(parent), Presenter().Tree()[static_cast<size_t>(node.Parent)].Text) << node.Text;
        }
    }

    const core::GeneralPage& g = Presenter().General();
    EXPECT_TRUE(Shown(Control("GeneralPage")));
    EXPECT_FALSE(Shown(Control("SensorPage")));
    EXPECT_EQ(Text(Control("RunWithWindows")), g.RunWithWindowsText);
    EXPECT_EQ(IsWindowEnabled(Control("RunWithWindows")) != FALSE, g.RunWithWindowsEnabled);
    EXPECT_EQ(Text(Control("DiskIntervalField")), g.DiskIntervalText);
    EXPECT_EQ(Text(Control("SensorIntervalField")), g.SensorIntervalText);
    EXPECT_EQ(Checked(Control("ModeOnDesktop")), g.WindowMode == 0);
    EXPECT_EQ(Checked(Control("ModeOnTop")), g.WindowMode == 1);
    EXPECT_EQ(Checked(Control("ModeNormal")), g.WindowMode == 2);
    EXPECT_EQ(Shown(Control("StyleFrame")), g.StyleFrameVisible);
    EXPECT_EQ(Selected(Control("TraySourceList")), g.TraySourceSelected);
    EXPECT_EQ(ListEntries(Control("TraySourceList")), (std::vector<std::string>{"Cpu temp", "Sys temp", "Aux temp"}));
    EXPECT_EQ(SendMessageW(Control("AlphaBar"), TBM_GETPOS, 0, 0), g.AlphaPosition);
    EXPECT_EQ(Checked(Control("Fahrenheit")), g.Fahrenheit);
    EXPECT_EQ(Text(Control("OkButton")), "OK");
    EXPECT_EQ(Text(Control("ResetButton")), "Reset to default");
    // The NT family shows pictures on "OK" and "Cancel" (common controls 6 draw both).
    EXPECT_NE(SendMessageW(Control("OkButton"), BM_GETIMAGE, IMAGE_ICON, 0), 0);
    EXPECT_NE(SendMessageW(Control("CancelButton"), BM_GETIMAGE, IMAGE_ICON, 0), 0);
}

TEST_F(Win32OptionsDialog, SensorAndSummaryPagesFollowTheCurrentNodeMouseOrKeyboard)
{
    SelectNode("Voltages");
    EXPECT_TRUE(Shown(Control("SummaryPage")));
    EXPECT_EQ(Text(Control("SummaryFrame")), Presenter().Summary().Title);
    EXPECT_EQ(Text(Control("SummaryFrame")), "Voltages");

    SelectNode("+12V");
    ASSERT_EQ(Presenter().TopPage(), core::OptionsPage::Sensor);
    EXPECT_TRUE(Shown(Control("SensorPage")));
    const core::SensorPage& s = Presenter().Sensor();
    EXPECT_EQ(Text(Control("SensorTitle")), "Voltages (+12V)");
    EXPECT_EQ(Text(Control("SensorFrame")), s.FrameTitle);
    EXPECT_EQ(Checked(Control("SensorEnabled")), s.Enabled);
    EXPECT_EQ(Checked(Control("AlarmEnabled")), s.AlarmEnabled);
    EXPECT_EQ(Text(Control("MinField")), s.MinText);
    EXPECT_EQ(Text(Control("MaxField")), s.MaxText);
    EXPECT_EQ(Text(Control("CorrectionField")), s.CorrectionText);
    EXPECT_EQ(ListEntries(Control("ChipList")), s.ChipList.Entries);
    EXPECT_EQ(Selected(Control("ChipList")), s.ChipList.Selected);
    EXPECT_EQ(ListEntries(Control("SensorList")), s.SensorList.Entries);
    EXPECT_EQ(Selected(Control("SensorList")), s.SensorList.Selected);
    EXPECT_TRUE(Shown(Control("CorrectionFrame")));
    EXPECT_FALSE(Shown(Control("FanFrame")));

    // The arrow key moves the current node; the page follows it.
    const int slot = Presenter().CurrentSlot();
    SendMessageW(Control("OptionsTree"), WM_KEYDOWN, VK_DOWN, 0);
    Pump();
    EXPECT_NE(Presenter().CurrentSlot(), slot);
    EXPECT_EQ(Text(Control("SensorTitle")), Presenter().Sensor().Title);

    SelectNode("CpuFan");
    EXPECT_EQ(Text(Control("SensorTitle")), "Fans (CpuFan)");
    EXPECT_EQ(Shown(Control("FanFrame")), Presenter().Sensor().FanFrameVisible);
    EXPECT_EQ(Shown(Control("CorrectionFrame")), Presenter().Sensor().CorrectionFrameVisible);
    EXPECT_FALSE(Shown(Control("CorrectionField")));

    SelectNode("General");
    EXPECT_TRUE(Shown(Control("GeneralPage")));
    EXPECT_FALSE(Shown(Control("SensorPage")));
}

TEST_F(Win32OptionsDialog, ControlsEditTheWorkingCopyThroughThePresenter)
{
    SelectNode("Cpu");
    const int slot = Presenter().CurrentSlot();
    const int32_t min = Temp().Slots[slot].MinLimit;
    Spin(Control("MinSpin"), true);
    Spin(Control("MinSpin"), true);
    Spin(Control("MaxSpin"), false);
    EXPECT_EQ(Temp().Slots[slot].MinLimit, min + 2);
    EXPECT_EQ(Text(Control("MinField")), Presenter().Sensor().MinText);
    EXPECT_EQ(Text(Control("MaxField")), Presenter().Sensor().MaxText);
    Spin(Control("CorrectionSpin"), true);
    EXPECT_EQ(Text(Control("CorrectionField")), "+1°C");

    const bool enabled = Temp().Slots[slot].Enabled != 0;
    Click(Control("SensorEnabled"));
    EXPECT_EQ(Temp().Slots[slot].Enabled != 0, !enabled);
    EXPECT_EQ(Checked(Control("SensorEnabled")), !enabled);
    Click(Control("AlarmEnabled"));
    EXPECT_EQ(Checked(Control("AlarmEnabled")), Temp().Slots[slot].AlarmEnabled != 0);

    SelectNode("+12V");
    const int voltage = Presenter().CurrentSlot();
    ASSERT_GE(ListEntries(Control("SensorList")).size(), 2u);
    const int other = Temp().Slots[voltage].Channel == 1 ? 1 : 0; // entry 1 is channel 2
    Choose(Control("SensorList"), other);
    EXPECT_EQ(Temp().Slots[voltage].Channel, other + 1);
    EXPECT_EQ(Selected(Control("SensorList")), other);
    EXPECT_EQ(Text(Control("SensorFrame")), Presenter().Sensor().FrameTitle);

    SelectNode("General");
    Spin(Control("DiskIntervalSpin"), true);
    Spin(Control("SensorIntervalSpin"), false);
    EXPECT_EQ(Text(Control("DiskIntervalField")), std::to_string(Temp().DiskInterval));
    EXPECT_EQ(Text(Control("SensorIntervalField")), std::to_string(Temp().SensorInterval));
    Click(Control("ModeOnTop"));
    EXPECT_EQ(Temp().WindowMode, 1);
    EXPECT_TRUE(Checked(Control("ModeOnTop")));
    EXPECT_FALSE(Checked(Control("ModeNormal")));
    Choose(Control("TraySourceList"), 2);
    EXPECT_EQ(Temp().TraySource, 18);
    Click(Control("Fahrenheit"));
    EXPECT_EQ(Temp().TrayFahrenheit, 1);

    // The track bar previews the opacity on the main window at once.
    SendMessageW(Control("AlphaBar"), TBM_SETPOS, TRUE, 5);
    SendMessageW(GetParent(Control("AlphaBar")), WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 5),
                 reinterpret_cast<LPARAM>(Control("AlphaBar")));
    EXPECT_EQ(Temp().Alpha, 5);
    ASSERT_FALSE(demo->host.Opacity.empty());
    EXPECT_EQ(demo->host.Opacity.back(), 242);
}

TEST_F(Win32OptionsDialog, OkAppliesAndSavesCancelDiscardsLikeTheQtBuild)
{
    const core::SettingsBlock before = Live();
    const bool startMinimized = before.StartMinimized != 0;

    Click(Control("StartMinimized"));
    Spin(Control("DiskIntervalSpin"), true);
    SendMessageW(Control("AlphaBar"), TBM_SETPOS, TRUE, 40);
    SendMessageW(GetParent(Control("AlphaBar")), WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 40),
                 reinterpret_cast<LPARAM>(Control("AlphaBar")));
    Click(Control("CancelButton"));
    EXPECT_FALSE(dialog->Visible());
    EXPECT_EQ(Live().StartMinimized != 0, startMinimized);
    EXPECT_EQ(Live().DiskInterval, before.DiskInterval);
    EXPECT_EQ(demo->host.Opacity.back(), core::OpacityOfAlpha(before.Alpha)); // the preview undone
    const std::optional<core::SettingsBlock> savedAfterCancel = demo->Saved();

    // Opened again, the page shows the live settings, not what was cancelled.
    OpenFromTray();
    EXPECT_EQ(Checked(Control("StartMinimized")), startMinimized);
    EXPECT_EQ(Text(Control("DiskIntervalField")), std::to_string(before.DiskInterval));

    Click(Control("StartMinimized"));
    Spin(Control("DiskIntervalSpin"), true);
    SelectNode("Cpu");
    const int slot = Presenter().CurrentSlot();
    Spin(Control("MaxSpin"), true);
    Click(Control("OkButton"));
    EXPECT_EQ(Live().StartMinimized != 0, !startMinimized);
    EXPECT_EQ(Live().DiskInterval, std::min(before.DiskInterval + 1, core::kDiskIntervalMax));
    EXPECT_EQ(Live().Slots[slot].MaxLimit, before.Slots[slot].MaxLimit + 1);
    const std::optional<core::SettingsBlock> saved = demo->Saved();
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->StartMinimized, Live().StartMinimized);
    EXPECT_EQ(saved->DiskInterval, Live().DiskInterval);
    EXPECT_EQ(saved->Slots[slot].MaxLimit, Live().Slots[slot].MaxLimit);
    if (savedAfterCancel) {
        EXPECT_EQ(savedAfterCancel->DiskInterval, before.DiskInterval); // Cancel saved nothing new
    }
}

TEST_F(Win32OptionsDialog, ResetPutsTheDefaultsInForceWithoutSaving)
{
    Click(Control("OkButton")); // a settings.dat to compare with
    const std::vector<uint8_t> file = demo->files.Files.at(demo->SettingsPath());
    Live().DiskInterval = 900;
    Click(Control("ResetButton"));
    EXPECT_NE(Live().DiskInterval, 900);
    EXPECT_EQ(demo->files.Files.at(demo->SettingsPath()), file);
}

TEST_F(Win32OptionsDialog, ColourDialogCancelledChangesNothingConfirmedAppliesAndIsRemembered)
{
    const int32_t color = Temp().TrayColor;
    chooserAnswer = std::nullopt;
    Click(Control("TrayColorSwatch"));
    ASSERT_EQ(chooserInitials.size(), 1u);
    EXPECT_EQ(chooserInitials[0], RGB(0, 0, 0)); // its own last colour: black at first
    EXPECT_EQ(Temp().TrayColor, color);
    EXPECT_EQ(dialog->LastChosenColor(), RGB(0, 0, 0));

    chooserAnswer = RGB(10, 200, 30);
    Click(Control("TrayColorSwatch"));
    EXPECT_EQ(Temp().TrayColor, static_cast<int32_t>(RGB(10, 200, 30)));
    chooserAnswer = std::nullopt;
    Click(Control("TrayColorSwatch"));
    ASSERT_EQ(chooserInitials.size(), 3u);
    EXPECT_EQ(chooserInitials[2], RGB(10, 200, 30));
    EXPECT_EQ(Temp().TrayColor, static_cast<int32_t>(RGB(10, 200, 30)));
}

TEST_F(Win32OptionsDialog, EscapeAndTheCloseControlHideWithoutUndoingThePreview)
{
    SendMessageW(dialog->Handle(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(dialog->Visible());
    dialog->Show();
    MSG escape{dialog->Handle(), WM_KEYDOWN, VK_ESCAPE, 0, 0, {0, 0}};
    SetFocus(Control("OptionsTree"));
    escape.hwnd = GetFocus();
    dialog->HandleDialogMessage(escape);
    EXPECT_FALSE(dialog->Visible());
    EXPECT_TRUE(demo->host.Opacity.empty());
}

// settings.dat of any content: values out of every range, and random bytes of several
// lengths. The dialog shows what the presenter makes of them, and every control can be used.
struct BadSettings
{
    std::string Name;
    std::vector<uint8_t> Bytes;
};

std::vector<BadSettings> BadSettingsCases()
{
    std::vector<BadSettings> cases;
    core::SettingsBlock wild;
    core::SetDefaultSettings(wild, {800, 600}, core::kDefaultMainWindowWidth);
    wild.WindowMode = 7;
    wild.TraySource = 99;
    wild.DiskInterval = 30;
    wild.SensorInterval = 100000;
    wild.Alpha = 200;
    wild.TrayFahrenheit = 5;
    for (core::SensorSlot& slot : wild.Slots) {
        slot.Chip = 0;
        slot.Channel = 77;
        slot.MinLimit = INT32_MIN;
        slot.MaxLimit = INT32_MAX;
        slot.Correction = 1e30f;
    }
    const core::SettingsImage image = core::EncodeSettings(wild);
    cases.push_back({"ValuesOutOfEveryRange", std::vector<uint8_t>(image.begin(), image.end())});
    std::mt19937 random(23);
    for (const size_t size : {size_t{0}, size_t{7}, core::kSettingsImageSize, core::kSettingsImageSize + 100}) {
        std::vector<uint8_t> bytes(size);
        for (uint8_t& b : bytes) {
            b = static_cast<uint8_t>(random());
        }
        cases.push_back({"RandomBytes" + std::to_string(size), bytes});
    }
    return cases;
}

class Win32OptionsDialogBadSettings : public Win32OptionsDialog, public ::testing::WithParamInterface<BadSettings>
{
protected:
    void SetUp() override
    {
        CALVENTA_NEED_DISPLAY();
        Make(GetParam().Bytes);
    }
};

TEST_P(Win32OptionsDialogBadSettings, EveryPageShowsThePresenterAndEveryControlWorks)
{
    const core::GeneralPage& g = Presenter().General();
    EXPECT_EQ(Text(Control("DiskIntervalField")), g.DiskIntervalText);
    EXPECT_EQ(Selected(Control("TraySourceList")), g.TraySourceSelected);
    EXPECT_EQ(Checked(Control("ModeOnDesktop")) + Checked(Control("ModeOnTop")) + Checked(Control("ModeNormal")),
              g.WindowMode >= 0 && g.WindowMode <= 2 ? 1 : 0);
    // A stored value outside its range shows unchanged; one press each way brings it inside.
    Spin(Control("DiskIntervalSpin"), true);
    Spin(Control("DiskIntervalSpin"), false);
    EXPECT_GE(Temp().DiskInterval, core::kDiskIntervalMin);
    EXPECT_LE(Temp().DiskInterval, core::kDiskIntervalMax);
    EXPECT_EQ(Text(Control("DiskIntervalField")), std::to_string(Temp().DiskInterval));
    Spin(Control("SensorIntervalSpin"), false);
    Spin(Control("SensorIntervalSpin"), true);
    EXPECT_GE(Temp().SensorInterval, core::kSensorIntervalMin);
    EXPECT_LE(Temp().SensorInterval, core::kSensorIntervalMax);
    for (const core::TreeNode& node : Presenter().Tree()) {
        SelectNode(node.Text);
        EXPECT_EQ(Text(Control("MinField")), Presenter().Sensor().MinText) << node.Text;
        EXPECT_EQ(ListEntries(Control("SensorList")), Presenter().Sensor().SensorList.Entries) << node.Text;
        for (const char* spin : {"MinSpin", "MaxSpin", "CorrectionSpin", "NominalSpin"}) {
            Spin(Control(spin), true);
        }
        if (!ListEntries(Control("ChipList")).empty()) {
            Choose(Control("ChipList"), 0);
        }
        Choose(Control("SourceList"), 2);
    }
    Click(Control("OkButton"));
    EXPECT_TRUE(demo->Saved());
}

INSTANTIATE_TEST_SUITE_P(SettingsFiles, Win32OptionsDialogBadSettings, ::testing::ValuesIn(BadSettingsCases()),
                         [](const ::testing::TestParamInfo<BadSettings>& info) {
                             return testnames::CaseName(info.param.Name);
                         });

} // namespace
} // namespace calventa::win32test
