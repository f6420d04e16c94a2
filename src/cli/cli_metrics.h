#pragma once

#include <string>
#include <string_view>

#include "app/monitor.h"

namespace calventa::app {

// calventa-cli's metrics in the Prometheus text exposition format (version 0.0.4): one
// sample per shown row that has a reading, an alarm sample per shown row, an info sample
// per chip. Rows without a reading ("n/a", "out of range") have no sample: an absent
// series, rather than NaN, is what alerting rules and the collector expect.
std::string CliMetrics(Monitor& monitor);

// A label value as the format requires: valid UTF-8 (a bad byte becomes U+FFFD), with
// backslash, double quote and line feed escaped.
std::string EscapeLabelValue(std::string_view text);

// A sample value: the shortest decimal that reads back as the same double; NaN, +Inf, -Inf.
std::string SampleValue(double value);

} // namespace calventa::app
