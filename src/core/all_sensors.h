#pragma once

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "core/monitor_state.h"

namespace calventa::core {

// One input of a chip or one listed drive, as the "All sensors" window lists it.
struct SensorListRow
{
    bool IsDisk = false;
    int Chip = -1; // chip-table index (chip rows)
    ChannelKind Kind = ChannelKind::Temperature;
    int Channel = 0;   // 1-based within its kind (chip rows)
    int Disk = -1;     // disk index (disk rows)
    std::string Group; // the chip's name and bus, or "Drives"
    std::string Label; // the input's label, or "temp1", "in0", "fan2" where it has none
    std::string Current;
    std::string Minimum; // since start; kNoReadingText before the first reading
    std::string Maximum;
    // The slots it can be put on (its kind's slots; for a drive its own HD slot), and the
    // enabled slot showing it now, or -1.
    std::vector<int> Slots;
    int ShownIn = -1;
};

// Every input of every chip and every drive with its current value and its extremes since
// start. The monitor feeds it after each update and disk pass (numbers only); the texts are
// made when a window asks for the rows, and windows only draw them.
class AllSensorsPresenter
{
public:
    // Takes the extremes of every current reading.
    void Update(const MonitorState& state);
    std::vector<SensorListRow> Rows(const MonitorState& state) const;

private:
    struct Extremes
    {
        double Minimum = 0;
        double Maximum = 0;
        std::string Identity; // the chip's name or the drive's model and serial
    };
    // (chip, or -1 for drives; kind; channel or disk)
    using Key = std::tuple<int, int, int>;

    // A record whose identity changed (another chip or drive at that index) starts anew.
    void Note(const Key& key, const std::string& identity, double value);
    const Extremes* Find(const Key& key, const std::string& identity) const;

    std::map<Key, Extremes> m_extremes;
};

} // namespace calventa::core
