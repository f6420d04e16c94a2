// The deepest check: settings.dat, a pwm state file left by an earlier run and a board, all
// three any bytes, through the whole headless monitor: start-up with the chip search, the
// kernel devices and the disks, update passes with fan control, a disk pass, the main
// window, tray and alarm list, and the close that hands every fan back.
//
// Input: settings.dat, pwm-restore.txt and the board file, separated by the part marker line.
// With one marker there is no state file; without one, only a board (no settings.dat). An
// input of odd length starts the monitor in test mode.
#include "app/monitor.h"
#include "core/fakes.h"
#include "disks/disk_notices.h"
#include "fuzz_support.h"
#include "hardware/kernel_chips.h"
#include "platform/sim/sim_disks.h"
#include "platform/sim/sim_machine.h"

namespace calventa::fuzz {
namespace {

class NoWindows final : public disks::DiskNotices, public disks::UserMessages
{
public:
    void ShowAdminNotice() override {}
    void ShowMessage(const std::string&) override {}
    void ShowWarning(const std::string&, const std::string&) override {}
};

} // namespace
} // namespace calventa::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace calventa;
    const std::vector<fuzz::Bytes> parts = fuzz::SplitParts({data, size});
    const fuzz::Bytes boardText = parts.back();
    std::string error;
    const std::optional<sim::BoardDescription> board = sim::ParseBoard(fuzz::Text(boardText), error);
    if (!board) {
        return 0; // the board target covers refusals
    }

    const std::string directory = "/sim";
    const std::string settingsPath = directory + "/" + core::kSettingsFileName;
    const std::string statePath = directory + "/" + hardware::kKernelPwmStateFileName;
    sim::SimMachine machine(*board);
    core::fake::FakeProgramStore store;
    core::fake::FakeFileSystem files;
    if (parts.size() >= 2) {
        files.Files[settingsPath].assign(parts[0].begin(), parts[0].end());
    }
    if (parts.size() >= 3) {
        files.Files[statePath].assign(parts[1].begin(), parts[1].end());
    }
    platform::Platform platform{machine, machine, machine, store, files, machine, machine};
    sim::SimDisks drives(*board);
    fuzz::NoServices services;
    platform::DiskPlatform diskPlatform{drives, services};
    fuzz::NoWindows windows;

    app::Monitor monitor(platform);
    monitor.AttachDisks(diskPlatform, windows, windows);
    // Inputs of odd length start in test mode.
    monitor.ApplyCommandWord(size % 2 == 1 ? app::CommandWord::Test : app::CommandWord::None);
    monitor.StartUp(directory);
    monitor.AlarmWindowCreated();
    for (int pass = 0; pass < 2; ++pass) {
        monitor.UpdatePass();
    }
    monitor.DiskPass();
    monitor.BuildMainWindow();
    monitor.ShowAlarmWindow();
    monitor.CloseQuery();
    monitor.Close();

    const core::MonitorState& state = monitor.State();
    FUZZ_CHECK(state.Chips.ChipCount <= core::kChipCapacity);
    fuzz::CheckDiskTable(state.Disks);
    FUZZ_CHECK(monitor.MainWindow().Layout().Rows.size() <= static_cast<size_t>(core::kSlotCount));
    FUZZ_CHECK(monitor.AlarmWindow().Lines.size() <= static_cast<size_t>(core::kSlotCount));
    // After a close every fan output is back as found: no state file is left to restore.
    FUZZ_CHECK(!files.Files.contains(statePath));
    return 0;
}
