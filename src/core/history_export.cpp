#include "core/history_export.h"

#include <cstdint>
#include <span>

namespace calventa::core {

std::optional<std::string> ExportHistory(const SensorHistory& history, const MonitorState& state,
                                         const MainWindowPresenter& mainWindow, HistorySpan span,
                                         platform::FileSystem& files, const std::string& path)
{
    const std::string csv = HistoryCsv(BuildHistoryContent(history, state, mainWindow, span));
    const auto* bytes = reinterpret_cast<const uint8_t*>(csv.data());
    if (files.ReplaceFile(path, std::span<const uint8_t>(bytes, csv.size()))) {
        return std::nullopt;
    }
    return "The history could not be saved as \"" + path + "\". Choose a folder you may write to.";
}

} // namespace calventa::core
