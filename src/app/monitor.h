#pragma once

#include <optional>
#include <string>

#include "core/monitor_state.h"
#include "hardware/hardware_engine.h"
#include "platform/platform.h"

namespace calventa::app {

// The command line's first word; anything else (or none) is a normal start.
enum class CommandWord { None, Test, FanControl, Debug, Install, Uninstall };

CommandWord ParseCommandWord(const std::string& firstArgument);

// The monitor without windows: it owns the process-wide state and the hardware engine,
// runs the start-up sequence of the main window's creation and the update pass. The
// desktop program and calventa-cli each own one.
class Monitor
{
public:
    explicit Monitor(platform::Platform& platform);
    ~Monitor();

    core::MonitorState& State() { return m_state; }
    hardware::HardwareEngine& Hardware() { return m_hardware; }

    // Sets TestMode, FanControlMode or DebugMode from the command word.
    void ApplyCommandWord(CommandWord word);

    // The start-up of the monitor, in order: program directory (the store's, unless one is
    // given), defaults, log, bus mutexes, hardware start-up and chip search with its first
    // pass, settings.dat, alarm latches, test mode, log closed.
    void StartUp(const std::optional<std::string>& programDirectory = std::nullopt);

    // Reads every chip and applies the corrections.
    void UpdatePass();

    // The close of the main window: bus mutexes closed. Safe to call twice.
    void Shutdown();

private:
    void ApplyTestMode();

    core::MonitorState m_state;
    hardware::HardwareEngine m_hardware;
    bool m_started = false;
};

} // namespace calventa::app
