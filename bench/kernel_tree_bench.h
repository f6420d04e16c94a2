#pragma once

// calventa-cli --json against `sensors -j` (lm-sensors) on the same kernel sensors: a current
// desktop's hwmon tree (coretemp with four cores, an nct6796 with its full set of attributes,
// an NVMe drive) built on tmpfs over /sys/class, /sys/devices and /sys/bus in a mount
// namespace of its own (/sys stays sysfs, which libsensors checks). Both programs read it
// through libsensors; the bench runs them in turn and compares their CPU time (user + system)
// per run. Needs root for the namespace; says so and returns otherwise.

#include <string>

namespace calventa::bench {

// `cli` is calventa-cli's path; `runs` how many times each program is run.
void BenchAgainstSensors(const std::string& cli, int runs);

} // namespace calventa::bench
