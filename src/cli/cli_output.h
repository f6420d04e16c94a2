#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "app/monitor.h"

namespace calventa::sim {
class SimMachine;
}

namespace calventa::app {

enum class CliFormat { Text, Json, Prometheus };

struct CliOutputOptions
{
    CliFormat format = CliFormat::Text;
    bool toStdout = true; // false: --textfile alone, nothing on standard output
    std::string textfile; // empty: none
    bool dumpRegisters = false;
    bool colour = false; // plain text: alarm rows in colour (a terminal without NO_COLOR)
};

// calventa-cli's JSON object. `sim` gives the register dump when dumpRegisters is set.
nlohmann::ordered_json CliJson(Monitor& monitor, sim::SimMachine* sim, bool dumpRegisters);

// calventa-cli's plain output: the chips and disks, then the window's rows under their panel's
// heading with the captions aligned, each power line under its fan, then the tray tip and the
// alarm lines. Rows out of range are red with `colour`, marked with "!" without it.
std::string CliPlainText(Monitor& monitor, bool colour);

// Whether the plain output uses colour: only on a terminal, and not when NO_COLOR is set.
bool PlainTextInColour(bool terminal, const char* noColor);

} // namespace calventa::app
