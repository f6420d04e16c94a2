#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "app/monitor.h"

namespace calventa::sim {
class SimMachine;
}

namespace calventa::app {

// calventa-cli's JSON object. `sim` gives the register dump when dumpRegisters is set.
nlohmann::ordered_json CliJson(Monitor& monitor, sim::SimMachine* sim, bool dumpRegisters);

// calventa-cli's plain output: the chips, then one "<label> <value>" line per shown slot.
std::string CliPlainText(Monitor& monitor);

} // namespace calventa::app
