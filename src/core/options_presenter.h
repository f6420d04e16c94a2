#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/monitor_state.h"
#include "core/program_texts.h"

namespace calventa::core {

inline constexpr int32_t kDialogColor = 13355979; // light grey, 0x00CBCBCB
inline constexpr int kOptionsWidth = 524;
inline constexpr int kOptionsHeight = 288;
inline constexpr const char* kOptionsCaption = "Calventa";

inline constexpr int kDiskIntervalMin = 60;
inline constexpr int kDiskIntervalMax = 1200;
inline constexpr int kSensorIntervalMin = 3;
inline constexpr int kSensorIntervalMax = 600;
inline constexpr int kAlphaMax = 94;      // track bar range 0..94
inline constexpr int kNominalMin = 10;    // fan control: lowest nominal temperature
inline constexpr int kFanLimitStep = 100; // fan limits step in RPM
inline constexpr int kNoSelection = -1;   // list entry index when nothing is selected

// Main window opacity (0 transparent .. 255 opaque) for a transparency in percent:
// 255 − ⌈alpha × 255 / 100⌉, alpha clamped to 0..94 so that the window never vanishes.
int OpacityOfAlpha(int32_t alphaPercent);

// Correction field texts: "+2°C", "-0.2V", "+100 RPM".
std::string TemperatureCorrectionText(float correction);
std::string VoltageCorrectionText(float correction, const std::string& decimalSeparator);
std::string FanCorrectionText(float correction);

// What the options dialog asks of the windows; the desktop program implements it, tests
// record the calls.
class OptionsHost
{
public:
    virtual ~OptionsHost() = default;
    // 0 transparent .. 255 opaque.
    virtual void SetMainWindowOpacity(int opacity) = 0;
    // The fan-control warning, modal, with the program's taskbar button shown while it is up.
    // Returns when it is closed.
    virtual void ShowFanWarning() = 0;
    // A message box with the text and an OK button.
    virtual void ShowMessage(const std::string& text) = 0;

    // The window steps of "OK", in the order they are called.
    virtual void SetTimerIntervals(int sensorMs, int diskMs) = 0;
    virtual void HideMainWindow() = 0;
    // Back to the parent (and flags) the main window had when it was created.
    virtual void RestoreMainWindowParent() = 0;
    // Window mode 1 (true) or 2 (false); not called for mode 0, which keeps the style it has.
    virtual void SetMainWindowStaysOnTop(bool onTop) = 0;
    // Refresh of the main window's frame after the style change.
    virtual void ReapplyMainWindowFrame() = 0;
    // Window mode 0: below every other window, on the desktop.
    virtual void PutMainWindowOnDesktop() = 0;
    virtual void ShowMainWindowUnlessMinimized() = 0;
    virtual void HideOptionsDialog() = 0;
};

enum class TreeNodeKind { General, Temperatures, Voltages, Fans, Sensor };

// Tree icons 0..8; 4 is not used by any node.
inline constexpr int kIconGeneral = 0;
inline constexpr int kIconTemperatures = 1;
inline constexpr int kIconVoltages = 2;
inline constexpr int kIconFans = 3;
inline constexpr int kIconCpu = 5;
inline constexpr int kIconSys = 6;
inline constexpr int kIconAux = 7;
inline constexpr int kIconDisk = 8;

struct TreeNode
{
    std::string Text;
    TreeNodeKind Kind = TreeNodeKind::General;
    int Icon = 0;    // normal and selected icon
    int Parent = -1; // index of the top node; -1 for top nodes
    int Slot = -1;   // Sensor nodes: the slot they edit
};

enum class OptionsPage { General, Summary, Sensor };
enum class PageKind { Temperature, Disk, Voltage, Fan };

struct SummaryPage
{
    std::string Title; // "Temperatures", "Voltages", "Fans"
    std::string Line;  // "Sensors not found" or empty
};

// A list control: its entries and the selected one (kNoSelection for none).
struct ListState
{
    std::vector<std::string> Entries;
    int Selected = kNoSelection;
};

struct SensorPage
{
    std::string Title;      // "Voltages (+12V)"
    std::string FrameTitle; // "Sensor (W83627HF Sensor 2)" or "Hard Disk"
    bool Enabled = false;
    bool AlarmEnabled = false;
    std::string MinText;
    std::string MaxText;
    std::string CorrectionText;
    bool CorrectionFrameVisible = true;
    ListState ChipList;
    ListState SensorList;
    bool ListsEnabled = true;
    std::optional<int32_t> ListsColor; // disk pages: the dialog's colour; otherwise the normal window colour

    bool FanFrameVisible = false;
    bool FanControlEnabled = false;
    ListState RegisterList;            // "Reg 1".."Reg n"; a kernel device's "pwm1".."pwmN"
    std::string FanProblem;            // why the chosen kernel pwm output cannot be driven; "" when it can
    int SourceSelected = kNoSelection; // 0 Cpu, 1 Sys, 2 Aux
    std::string NominalText;
};

struct GeneralPage
{
    std::string RunWithWindowsText = RunAtStartText(kBuildTextPlatform); // the box's words on this desktop
    bool RunWithWindows = false;
    bool RunWithWindowsEnabled = false;
    bool StartMinimized = false;
    int WindowMode = 0;             // the radio button set: 0 on desktop, 1 always on top, 2 normal
    bool StyleNormalChecked = true; // the frame "Normal"/"Simple" that is never shown
    bool StyleFrameVisible = false;
    std::string DiskIntervalText;
    std::string SensorIntervalText;
    int AlphaPosition = 0;
    bool AlphaEnabled = true;
    int TraySourceSelected = kNoSelection; // 0 Cpu temp, 1 Sys temp, 2 Aux temp
    bool Fahrenheit = false;
    int32_t TrayColor = 0;          // 0x00BBGGRR
    bool AlarmNotifications = true; // the working choice; "OK" keeps it
};

// The options dialog's pages without widgets: the tree, which page shows, every control's
// state and the handlers that edit the working copy TempParam. Widgets render the structs
// above after each call and forward the user's clicks; nothing here knows a window.
class OptionsPresenter
{
public:
    OptionsPresenter(MonitorState& state, OptionsHost& host);

    // Dialog creation, after TempParam was filled: the General page shows, the tree and the
    // sensor counts are built from TempParam and the disks found, and the General page is filled.
    void CreateDialog();

    const std::vector<TreeNode>& Tree() const { return m_tree; }
    int TempSensorCount() const { return m_tempSensorCount; }
    int VoltSensorCount() const { return m_voltSensorCount; }
    int FanSensorCount() const { return m_fanSensorCount; }

    // A mouse click on a node (keyboard moves change nothing). Unknown indexes are ignored.
    void TreeClick(int node);

    // Page visibility; the stacking is General lowest, then summary, then sensor page, so the
    // topmost visible one is what the user sees.
    bool PageVisible(OptionsPage page) const;
    OptionsPage TopPage() const;
    const SummaryPage& Summary() const { return m_summary; }
    const SensorPage& Sensor() const { return m_sensor; }
    const GeneralPage& General() const { return m_general; }
    std::optional<PageKind> CurrentPageKind() const { return m_pageKind; }
    int CurrentSlot() const { return m_slot; }

    // Sensor page handlers, on the slot (and fan-control record) the page was filled for.
    void EnabledClick(bool checked);
    void AlarmEnabledClick(bool checked);
    void MinSpin(bool up);
    void MaxSpin(bool up);
    void CorrectionSpin(bool up);
    void ChipChosen(int entry);
    void SensorChosen(int entry);
    // The fan-control "Enabled" box changed to `checked`. A tick by the user shows the warning
    // while the live block asks for it; while the page fills the box nothing is shown.
    void FanControlClick(bool checked);
    void SourceChosen(int entry);
    void NominalSpin(bool up);
    void RegisterChosen(int entry);
    // True only while the fan page sets its fan-control box. A widget that cannot tell a user
    // click from its own update may bracket its update with SetFillingFanPage.
    bool FillingFanPage() const { return m_fillingFanPage; }
    void SetFillingFanPage(bool filling) { m_fillingFanPage = filling; }

    // General page: fills it from TempParam and the autorun entry and makes it visible. Other
    // pages stay as they were.
    void ShowMainOptions();
    // "Run with Windows" clicked to `checked`: written to the autorun entry at once.
    void RunWithWindowsClick(bool checked);
    void AlarmNotificationsClick(bool checked);
    void StartMinimizedClick(bool checked);
    void WindowModeClick(int mode);   // 0, 1, 2
    void WindowStyleClick(int style); // 0 Normal, 1 Simple
    void DiskIntervalSpin(bool up);
    void SensorIntervalSpin(bool up);
    // The track bar moved to `position`: TempParam and the main window's opacity at once.
    void AlphaMoved(int position);
    void TraySourceChosen(int entry);
    void TrayUnitClick(bool fahrenheit);
    // The colour dialog was confirmed with `color` (0x00BBGGRR).
    void TrayColorChosen(int32_t color);

private:
    void BuildTree();
    void FillSensorPage(int node);
    void FillDiskPage(const TreeNode& node);
    void FillChipPage(const TreeNode& node);
    void FillChipList();
    void FillSensorList();
    void FillRegisterList(const ChipRecord* chip);
    void RefreshLimitTexts();
    void RefreshCorrectionText();
    void RefreshFrameTitle();
    std::string LimitText(int32_t limit) const;
    const ChipRecord* SlotChip() const;
    int ChannelCount(const ChipRecord& chip) const;
    ChannelKind PageChannelKind() const;
    SensorSlot* Slot();
    FanControlRecord* FanRecord();
    void SetAlphaPosition(int position);

    MonitorState& m_state;
    OptionsHost& m_host;
    std::vector<TreeNode> m_tree;
    int m_tempSensorCount = 0;
    int m_voltSensorCount = 0;
    int m_fanSensorCount = 0;
    bool m_generalVisible = false;
    bool m_summaryVisible = false;
    bool m_sensorVisible = false;
    SummaryPage m_summary;
    SensorPage m_sensor;
    GeneralPage m_general;
    std::optional<PageKind> m_pageKind;
    int m_slot = -1;                // CurrentSlot inside TempParam
    int m_fanRecord = -1;           // CurrentFanRecord inside TempParam
    std::vector<int> m_chipEntries; // chip-table index of each chip list entry
    bool m_fillingFanPage = false;
};

} // namespace calventa::core
