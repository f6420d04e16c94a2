#pragma once

#include <optional>
#include <string>

#include "core/history_presenter.h"
#include "platform/files.h"

namespace calventa::core {

class MainWindowPresenter;

// "Export CSV..": the span as the window shows it, written whole to `path` by the shared CSV
// writer. The message for the user when the file could not be written, nullopt when it was.
std::optional<std::string> ExportHistory(const SensorHistory& history, const MonitorState& state,
                                         const MainWindowPresenter& mainWindow, HistorySpan span,
                                         platform::FileSystem& files, const std::string& path);

inline constexpr const char* kExportDialogTitle = "Export history";
inline constexpr const char* kExportDefaultName = "calventa-history.csv";

} // namespace calventa::core
