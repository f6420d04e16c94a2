// settings.dat: any bytes over the defaults, then everything that reads the block without
// running the hardware: the main window's rows and values, the tray, the alarm list, fan
// control's channel test and the options dialog on every page. The chip table is a real one,
// from one start-up on a board with port chips and a kernel device.
#include <algorithm>
#include <memory>

#include "app/monitor.h"
#include "core/alarms.h"
#include "core/fakes.h"
#include "core/main_window_presenter.h"
#include "core/options_presenter.h"
#include "core/settings_block.h"
#include "core/tray_presenter.h"
#include "fuzz_support.h"
#include "platform/sim/sim_machine.h"

namespace calventa::fuzz {
namespace {

constexpr const char* kBoard = R"({
  "pci": {},
  "isa": {"model": "W83627HF", "registers": {"0x28": 135, "0x20": 112, "0x27": 45}, "banks": {"1": {"0x50": 40}}},
  "smbus": [{"address": "0x48", "model": "LM75", "registers": {"0x00": 30}}],
  "disks": [{"drive": 0, "model": "SIM DISK 1", "temperature": 41}, {"drive": 1, "temperature": 35}],
  "kernel": {"devices": [{"name": "nct6798", "bus_path": "platform/nct6775.656",
     "inputs": [{"kind": "temp", "number": 1, "label": "SYSTIN", "value": 33.0},
                {"kind": "in", "number": 0, "label": "Vcore", "value": 1.2},
                {"kind": "fan", "number": 2, "value": 900}, {"kind": "temp", "number": 7}],
     "pwm": [{"number": 2, "enable": 5, "value": 120}]}]}
})";

class NoWindows final : public core::OptionsHost
{
public:
    void SetMainWindowOpacity(int) override {}
    void ShowFanWarning() override {}
    void ShowMessage(const std::string&) override {}
    void SetTimerIntervals(int, int) override {}
    void HideMainWindow() override {}
    void RestoreMainWindowParent() override {}
    void SetMainWindowStaysOnTop(bool) override {}
    void ReapplyMainWindowFrame() override {}
    void PutMainWindowOnDesktop() override {}
    void ShowMainWindowUnlessMinimized() override {}
    void HideOptionsDialog() override {}
};

// One start-up on the board gives the chip and disk tables every input is read against.
struct Machine
{
    Machine()
    {
        std::string error;
        sim = std::make_unique<sim::SimMachine>(sim::ParseBoard(kBoard, error).value());
        platform = std::make_unique<platform::Platform>(platform::Platform{*sim, *sim, *sim, store, files, *sim, *sim});
        app::Monitor monitor(*platform);
        monitor.StartUp(std::string("/sim"));
        state = std::make_unique<core::MonitorState>(*platform);
        state->Chips = monitor.State().Chips;
        disks = monitor.State().Disks;
        disks.DiskCount = 2;
        disks.DriveCount = 2;
    }

    core::fake::FakeProgramStore store;
    core::fake::FakeFileSystem files;
    std::unique_ptr<sim::SimMachine> sim;
    std::unique_ptr<platform::Platform> platform;
    // Kept from input to input (nothing here changes the chip table); each input starts from
    // the defaults and the disk table.
    std::unique_ptr<core::MonitorState> state;
    core::DiskTable disks;
};

} // namespace
} // namespace calventa::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace calventa;
    static fuzz::Machine machine;
    const fuzz::Bytes input(data, size);

    core::MonitorState& state = *machine.state;
    state.SetDefaultSettings();
    state.Disks = machine.disks;
    const core::SettingsImage defaults = core::EncodeSettings(state.Settings);
    core::DecodeSettings(input, state.Settings);

    // The image holds the file's bytes and the defaults after them, and decodes to itself.
    const core::SettingsImage image = core::EncodeSettings(state.Settings);
    for (size_t i = 0; i < image.size(); ++i) {
        FUZZ_CHECK(image[i] == (i < input.size() ? input[i] : defaults[i]));
    }
    core::SettingsBlock again;
    core::DecodeSettings(image, again);
    FUZZ_CHECK(core::EncodeSettings(again) == image);

    core::AlarmFlags alarms;
    alarms.AlarmWindowReady = true;
    core::MainWindowPresenter window;
    window.BuildMainWindow(state, alarms);
    window.RefreshMainWindow(state, alarms);
    FUZZ_CHECK(window.Layout().Rows.size() <= static_cast<size_t>(core::kSlotCount));
    for (int slot = -1; slot <= core::kSlotCount; ++slot) {
        (void)window.Value(slot);
        (void)core::HasCurrentReading(state, slot);
        (void)core::MainWindowPresenter::RowShown(state, slot);
    }
    for (int channel = 0; channel <= core::kFanControlCount + 1; ++channel) {
        (void)core::FanControlActive(state.Settings, channel);
    }
    const core::TrayContent tray = core::ShowTray(state);
    (void)tray;
    const core::AlarmWindowContent list = core::CheckAlarms(state.Settings, {1024, 768}, ",");
    FUZZ_CHECK(list.Lines.size() <= static_cast<size_t>(core::kSlotCount));

    // The options dialog reads the working copy on its pages; the spins and lists write it.
    // Three pages an input (the input's length picks them): every page is a few input
    // lengths away, and the input stays fast.
    state.CopyToTempParam();
    fuzz::NoWindows host;
    core::OptionsPresenter options(state, host);
    options.CreateDialog();
    const size_t nodes = options.Tree().size();
    for (const size_t step : {size_t{0}, size_t{13}, size_t{29}}) {
        options.TreeClick(static_cast<int>((size + step) % std::max<size_t>(nodes, 1)));
        options.MinSpin(true);
        options.MaxSpin(false);
        options.CorrectionSpin(true);
        options.ChipChosen(0);
        options.SensorChosen(1);
        options.NominalSpin(true);
        options.RegisterChosen(1);
        options.SourceChosen(2);
    }
    options.ShowMainOptions();
    options.DiskIntervalSpin(true);
    options.SensorIntervalSpin(false);
    options.AlphaMoved(50);
    options.TraySourceChosen(1);
    state.CopyFromTempParam();
    return 0;
}
