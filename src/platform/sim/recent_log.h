#pragma once

#include <cstddef>
#include <vector>

namespace calventa::sim {

// Appends to a record that keeps at least the last `keep` entries: when it holds twice
// that, the older half goes. A board left running (the desktop program, a watch) must not
// grow with its uptime; tests look at far fewer entries than are kept.
template <typename Entry> void AppendKeepingRecent(std::vector<Entry>& log, Entry entry, size_t keep)
{
    if (log.size() >= 2 * keep) {
        log.erase(log.begin(), log.end() - static_cast<std::ptrdiff_t>(keep));
    }
    log.push_back(std::move(entry));
}

} // namespace calventa::sim
