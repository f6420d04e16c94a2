#pragma once

// A monitor state wired to a simulated board, with the hardware engine on top and the
// start-up log kept in memory.

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/fakes.h"
#include "core/monitor_state.h"
#include "hardware/hardware_engine.h"
#include "platform/sim/sim_machine.h"

namespace calventa::testing {

// A board with the Intel SMBus host at 0x400 and whatever else the JSON fragment adds.
inline std::string IntelBoard(const std::string& extra)
{
    return R"({"pci": {"host_vendor": "0x8086", "lpc_device": "0x24D0", "smbus_bar": "0x0401"})" +
           (extra.empty() ? std::string() : ", " + extra) + "}";
}

class SimBench
{
public:
    explicit SimBench(const std::string& boardJson, bool debugLog = true)
    {
        std::string error;
        auto board = sim::ParseBoard(boardJson, error);
        EXPECT_TRUE(board.has_value()) << error;
        Sim = std::make_unique<sim::SimMachine>(board.value_or(sim::BoardDescription{}));
        PlatformRef =
            std::make_unique<platform::Platform>(platform::Platform{*Sim, *Sim, *Sim, Store, Files, *Sim, Kernel});
        State = std::make_unique<core::MonitorState>(*PlatformRef);
        State->ProgramPath = "/sim";
        State->Flags.DebugMode = debugLog;
        State->SetDefaultSettings();
        State->Log().OpenLog(State->ProgramFile("debug.txt"), debugLog);
        Engine = std::make_unique<hardware::HardwareEngine>(*State);
        Engine->CreateBusMutexes();
    }

    // Reads every chip and applies the corrections, as the monitor's update pass does.
    void UpdatePass()
    {
        for (uint8_t i = 0; i < State->Chips.ChipCount; ++i) {
            Engine->ReadChip(i);
        }
        Engine->ApplyCorrections();
    }

    bool StartAndSearch()
    {
        return Engine->StartHardwareAccess() && Engine->SearchChips([this] { UpdatePass(); });
    }

    // Messages of the start-up log so far, without the date and time.
    std::vector<std::string> LogMessages() const
    {
        std::vector<std::string> messages;
        std::istringstream text(Files.Text("/sim/debug.txt"));
        std::string line;
        while (std::getline(text, line)) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            const size_t start = line.find("     ");
            messages.push_back(start == std::string::npos ? line : line.substr(start + 5));
        }
        return messages;
    }

    core::SensorSlot& Slot(int index) { return State->Settings.Slots[static_cast<size_t>(index)]; }
    core::ChipRecord& Chip(int index) { return State->Chips.Records[static_cast<size_t>(index)]; }

    core::fake::FakeProgramStore Store;
    core::fake::FakeFileSystem Files;
    platform::NoKernelSensors Kernel;
    std::unique_ptr<sim::SimMachine> Sim;
    std::unique_ptr<platform::Platform> PlatformRef;
    std::unique_ptr<core::MonitorState> State;
    std::unique_ptr<hardware::HardwareEngine> Engine;
};

} // namespace calventa::testing
