#pragma once

#include <ctime>
#include <string>

#include "platform/sim/board_file.h"
#include "platform/sim/sim_machine.h"

namespace calventa::app {

// A simulated board that follows its file while a watch runs: a chip register that an edit
// of the file changes takes the new value, as a sensor reading moves on a real board. Only
// registers whose value in the file changed are written, so the program's own writes (fan
// duty, bank select) stay unless the edit names them. Chips, disks and the rest of the board
// stay as they were at start-up; an edit that does not parse is reported and skipped.
class BoardFollower
{
public:
    BoardFollower(std::string path, sim::SimMachine& machine);

    // Applies the file when it changed since the last look. False with error set when it
    // changed but could not be read; the board then keeps its registers.
    bool Follow(std::string& error);

private:
    std::string m_path;
    sim::SimMachine& m_machine;
    sim::BoardDescription m_applied;
    timespec m_modified{};
    off_t m_size = -1;
};

// Writes every register of `edited` whose value differs from `applied` (or that `applied`
// does not name) into the chip.
void ApplyChangedRegisters(const sim::ChipDescription& applied, const sim::ChipDescription& edited, sim::SimChip& chip);

} // namespace calventa::app
