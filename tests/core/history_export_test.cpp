#include "core/history_export.h"

#include <gtest/gtest.h>

#include "core/alarms.h"
#include "core/fakes.h"
#include "core/history.h"
#include "core/history_presenter.h"
#include "core/main_window_presenter.h"

namespace calventa::core {
namespace {

// "Export CSV..": the shared writer's bytes in the file, or the user's message when the file
// could not be written.
TEST(HistoryExportTest, WritesTheSharedCsvOrSaysWhyNot)
{
    fake::FakeMachine machine;
    MonitorState state{machine.Machine};
    state.SetDefaultSettings();
    AlarmFlags alarms;
    MainWindowPresenter window;
    window.BuildMainWindow(state, alarms);
    SensorHistory history;
    fake::FakeFileSystem files;

    EXPECT_EQ(ExportHistory(history, state, window, HistorySpan::OneHour, files, "/out/h.csv"), std::nullopt);
    const std::string csv = HistoryCsv(BuildHistoryContent(history, state, window, HistorySpan::OneHour));
    EXPECT_EQ(files.Files.at("/out/h.csv"), std::vector<uint8_t>(csv.begin(), csv.end()));

    files.Uncreatable.insert("/locked/h.csv");
    const std::optional<std::string> error =
        ExportHistory(history, state, window, HistorySpan::OneHour, files, "/locked/h.csv");
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, "The history could not be saved as \"/locked/h.csv\". Choose a folder you may write to.");
    EXPECT_FALSE(files.Files.contains("/locked/h.csv"));
}

} // namespace
} // namespace calventa::core
