#pragma once

// A monitor on a simulated board, with the program store and the files in memory.

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "app/monitor.h"
#include "core/fakes.h"
#include "platform/sim/sim_machine.h"

namespace calventa::app::testing {

// The W83627HF most monitor tests use: fan 1 at 10000 RPM, Cpu (bank 1 0x50) at 40 °C.
inline constexpr const char* kWinbondAt40 =
    R"({"isa": {"model": "W83627HF", "registers": {"0x28": 135}, "banks": {"1": {"0x50": 40}}}})";

class MonitorOnBoard
{
public:
    explicit MonitorOnBoard(const std::string& boardJson)
    {
        std::string error;
        auto board = sim::ParseBoard(boardJson, error);
        EXPECT_TRUE(board) << error;
        sim = std::make_unique<sim::SimMachine>(board.value_or(sim::BoardDescription{}));
        sim->SetDefaultProgramDirectory("/home/user/.config/calventa");
        machine =
            std::make_unique<platform::Platform>(platform::Platform{*sim, *sim, *sim, store, files, *sim, kernel});
        monitor = std::make_unique<Monitor>(*machine);
    }

    core::fake::FakeProgramStore store;
    core::fake::FakeFileSystem files;
    platform::NoKernelSensors kernel;
    std::unique_ptr<sim::SimMachine> sim;
    std::unique_ptr<platform::Platform> machine;
    std::unique_ptr<Monitor> monitor;
};

} // namespace calventa::app::testing
