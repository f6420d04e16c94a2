#include "ui/win32/options_dialog.h"

#include <algorithm>
#include <memory>

#include "core/options_layout.h"

namespace calventa::ui::win32 {

using namespace view;

namespace {

namespace layout = core::options_layout;
using core::OptionsPresenter;

constexpr const wchar_t* kWindowClass = L"TOptionsForm";
constexpr COLORREF kMaskColor = RGB(255, 0, 255);
constexpr int kTreeIconCount = 9;

// The nine tree icons, numbered as the presenter's TreeNode::Icon, drawn on kMaskColor.
void DrawTreeIcon(HDC dc, int index)
{
    const RECT all{0, 0, 16, 16};
    const Brush mask(CreateSolidBrush(kMaskColor));
    FillRect(dc, &all, mask.Get());
    const Pen outline(CreatePen(PS_SOLID, 1, RGB(60, 60, 70)));
    const Selected pen(dc, outline.Get());
    auto fill = [&](COLORREF color, auto&& draw) {
        const Brush brush(CreateSolidBrush(color));
        const Selected chosen(dc, brush.Get());
        draw();
    };
    switch (index) {
    case core::kIconGeneral:
        fill(RGB(150, 155, 165), [&] {
            Rectangle(dc, 6, 0, 10, 16); // the teeth
            Rectangle(dc, 0, 6, 16, 10);
            Ellipse(dc, 2, 2, 14, 14);
        });
        fill(RGB(203, 203, 203), [&] { Ellipse(dc, 6, 6, 10, 10); });
        break;
    case core::kIconTemperatures:
        fill(RGB(255, 255, 255), [&] { RoundRect(dc, 6, 0, 11, 12, 3, 3); });
        fill(RGB(210, 30, 30), [&] {
            Ellipse(dc, 4, 9, 13, 16);
            Rectangle(dc, 7, 4, 10, 11);
        });
        break;
    case core::kIconVoltages:
        fill(RGB(250, 200, 30), [&] {
            const POINT bolt[] = {{9, 0}, {3, 9}, {7, 9}, {5, 15}, {12, 6}, {8, 6}, {10, 0}};
            Polygon(dc, bolt, 7);
        });
        break;
    case core::kIconFans:
        fill(RGB(40, 110, 200), [&] {
            Pie(dc, 1, 1, 15, 15, 15, 8, 8, 1);
            Pie(dc, 1, 1, 15, 15, 1, 8, 8, 15);
        });
        fill(RGB(60, 60, 70), [&] { Ellipse(dc, 6, 6, 10, 10); });
        break;
    case core::kIconSys:
        fill(RGB(40, 140, 60), [&] { Rectangle(dc, 1, 2, 15, 14); });
        fill(RGB(220, 220, 220), [&] {
            Rectangle(dc, 3, 4, 7, 8);
            Rectangle(dc, 9, 8, 13, 12);
        });
        break;
    case core::kIconAux:
        fill(RGB(170, 120, 60), [&] { Rectangle(dc, 2, 4, 14, 14); });
        fill(RGB(200, 150, 90), [&] { Rectangle(dc, 1, 2, 15, 5); });
        break;
    case core::kIconDisk:
        fill(RGB(170, 170, 175), [&] { Rectangle(dc, 1, 3, 15, 13); });
        fill(RGB(90, 90, 100), [&] { Ellipse(dc, 4, 4, 11, 11); });
        break;
    default: // the processor and the unused icon: a chip
        for (int x = 4; x <= 11; x += 3) {
            MoveToEx(dc, x, 1, nullptr);
            LineTo(dc, x, 15);
        }
        fill(RGB(50, 50, 55), [&] { Rectangle(dc, 2, 3, 14, 13); });
        break;
    }
}

HIMAGELIST MakeTreeIcons()
{
    HIMAGELIST icons = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, kTreeIconCount, 0);
    if (icons == nullptr) {
        return nullptr;
    }
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    for (int i = 0; i < kTreeIconCount; ++i) {
        Bitmap picture(CreateCompatibleBitmap(screen, 16, 16));
        {
            const Selected chosen(dc, picture.Get());
            DrawTreeIcon(dc, i);
        }
        ImageList_AddMasked(icons, picture.Get(), kMaskColor);
    }
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return icons;
}

// The pictures of "OK" (a green tick) and "Cancel" (a red cross), 16 × 16.
HICON MakeButtonPicture(bool ok)
{
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    Bitmap color(CreateCompatibleBitmap(screen, 16, 16));
    Bitmap mask(CreateBitmap(16, 16, 1, 1, nullptr));
    {
        const Selected chosen(dc, color.Get());
        const RECT all{0, 0, 16, 16};
        const Brush black(CreateSolidBrush(RGB(0, 0, 0)));
        FillRect(dc, &all, black.Get());
        const Pen pen(CreatePen(PS_SOLID, 2, ok ? RGB(20, 140, 40) : RGB(200, 30, 30)));
        const Selected drawing(dc, pen.Get());
        if (ok) {
            const POINT tick[] = {{3, 8}, {6, 12}, {13, 4}};
            Polyline(dc, tick, 3);
        } else {
            MoveToEx(dc, 4, 4, nullptr);
            LineTo(dc, 12, 12);
            MoveToEx(dc, 12, 4, nullptr);
            LineTo(dc, 4, 12);
        }
    }
    {
        // Mask: white (transparent) where the colour bitmap is black.
        const Selected chosen(dc, mask.Get());
        HDC source = CreateCompatibleDC(screen);
        {
            const Selected picture(source, color.Get());
            SetBkColor(source, RGB(0, 0, 0));
            BitBlt(dc, 0, 0, 16, 16, source, 0, 0, SRCCOPY);
        }
        DeleteDC(source);
    }
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmMask = mask.Get();
    info.hbmColor = color.Get();
    return CreateIconIndirect(&info);
}

// Selects `entry` in a combo box, none for an index outside its entries.
void SetSelected(HWND list, int entry)
{
    const auto count = static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0));
    SendMessageW(list, CB_SETCURSEL, entry >= 0 && entry < count ? entry : -1, 0);
}

void SetList(HWND list, const core::ListState& state)
{
    const auto count = static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0));
    bool same = count == static_cast<int>(state.Entries.size());
    for (int i = 0; same && i < count; ++i) {
        const auto length = static_cast<int>(SendMessageW(list, CB_GETLBTEXTLEN, i, 0));
        std::wstring shown(static_cast<size_t>(std::max(length, 0)) + 1, L'\0');
        SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(shown.data()));
        shown.resize(static_cast<size_t>(std::max(length, 0)));
        same = shown == Wide(state.Entries[static_cast<size_t>(i)]);
    }
    if (!same) {
        SendMessageW(list, CB_RESETCONTENT, 0, 0);
        for (const std::string& entry : state.Entries) {
            SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(entry).c_str()));
        }
    }
    SetSelected(list, state.Selected);
}

void SetChecked(HWND button, bool checked)
{
    SendMessageW(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool IsChecked(HWND button)
{
    return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// Sets a window's text only when it differs, so that nothing flickers on a render.
void SetText(HWND window, const std::string& text)
{
    const std::wstring wide = Wide(text);
    if (WindowText(window) != wide) {
        SetWindowTextW(window, wide.c_str());
    }
}

void SetShown(HWND window, bool shown)
{
    if (ShownInParent(window) != shown) {
        ShowWindow(window, shown ? SW_SHOWNA : SW_HIDE);
    }
}

// Radio buttons of one frame: `selected` checked, the others clear; none for an index outside
// the set (an out-of-range value read from settings.dat).
void SetRadios(std::initializer_list<HWND> buttons, int selected)
{
    int index = 0;
    for (HWND button : buttons) {
        SetChecked(button, index++ == selected);
    }
}

} // namespace

ColorChooser SystemColorChooser()
{
    auto custom = std::make_shared<std::array<COLORREF, 16>>();
    custom->fill(RGB(255, 255, 255));
    return [custom](COLORREF initial, HWND owner) -> std::optional<COLORREF> {
        CHOOSECOLORW choice{};
        choice.lStructSize = sizeof choice;
        choice.hwndOwner = owner;
        choice.rgbResult = initial;
        choice.lpCustColors = custom->data();
        choice.Flags = CC_RGBINIT | CC_FULLOPEN;
        if (!ChooseColorW(&choice)) {
            return std::nullopt;
        }
        return choice.rgbResult & 0x00FFFFFF;
    };
}

OptionsDialog::OptionsDialog(HINSTANCE instance, HWND owner, core::OptionsPresenter& presenter,
                             platform::PlatformFamily family, ColorChooser chooser)
    : m_presenter(presenter), m_chooser(std::move(chooser))
{
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                  ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    // The class keeps its grey brush for the process's life, as a class's background does.
    RegisterViewClass(instance, kWindowClass, &ViewProcedure<OptionsDialog>,
                      CreateSolidBrush(ColorOf(core::kDialogColor)));
    m_dialogBrush.Reset(CreateSolidBrush(ColorOf(core::kDialogColor)));
    m_fieldBrush.Reset(CreateSolidBrush(GetSysColor(COLOR_WINDOW)));

    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    m_window = CreateWindowExW(exStyle, kWindowClass, Wide(core::kOptionsCaption).c_str(), style, CW_USEDEFAULT,
                               CW_USEDEFAULT, 100, 100, owner, nullptr, instance, this);
    if (m_window == nullptr) {
        return;
    }
    m_dpi = WindowDpi(m_window);
    m_font = MessageFont(m_dpi);
    m_boldFont = MessageFont(m_dpi, true);

    // The client area as the Qt dialog's, centred on the work area.
    RECT outer{0, 0, Scaled(layout::kClientWidth, m_dpi), Scaled(layout::kClientHeight, m_dpi)};
    AdjustWindowRectEx(&outer, style, FALSE, exStyle);
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    SetWindowPos(m_window, nullptr, std::max<int>(work.left, (work.left + work.right - width) / 2),
                 std::max<int>(work.top, (work.top + work.bottom - height) / 2), width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);

    Build(instance, family);
    Render();
}

OptionsDialog::~OptionsDialog()
{
    if (m_window != nullptr) {
        SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
        DestroyWindow(m_window);
    }
    if (m_treeIcons != nullptr) {
        ImageList_Destroy(m_treeIcons);
    }
}

HWND OptionsDialog::Control(const std::string& name) const
{
    const auto found = m_controls.find(name);
    return found == m_controls.end() ? nullptr : found->second;
}

HWND OptionsDialog::Add(const std::string& name, HWND control)
{
    if (!name.empty()) {
        m_controls[name] = control;
    }
    return control;
}

HWND OptionsDialog::Frame(HWND page, const std::string& name, const char* title, layout::Rect at)
{
    return Add(name, MakeControl(page, L"BUTTON", Wide(title), BS_GROUPBOX, Scaled(at.X, m_dpi), Scaled(at.Y, m_dpi),
                                 Scaled(at.Width, m_dpi), Scaled(at.Height, m_dpi), 0, m_font.Get()));
}

HWND OptionsDialog::Label(HWND page, const char* text, int x, int y)
{
    const std::wstring wide = Wide(text);
    const SIZE size = TextExtent(page, m_font.Get(), wide);
    return MakeControl(page, L"STATIC", wide, SS_LEFT | SS_NOPREFIX, Scaled(x, m_dpi), Scaled(y, m_dpi), size.cx + 2,
                       size.cy, 0, m_font.Get());
}

HWND OptionsDialog::Check(HWND page, const std::string& name, const std::string& text, int x, int y, bool radio)
{
    const std::wstring wide = Wide(text);
    const SIZE size = TextExtent(page, m_font.Get(), wide);
    const int id = m_nextId++;
    HWND button = MakeControl(page, L"BUTTON", wide, (radio ? BS_RADIOBUTTON : BS_AUTOCHECKBOX) | WS_TABSTOP,
                              Scaled(x, m_dpi), Scaled(y, m_dpi), size.cx + Scaled(22, m_dpi),
                              std::max<int>(size.cy, Scaled(16, m_dpi)), id, m_font.Get());
    return Add(name, button);
}

HWND OptionsDialog::List(HWND page, const std::string& name, layout::Rect at, int visibleEntries)
{
    const int id = m_nextId++;
    HWND list = MakeControl(page, WC_COMBOBOXW, std::wstring(), CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP,
                            Scaled(at.X, m_dpi), Scaled(at.Y, m_dpi), Scaled(at.Width, m_dpi),
                            Scaled(at.Height, m_dpi) + Scaled(18, m_dpi) * visibleEntries, id, m_font.Get());
    return Add(name, list);
}

HWND OptionsDialog::SpinField(HWND page, const std::string& name, layout::Rect at,
                              std::function<void(core::OptionsPresenter&, bool)> stepped)
{
    HWND field = MakeControl(page, WC_EDITW, std::wstring(), ES_READONLY | ES_AUTOHSCROLL, Scaled(at.X, m_dpi),
                             Scaled(at.Y, m_dpi), Scaled(at.Width, m_dpi), Scaled(at.Height, m_dpi), m_nextId++,
                             m_font.Get(), WS_EX_CLIENTEDGE);
    HWND spin = MakeControl(page, UPDOWN_CLASSW, std::wstring(), 0, Scaled(at.X + at.Width, m_dpi), Scaled(at.Y, m_dpi),
                            Scaled(layout::kSpinWidth, m_dpi), Scaled(at.Height, m_dpi), m_nextId++, nullptr);
    // The control only reports presses: it rests mid-range and every step is refused, so
    // that no bound of its own ever stops a press.
    SendMessageW(spin, UDM_SETRANGE32, 0, 100);
    SendMessageW(spin, UDM_SETPOS32, 0, 50);
    m_spins[spin] = std::move(stepped);
    Add(name + "Field", field);
    Add(name + "Spin", spin);
    return field;
}

void OptionsDialog::Build(HINSTANCE instance, platform::PlatformFamily family)
{
    m_tree = Add("OptionsTree", MakeControl(m_window, WC_TREEVIEWW, std::wstring(),
                                            TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS |
                                                TVS_DISABLEDRAGDROP | WS_TABSTOP,
                                            Scaled(layout::kTree.X, m_dpi), Scaled(layout::kTree.Y, m_dpi),
                                            Scaled(layout::kTree.Width, m_dpi), Scaled(layout::kTree.Height, m_dpi),
                                            m_nextId++, m_font.Get(), WS_EX_CLIENTEDGE));
    m_treeIcons = MakeTreeIcons();
    TreeView_SetImageList(m_tree, m_treeIcons, TVSIL_NORMAL);
    BuildTree();

    const layout::Rect area = layout::kPageArea;
    auto page = [&](const char* name) {
        return Add(name, MakePane(instance, m_window, Scaled(area.X, m_dpi), Scaled(area.Y, m_dpi),
                                  Scaled(area.Width, m_dpi), Scaled(area.Height, m_dpi)));
    };
    m_generalPage = page("GeneralPage");
    BuildGeneralPage(instance);
    m_summaryPage = page("SummaryPage");
    Frame(m_summaryPage, "SummaryFrame", "", {0, 0, area.Width, area.Height});
    Add("SummaryLine", Label(m_summaryPage, "", layout::kSummaryLine.X, layout::kSummaryLine.Y));
    MoveWindow(Control("SummaryLine"), Scaled(layout::kSummaryLine.X, m_dpi), Scaled(layout::kSummaryLine.Y, m_dpi),
               Scaled(layout::kSummaryLine.Width, m_dpi), Scaled(layout::kSummaryLine.Height, m_dpi), FALSE);
    m_sensorPage = page("SensorPage");
    BuildSensorPage(instance);
    // Stacked as the Qt dialog's: the sensor page on top, then the summary, the General page lowest.
    SetWindowPos(m_sensorPage, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetWindowPos(m_summaryPage, m_sensorPage, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetWindowPos(m_generalPage, m_summaryPage, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    auto button = [&](const char* name, const char* text, layout::Rect at, int id, std::function<void()>& callback) {
        HWND made =
            MakeControl(m_window, L"BUTTON", Wide(text), BS_PUSHBUTTON | WS_TABSTOP, Scaled(at.X, m_dpi),
                        Scaled(at.Y, m_dpi), Scaled(at.Width, m_dpi), Scaled(at.Height, m_dpi), id, m_boldFont.Get());
        m_commands[id] = [&callback](int code, HWND) {
            if (code == BN_CLICKED && callback) {
                callback();
            }
        };
        return Add(name, made);
    };
    button("ResetButton", layout::kResetText, layout::kResetButton, m_nextId++, ResetClicked);
    HWND cancel = button("CancelButton", layout::kCancelText, layout::kCancelButton, m_nextId++, CancelClicked);
    HWND ok = button("OkButton", layout::kOkText, layout::kOkButton, IDOK, OkClicked);
    // Windows 9x shows the captions alone.
    if (family == platform::PlatformFamily::NtFamily) {
        m_buttonPictures[0] = Icon(MakeButtonPicture(true));
        m_buttonPictures[1] = Icon(MakeButtonPicture(false));
        SendMessageW(ok, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(m_buttonPictures[0].Get()));
        SendMessageW(cancel, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(m_buttonPictures[1].Get()));
    }
}

void OptionsDialog::BuildTree()
{
    // Building shows no page: the selection notifications are ignored meanwhile.
    m_rendering = true;
    const std::vector<core::TreeNode>& nodes = m_presenter.Tree();
    m_items.assign(nodes.size(), nullptr);
    for (size_t i = 0; i < nodes.size(); ++i) {
        const core::TreeNode& node = nodes[i];
        const bool child =
            node.Parent >= 0 && static_cast<size_t>(node.Parent) < i && m_items[static_cast<size_t>(node.Parent)];
        const std::wstring text = Wide(node.Text);
        TVINSERTSTRUCTW insert{};
        insert.hParent = child ? m_items[static_cast<size_t>(node.Parent)] : TVI_ROOT;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
        insert.item.pszText = const_cast<wchar_t*>(text.c_str());
        const int icon = node.Icon >= 0 && node.Icon < kTreeIconCount ? node.Icon : 4;
        insert.item.iImage = icon;
        insert.item.iSelectedImage = icon;
        insert.item.lParam = static_cast<LPARAM>(i);
        m_items[i] =
            reinterpret_cast<HTREEITEM>(SendMessageW(m_tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    }
    m_rendering = false;
}

void OptionsDialog::BuildSensorPage(HINSTANCE)
{
    HWND page = m_sensorPage;
    const layout::Rect area = layout::kPageArea;
    Frame(page, "SensorTitle", "", {0, 0, area.Width, area.Height});
    HWND enabled =
        Check(page, "SensorEnabled", layout::kEnabledText, layout::kSensorEnabled.X, layout::kSensorEnabled.Y, false);
    m_commands[GetDlgCtrlID(enabled)] = [this](int code, HWND control) {
        if (code == BN_CLICKED) {
            const bool on = IsChecked(control);
            Act([on](OptionsPresenter& p) { p.EnabledClick(on); });
        }
    };

    const layout::Rect sensor = layout::kSensorFrame;
    Frame(page, "SensorFrame", "", sensor);
    Label(page, layout::kChipLabelText, sensor.X + layout::kChipLabel.X, sensor.Y + layout::kChipLabel.Y);
    auto inFrame = [](layout::Rect frame, layout::Rect at) {
        return layout::Rect{frame.X + at.X, frame.Y + at.Y, at.Width, at.Height};
    };
    HWND chips = List(page, "ChipList", inFrame(sensor, layout::kChipList), 8);
    Label(page, layout::kSensorLabelText, sensor.X + layout::kSensorLabel.X, sensor.Y + layout::kSensorLabel.Y);
    HWND sensors = List(page, "SensorList", inFrame(sensor, layout::kSensorList), 8);
    auto chosen = [this](void (OptionsPresenter::*handler)(int)) {
        return [this, handler](int code, HWND control) {
            if (code == CBN_SELCHANGE) {
                const auto entry = static_cast<int>(SendMessageW(control, CB_GETCURSEL, 0, 0));
                Act([handler, entry](OptionsPresenter& p) { (p.*handler)(entry); });
            }
        };
    };
    m_commands[GetDlgCtrlID(chips)] = chosen(&OptionsPresenter::ChipChosen);
    m_commands[GetDlgCtrlID(sensors)] = chosen(&OptionsPresenter::SensorChosen);

    const layout::Rect alarm = layout::kAlarmFrame;
    Frame(page, "AlarmFrame", layout::kAlarmFrameText, alarm);
    HWND alarmEnabled = Check(page, "AlarmEnabled", layout::kAlarmEnabledText, alarm.X + layout::kAlarmEnabled.X,
                              alarm.Y + layout::kAlarmEnabled.Y, false);
    m_commands[GetDlgCtrlID(alarmEnabled)] = [this](int code, HWND control) {
        if (code == BN_CLICKED) {
            const bool on = IsChecked(control);
            Act([on](OptionsPresenter& p) { p.AlarmEnabledClick(on); });
        }
    };
    Label(page, layout::kMinLabelText, alarm.X + layout::kMinLabel.X, alarm.Y + layout::kMinLabel.Y);
    SpinField(page, "Min", inFrame(alarm, layout::kMinField), [](OptionsPresenter& p, bool up) { p.MinSpin(up); });
    Label(page, layout::kMaxLabelText, alarm.X + layout::kMaxLabel.X, alarm.Y + layout::kMaxLabel.Y);
    SpinField(page, "Max", inFrame(alarm, layout::kMaxField), [](OptionsPresenter& p, bool up) { p.MaxSpin(up); });

    const layout::Rect correction = layout::kCorrectionFrame;
    m_correctionControls.push_back(Frame(page, "CorrectionFrame", layout::kCorrectionFrameText, correction));
    m_correctionControls.push_back(SpinField(page, "Correction", inFrame(correction, layout::kCorrectionField),
                                             [](OptionsPresenter& p, bool up) { p.CorrectionSpin(up); }));
    m_correctionControls.push_back(Control("CorrectionSpin"));

    const layout::Rect fan = layout::kFanFrame;
    auto fanControl = [this](HWND control) {
        m_fanControls.push_back(control);
        return control;
    };
    fanControl(Frame(page, "FanFrame", layout::kFanFrameText, fan));
    HWND fanEnabled =
        fanControl(Check(page, "FanControlEnabled", layout::kEnabledText, fan.X + layout::kFanControlEnabled.X,
                         fan.Y + layout::kFanControlEnabled.Y, false));
    m_commands[GetDlgCtrlID(fanEnabled)] = [this](int code, HWND control) {
        if (code == BN_CLICKED) {
            const bool on = IsChecked(control);
            Act([on](OptionsPresenter& p) { p.FanControlClick(on); });
        }
    };
    fanControl(
        Label(page, layout::kRegisterLabelText, fan.X + layout::kRegisterLabel.X, fan.Y + layout::kRegisterLabel.Y));
    HWND registers = fanControl(List(page, "RegisterList", inFrame(fan, layout::kRegisterList), 8));
    m_commands[GetDlgCtrlID(registers)] = chosen(&OptionsPresenter::RegisterChosen);
    fanControl(Label(page, layout::kSourceLabelText, fan.X + layout::kSourceLabel.X, fan.Y + layout::kSourceLabel.Y));
    HWND sources = fanControl(List(page, "SourceList", inFrame(fan, layout::kSourceList), 3));
    for (const char* text : layout::kSourceTexts) {
        SendMessageW(sources, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
    }
    m_commands[GetDlgCtrlID(sources)] = chosen(&OptionsPresenter::SourceChosen);
    fanControl(
        Label(page, layout::kNominalLabelText, fan.X + layout::kNominalLabel.X, fan.Y + layout::kNominalLabel.Y));
    fanControl(SpinField(page, "Nominal", inFrame(fan, layout::kNominalField),
                         [](OptionsPresenter& p, bool up) { p.NominalSpin(up); }));
    fanControl(Control("NominalSpin"));

    const layout::Rect problem = layout::kFanProblem;
    Add("FanProblem", MakeControl(page, L"STATIC", std::wstring(), SS_LEFT | SS_NOPREFIX, Scaled(problem.X, m_dpi),
                                  Scaled(problem.Y, m_dpi), Scaled(problem.Width, m_dpi), Scaled(problem.Height, m_dpi),
                                  0, m_font.Get()));
}

void OptionsDialog::BuildGeneralPage(HINSTANCE)
{
    HWND page = m_generalPage;
    auto clicked = [this](std::function<void(OptionsPresenter&, bool)> handler) {
        return [this, handler](int code, HWND control) {
            if (code == BN_CLICKED) {
                const bool on = IsChecked(control);
                Act([handler, on](OptionsPresenter& p) { handler(p, on); });
            }
        };
    };
    auto pressed = [this](std::function<void(OptionsPresenter&)> handler) {
        return [this, handler](int code, HWND) {
            if (code == BN_CLICKED) {
                Act(handler);
            }
        };
    };

    const layout::Rect start = layout::kStartFrame;
    Frame(page, "StartFrame", layout::kStartFrameText, start);
    HWND run = Check(page, "RunWithWindows", m_presenter.General().RunWithWindowsText,
                     start.X + layout::kRunWithWindows.X, start.Y + layout::kRunWithWindows.Y, false);
    m_commands[GetDlgCtrlID(run)] = clicked([](OptionsPresenter& p, bool on) { p.RunWithWindowsClick(on); });
    HWND minimized = Check(page, "StartMinimized", layout::kStartMinimizedText, start.X + layout::kStartMinimized.X,
                           start.Y + layout::kStartMinimized.Y, false);
    m_commands[GetDlgCtrlID(minimized)] = clicked([](OptionsPresenter& p, bool on) { p.StartMinimizedClick(on); });

    const layout::Rect state = layout::kModeFrame;
    Frame(page, "ModeFrame", layout::kModeFrameText, state);
    const char* modeNames[3] = {"ModeOnDesktop", "ModeOnTop", "ModeNormal"};
    for (int mode = 0; mode < 3; ++mode) {
        HWND radio = Check(page, modeNames[mode], layout::kModeTexts[static_cast<size_t>(mode)], state.X + 10,
                           state.Y + layout::kModeTop + layout::kRadioSpacing * mode, true);
        m_commands[GetDlgCtrlID(radio)] = pressed([mode](OptionsPresenter& p) { p.WindowModeClick(mode); });
    }
    // The style frame lies over the mode frame and is shown only when the presenter says so.
    m_styleControls.push_back(Frame(page, "StyleFrame", layout::kModeFrameText, state));
    const char* styleNames[2] = {"StyleNormal", "StyleSimple"};
    for (int style = 0; style < 2; ++style) {
        HWND radio = Check(page, styleNames[style], layout::kStyleTexts[static_cast<size_t>(style)], state.X + 10,
                           state.Y + layout::kModeTop + layout::kRadioSpacing * style, true);
        m_commands[GetDlgCtrlID(radio)] = pressed([style](OptionsPresenter& p) { p.WindowStyleClick(style); });
        m_styleControls.push_back(radio);
    }

    const layout::Rect alpha = layout::kAlphaFrame;
    Frame(page, "AlphaFrame", layout::kAlphaFrameText, alpha);
    const layout::Rect bar = layout::kAlphaBar;
    HWND alphaBar =
        Add("AlphaBar", MakeControl(page, TRACKBAR_CLASSW, std::wstring(), TBS_HORZ | TBS_NOTICKS | WS_TABSTOP,
                                    Scaled(alpha.X + bar.X, m_dpi), Scaled(alpha.Y + bar.Y, m_dpi),
                                    Scaled(bar.Width, m_dpi), Scaled(bar.Height, m_dpi), m_nextId++, nullptr));
    SendMessageW(alphaBar, TBM_SETRANGE, FALSE, MAKELPARAM(0, core::kAlphaMax));
    SendMessageW(alphaBar, TBM_SETLINESIZE, 0, 1);
    SendMessageW(alphaBar, TBM_SETPAGESIZE, 0, 1);

    const layout::Rect refresh = layout::kRefreshFrame;
    Frame(page, "RefreshFrame", layout::kRefreshFrameText, refresh);
    auto inFrame = [](layout::Rect frame, layout::Rect at) {
        return layout::Rect{frame.X + at.X, frame.Y + at.Y, at.Width, at.Height};
    };
    Label(page, layout::kDiskIntervalLabelText, refresh.X + layout::kDiskIntervalLabel.X,
          refresh.Y + layout::kDiskIntervalLabel.Y);
    SpinField(page, "DiskInterval", inFrame(refresh, layout::kDiskIntervalField),
              [](OptionsPresenter& p, bool up) { p.DiskIntervalSpin(up); });
    Label(page, layout::kSensorIntervalLabelText, refresh.X + layout::kSensorIntervalLabel.X,
          refresh.Y + layout::kSensorIntervalLabel.Y);
    SpinField(page, "SensorInterval", inFrame(refresh, layout::kSensorIntervalField),
              [](OptionsPresenter& p, bool up) { p.SensorIntervalSpin(up); });

    const layout::Rect tray = layout::kTrayFrame;
    Frame(page, "TrayFrame", layout::kTrayFrameText, tray);
    HWND traySource = List(page, "TraySourceList", inFrame(tray, layout::kTraySourceList), 3);
    for (const char* text : layout::kTraySourceTexts) {
        SendMessageW(traySource, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
    }
    m_commands[GetDlgCtrlID(traySource)] = [this](int code, HWND control) {
        if (code == CBN_SELCHANGE) {
            const auto entry = static_cast<int>(SendMessageW(control, CB_GETCURSEL, 0, 0));
            Act([entry](OptionsPresenter& p) { p.TraySourceChosen(entry); });
        }
    };
    HWND celsius =
        Check(page, "Celsius", layout::kCelsiusText, tray.X + layout::kCelsius.X, tray.Y + layout::kCelsius.Y, true);
    m_commands[GetDlgCtrlID(celsius)] = pressed([](OptionsPresenter& p) { p.TrayUnitClick(false); });
    HWND fahrenheit = Check(page, "Fahrenheit", layout::kFahrenheitText, tray.X + layout::kFahrenheit.X,
                            tray.Y + layout::kFahrenheit.Y, true);
    m_commands[GetDlgCtrlID(fahrenheit)] = pressed([](OptionsPresenter& p) { p.TrayUnitClick(true); });
    Label(page, layout::kColorLabelText, tray.X + layout::kColorLabel.X, tray.Y + layout::kColorLabel.Y);
    const layout::Rect swatch = inFrame(tray, layout::kColorSwatch);
    const int swatchId = m_nextId++;
    Add("TrayColorSwatch", MakeControl(page, L"BUTTON", std::wstring(), BS_OWNERDRAW | WS_TABSTOP,
                                       Scaled(swatch.X, m_dpi), Scaled(swatch.Y, m_dpi), Scaled(swatch.Width, m_dpi),
                                       Scaled(swatch.Height, m_dpi), swatchId, nullptr));
    m_commands[swatchId] = [this](int code, HWND) {
        if (code == BN_CLICKED) {
            ChooseTrayColor();
        }
    };
}

void OptionsDialog::Act(const std::function<void(core::OptionsPresenter&)>& action)
{
    if (m_rendering) {
        return;
    }
    action(m_presenter);
    Render();
}

void OptionsDialog::ChooseTrayColor()
{
    if (!m_chooser) {
        return;
    }
    const std::optional<COLORREF> chosen = m_chooser(m_lastColor, m_window);
    if (!chosen) {
        return;
    }
    m_lastColor = *chosen & 0x00FFFFFF;
    const auto value = static_cast<int32_t>(m_lastColor);
    Act([value](OptionsPresenter& p) { p.TrayColorChosen(value); });
}

void OptionsDialog::Render()
{
    if (m_window == nullptr) {
        return;
    }
    m_rendering = true;
    // Built once: the presenter's tree is fixed for the dialog's life.
    if (m_items.size() != m_presenter.Tree().size()) {
        TreeView_DeleteAllItems(m_tree);
        m_rendering = false;
        BuildTree();
        m_rendering = true;
    }
    SetShown(m_generalPage, m_presenter.PageVisible(core::OptionsPage::General));
    SetShown(m_summaryPage, m_presenter.PageVisible(core::OptionsPage::Summary));
    SetShown(m_sensorPage, m_presenter.PageVisible(core::OptionsPage::Sensor));
    SetText(Control("SummaryFrame"), m_presenter.Summary().Title);
    SetText(Control("SummaryLine"), m_presenter.Summary().Line);
    RenderSensorPage();
    RenderGeneralPage();
    m_rendering = false;
}

void OptionsDialog::RenderSensorPage()
{
    const core::SensorPage& s = m_presenter.Sensor();
    SetText(Control("SensorTitle"), s.Title);
    SetChecked(Control("SensorEnabled"), s.Enabled);
    SetText(Control("SensorFrame"), s.FrameTitle);
    for (const char* name : {"ChipList", "SensorList"}) {
        HWND list = Control(name);
        SetList(list, name == std::string("ChipList") ? s.ChipList : s.SensorList);
        EnableWindow(list, s.ListsEnabled ? TRUE : FALSE);
        InvalidateRect(list, nullptr, TRUE);
    }
    if (s.ListsColor && (!m_listBrush || m_listBrushColor != ColorOf(*s.ListsColor))) {
        m_listBrushColor = ColorOf(*s.ListsColor);
        m_listBrush.Reset(CreateSolidBrush(m_listBrushColor));
    }
    SetChecked(Control("AlarmEnabled"), s.AlarmEnabled);
    SetText(Control("MinField"), s.MinText);
    SetText(Control("MaxField"), s.MaxText);
    SetText(Control("CorrectionField"), s.CorrectionText);
    for (HWND control : m_correctionControls) {
        SetShown(control, s.CorrectionFrameVisible);
    }
    for (HWND control : m_fanControls) {
        SetShown(control, s.FanFrameVisible);
    }
    SetChecked(Control("FanControlEnabled"), s.FanControlEnabled);
    SetList(Control("RegisterList"), s.RegisterList);
    SetSelected(Control("SourceList"), s.SourceSelected);
    SetText(Control("NominalField"), s.NominalText);
    SetText(Control("FanProblem"), s.FanProblem);
    SetShown(Control("FanProblem"), s.FanFrameVisible && !s.FanProblem.empty());
}

void OptionsDialog::RenderGeneralPage()
{
    const core::GeneralPage& g = m_presenter.General();
    HWND run = Control("RunWithWindows");
    SetText(run, g.RunWithWindowsText);
    SetChecked(run, g.RunWithWindows);
    EnableWindow(run, g.RunWithWindowsEnabled ? TRUE : FALSE);
    SetChecked(Control("StartMinimized"), g.StartMinimized);
    SetRadios({Control("ModeOnDesktop"), Control("ModeOnTop"), Control("ModeNormal")}, g.WindowMode);
    for (HWND control : m_styleControls) {
        SetShown(control, g.StyleFrameVisible);
    }
    SetRadios({Control("StyleNormal"), Control("StyleSimple")}, g.StyleNormalChecked ? 0 : 1);
    SetText(Control("DiskIntervalField"), g.DiskIntervalText);
    SetText(Control("SensorIntervalField"), g.SensorIntervalText);
    HWND alpha = Control("AlphaBar");
    SendMessageW(alpha, TBM_SETPOS, TRUE, std::clamp(g.AlphaPosition, 0, core::kAlphaMax));
    EnableWindow(alpha, g.AlphaEnabled ? TRUE : FALSE);
    SetSelected(Control("TraySourceList"), g.TraySourceSelected);
    SetRadios({Control("Celsius"), Control("Fahrenheit")}, g.Fahrenheit ? 1 : 0);
    InvalidateRect(Control("TrayColorSwatch"), nullptr, TRUE);
}

void OptionsDialog::Show()
{
    ShowInFront(m_window);
}

void OptionsDialog::Hide()
{
    HideWindow(m_window);
}

bool OptionsDialog::Visible() const
{
    return WindowShown(m_window);
}

bool OptionsDialog::HandleDialogMessage(MSG& message)
{
    return m_window != nullptr && Visible() && IsDialogMessageW(m_window, &message) != FALSE;
}

void OptionsDialog::Command(int id, int code, HWND control)
{
    // Escape hides the dialog as the frame's close control does; neither undoes a preview.
    if (id == IDCANCEL && control == nullptr) {
        Hide();
        return;
    }
    const auto found = m_commands.find(id);
    if (found != m_commands.end()) {
        const auto handler = found->second; // a handler may outlive a re-entrant render
        handler(code, control);
    }
}

LRESULT OptionsDialog::Notify(const NMHDR& header)
{
    if (header.hwndFrom == m_tree) {
        // The page follows the current node however it moved (click, arrow keys, typing); a
        // click on the current node shows its page again.
        HTREEITEM item = nullptr;
        if (header.code == TVN_SELCHANGEDW) {
            item = reinterpret_cast<const NMTREEVIEWW&>(header).itemNew.hItem;
        } else if (header.code == NM_CLICK) {
            TVHITTESTINFO hit{};
            GetCursorPos(&hit.pt);
            ScreenToClient(m_tree, &hit.pt);
            item = TreeView_HitTest(m_tree, &hit);
            if ((hit.flags & TVHT_ONITEM) == 0 || item != TreeView_GetSelection(m_tree)) {
                item = nullptr;
            }
        }
        if (item != nullptr) {
            const auto at = std::find(m_items.begin(), m_items.end(), item);
            if (at != m_items.end()) {
                const auto node = static_cast<int>(at - m_items.begin());
                Act([node](OptionsPresenter& p) { p.TreeClick(node); });
            }
        }
        return 0;
    }
    if (header.code == UDN_DELTAPOS) {
        const auto found = m_spins.find(header.hwndFrom);
        if (found != m_spins.end()) {
            const auto& change = reinterpret_cast<const NMUPDOWN&>(header);
            if (change.iDelta != 0) {
                const bool up = change.iDelta > 0;
                const auto stepped = found->second;
                Act([stepped, up](OptionsPresenter& p) { stepped(p, up); });
            }
        }
        return 1; // the control keeps its resting position
    }
    return 0;
}

void OptionsDialog::DrawSwatch(const DRAWITEMSTRUCT& item)
{
    const Brush fill(CreateSolidBrush(ColorOf(m_presenter.General().TrayColor)));
    const Brush frame(CreateSolidBrush(RGB(0, 0, 0)));
    RECT area = item.rcItem;
    FillRect(item.hDC, &area, fill.Get());
    FrameRect(item.hDC, &area, frame.Get());
    if ((item.itemState & ODS_FOCUS) != 0) {
        InflateRect(&area, -2, -2);
        DrawFocusRect(item.hDC, &area);
    }
}

HBRUSH OptionsDialog::ControlColor(HDC dc, HWND control)
{
    const core::SensorPage& s = m_presenter.Sensor();
    if ((control == Control("ChipList") || control == Control("SensorList")) && s.ListsColor && m_listBrush) {
        SetBkColor(dc, m_listBrushColor);
        return m_listBrush.Get();
    }
    wchar_t className[32] = {};
    GetClassNameW(control, className, 32);
    if (lstrcmpiW(className, WC_EDITW) == 0 || lstrcmpiW(className, WC_COMBOBOXW) == 0) {
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        return m_fieldBrush.Get();
    }
    if (control == Control("FanProblem")) {
        SetTextColor(dc, ColorOf(core::options_layout::kFanProblemColor));
    }
    SetBkColor(dc, ColorOf(core::kDialogColor));
    return m_dialogBrush.Get();
}

LRESULT OptionsDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        Command(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_NOTIFY:
        return Notify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_HSCROLL:
        if (reinterpret_cast<HWND>(lParam) == Control("AlphaBar") && !m_rendering) {
            const auto position = static_cast<int>(SendMessageW(Control("AlphaBar"), TBM_GETPOS, 0, 0));
            if (position != m_presenter.General().AlphaPosition) {
                Act([position](OptionsPresenter& p) { p.AlphaMoved(position); });
            }
        }
        return 0;
    case WM_DRAWITEM: {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item.hwndItem == Control("TrayColorSwatch")) {
            DrawSwatch(item);
            return TRUE;
        }
        break;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        return reinterpret_cast<LRESULT>(ControlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
    case WM_CLOSE:
        // The frame's close control hides the dialog; unlike "Cancel" it keeps a previewed opacity.
        Hide();
        return 0;
    default:
        break;
    }
    return DefWindowProcW(m_window, message, wParam, lParam);
}

} // namespace calventa::ui::win32
