#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/alarms.h"
#include "core/findings.h"
#include "core/monitor_state.h"

namespace calventa::core {

inline constexpr int kPanelTemperatures = 0;
inline constexpr int kPanelFans = 1;
inline constexpr int kPanelVoltages = 2;

struct MainWindowPanel
{
    bool Visible = false;
    int Top = 0;
    int Height = 0;
};

// One row of the main window: icon at x 8, name label at x 28, value label at ValueLeft,
// all at Y inside the row's panel.
struct MainWindowRow
{
    int Slot = 0;
    int Panel = 0;
    int Y = 0;
    int ValueLeft = 64;
    bool HasPowerLine = false;
};

// What a shown slot's value label holds after a refresh.
inline constexpr const char* kDiskAsleepNote = "The disk is asleep: last value read";
inline constexpr const char* kDiskPowerModeUnknownNote = "The disk's power mode is unknown: last value read";

struct MainWindowValue
{
    bool Shown = false;
    std::string Text;  // without the power line
    std::string Power; // "Power = 70%" on fan rows under fan control, else empty
    bool Red = false;  // out of range: red and bold
    // Not read in the last pass (a sleeping disk): shown greyed, with Note saying why.
    bool Stale = false;
    std::string Note;
    // The number Text shows (°C, V or RPM), for outputs that need it unformatted; none when
    // Text shows no number ("n/a", "out of range").
    std::optional<double> Reading;
    // The duty Power shows, 0..100; none without a power line.
    std::optional<int> PowerPercent;
};

// Where no row shows because nothing was found: a panel of text lines saying why, already
// folded to the panel's width, one line every kNoticeLineHeight pixels from kNoticeFirstLineY.
struct MainWindowNotice
{
    bool Visible = false;
    int Top = 0;
    int Height = 0;
    std::vector<std::string> Lines; // the headline first
};

inline constexpr int kNoticeFirstLineY = 6;
inline constexpr int kNoticeLineHeight = 14;
// The window keeps its width (its place is anchored by the left edge the settings keep), so the
// text is folded for the 155-pixel panel.
inline constexpr int kNoticeCharactersPerLine = 24;

struct MainWindowLayout
{
    std::vector<MainWindowRow> Rows; // window order
    std::array<MainWindowPanel, 3> Panels{};
    MainWindowNotice Notice;
    int Height = 23; // outer height, frame included
};

// Text folded at spaces into lines of at most `width` characters (a longer word stands alone).
std::vector<std::string> FoldText(const std::string& text, size_t width);

// Whether the slot's chip channel holds a current value; false only for a kernel input
// whose last read failed.
bool HasCurrentReading(const MonitorState& state, int slot);

// The main window's content: which rows exist and where (BuildMainWindow) and what each
// value label says (RefreshMainWindow). Widgets render it; they compute nothing.
class MainWindowPresenter
{
public:
    // Lays the rows out for the current settings and disk count, then refreshes.
    void BuildMainWindow(MonitorState& state, AlarmFlags& alarms);
    // Writes every shown value, testing each against its limits. Returns true when a new
    // or rising alarm asks for the alarm window.
    bool RefreshMainWindow(MonitorState& state, AlarmFlags& alarms);

    // What the window says when it has no row at all; an empty report shows nothing.
    void SetNothingFound(const NothingFoundReport& report) { m_nothingFound = report; }

    const MainWindowLayout& Layout() const { return m_layout; }
    const MainWindowValue& Value(int slot) const;

    // Whether a slot's row shows: chip slots with a chip and Enabled = 1; disk slot n with
    // Enabled = 1 and at least n + 1 disks listed.
    static bool RowShown(const MonitorState& state, int slot);

private:
    MainWindowLayout m_layout;
    NothingFoundReport m_nothingFound;
    std::array<MainWindowValue, kSlotCount> m_values{};
};

} // namespace calventa::core
