#pragma once

#include <array>
#include <cstdint>

// The options dialog's controls, where they sit and what they say, for every toolkit's view:
// positions are pixels at 96 dpi inside the dialog's client area (below the caption, inside
// the border), and a control's position inside a frame is relative to that frame.
namespace calventa::core::options_layout {

struct Rect
{
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
};
struct Point
{
    int X = 0;
    int Y = 0;
};

inline constexpr int kClientWidth = 518;  // the 524-pixel dialog less a 3-pixel border each side
inline constexpr int kClientHeight = 268; // the 288-pixel dialog less its caption and bottom border
inline constexpr int kFieldHeight = 20;
inline constexpr int kSpinWidth = 16; // up/down buttons right of a read-only field

inline constexpr Rect kTree{6, 6, 150, 222};
inline constexpr Rect kPageArea{162, 2, 350, 226};
inline constexpr Rect kResetButton{162, 236, 112, 25};
inline constexpr Rect kCancelButton{330, 236, 85, 25};
inline constexpr Rect kOkButton{424, 236, 85, 25};
inline constexpr const char* kResetText = "Reset to default";
inline constexpr const char* kCancelText = "Cancel";
inline constexpr const char* kOkText = "OK";

// Summary page: its frame fills the page area, one line inside.
inline constexpr Rect kSummaryLine{12, 24, 326, 16};

// Sensor page.
inline constexpr Point kSensorEnabled{10, 18};
inline constexpr const char* kEnabledText = "Enabled";
inline constexpr Rect kSensorFrame{8, 38, 334, 68};
inline constexpr Point kChipLabel{10, 20};
inline constexpr const char* kChipLabelText = "Chip :";
inline constexpr Rect kChipList{70, 16, 254, kFieldHeight};
inline constexpr Point kSensorLabel{10, 44};
inline constexpr const char* kSensorLabelText = "Sensor :";
inline constexpr Rect kSensorList{70, 40, 254, kFieldHeight};
inline constexpr Rect kAlarmFrame{8, 110, 160, 108};
inline constexpr const char* kAlarmFrameText = "Alarm";
inline constexpr Point kAlarmEnabled{10, 18};
inline constexpr const char* kAlarmEnabledText = "Enable alarm";
inline constexpr Point kMinLabel{10, 48};
inline constexpr const char* kMinLabelText = "Min :";
inline constexpr Rect kMinField{48, 44, 90, kFieldHeight};
inline constexpr Point kMaxLabel{10, 76};
inline constexpr const char* kMaxLabelText = "Max :";
inline constexpr Rect kMaxField{48, 72, 90, kFieldHeight};
inline constexpr Rect kCorrectionFrame{176, 110, 166, 56};
inline constexpr const char* kCorrectionFrameText = "Correction";
inline constexpr Rect kCorrectionField{10, 24, 128, kFieldHeight};
inline constexpr Rect kFanFrame{176, 110, 166, 108};
inline constexpr const char* kFanFrameText = "Fan speed control";
inline constexpr Point kFanControlEnabled{10, 16};
inline constexpr Point kRegisterLabel{10, 40};
inline constexpr const char* kRegisterLabelText = "Fan pwm reg :";
inline constexpr Rect kRegisterList{94, 37, 64, kFieldHeight};
inline constexpr Point kSourceLabel{10, 63};
inline constexpr const char* kSourceLabelText = "Source of temp :";
inline constexpr Rect kSourceList{94, 60, 64, kFieldHeight};
inline constexpr std::array<const char*, 3> kSourceTexts{"Cpu", "Sys", "Aux"};
inline constexpr Point kNominalLabel{10, 86};
inline constexpr const char* kNominalLabelText = "Nominal :";
inline constexpr Rect kNominalField{62, 83, 80, kFieldHeight};
inline constexpr Rect kFanProblem{176, 4, 166, 32};   // beside the page title
inline constexpr int32_t kFanProblemColor = 0x0000A0; // 0x00BBGGRR: dark red

// General page.
inline constexpr Rect kStartFrame{0, 0, 170, 60};
inline constexpr const char* kStartFrameText = "Start";
inline constexpr Point kRunWithWindows{10, 16};
inline constexpr Point kStartMinimized{10, 36};
inline constexpr const char* kStartMinimizedText = "Start minimized";
inline constexpr Rect kModeFrame{0, 64, 170, 80}; // the style frame lies on it, never shown
inline constexpr const char* kModeFrameText = "Main window state";
inline constexpr std::array<const char*, 3> kModeTexts{"On desktop", "Always on top", "Normal"};
inline constexpr int kModeTop = 16;
inline constexpr int kRadioSpacing = 20;
inline constexpr std::array<const char*, 2> kStyleTexts{"Normal", "Simple"};
inline constexpr Rect kAlphaFrame{0, 148, 170, 50};
inline constexpr const char* kAlphaFrameText = "Alpha";
inline constexpr Rect kAlphaBar{10, 20, 150, 20};
inline constexpr Rect kRefreshFrame{178, 0, 172, 70};
inline constexpr const char* kRefreshFrameText = "Refresh interval (sec)";
inline constexpr Point kDiskIntervalLabel{10, 22};
inline constexpr const char* kDiskIntervalLabelText = "Hard disks :";
inline constexpr Rect kDiskIntervalField{92, 18, 56, kFieldHeight};
inline constexpr Point kSensorIntervalLabel{10, 46};
inline constexpr const char* kSensorIntervalLabelText = "MB sensors :";
inline constexpr Rect kSensorIntervalField{92, 42, 56, kFieldHeight};
inline constexpr Rect kTrayFrame{178, 74, 172, 124};
inline constexpr const char* kTrayFrameText = "Tray";
inline constexpr Rect kTraySourceList{10, 20, 150, kFieldHeight};
inline constexpr std::array<const char*, 3> kTraySourceTexts{"Cpu temp", "Sys temp", "Aux temp"};
inline constexpr Point kCelsius{10, 48};
inline constexpr Point kFahrenheit{80, 48};
inline constexpr const char* kCelsiusText = "Celsius";
inline constexpr const char* kFahrenheitText = "Fahrenheit";
inline constexpr Point kColorLabel{10, 82};
inline constexpr const char* kColorLabelText = "Color :";
inline constexpr Rect kColorSwatch{60, 78, 40, 22};

} // namespace calventa::core::options_layout
