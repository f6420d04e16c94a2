#pragma once

#include <csignal>
#include <optional>

#include <nlohmann/json.hpp>

#include "hardware/kernel_pwm_keeper.h"
#include "platform/kernel_sensors.h"

namespace calventa::app {

// What calventa-kernel-probe prints: every device of a scan with its inputs and pwm outputs,
// and with `duty` one fan-control cycle on every writable output: the mode and duty found,
// manual, the duty, both put back. The outputs are taken through the keeper, which writes the
// state file before each switch and puts back what an earlier run left in it. `stop` is read
// between the steps: once it is set, no further output is driven and the one being driven is
// put back at once (the document is then incomplete; the caller ends with the signal).
nlohmann::json RunKernelProbe(platform::KernelSensors& sensors, hardware::KernelPwmKeeper& keeper,
                              std::optional<int> duty, const volatile std::sig_atomic_t& stop);

} // namespace calventa::app
