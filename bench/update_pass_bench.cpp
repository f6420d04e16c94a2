// Cost of the update pass on a simulated board: CPU time per pass (the simulated machine
// sleeps on a virtual clock, so sleeps cost nothing here), port operations and SMBus
// transactions per chip read, and the virtual time a pass spends sleeping.
#include <cstdio>
#include <ctime>
#include <string>

#include "app/monitor.h"
#include "core/fakes.h"
#include "platform/sim/sim_machine.h"

namespace {

double CpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace calventa;
    const std::string boardPath = argc > 1 ? argv[1] : CALVENTA_SOURCE_DIR "/boards/demo.json";
    const int passes = argc > 2 ? std::stoi(argv[2]) : 20000;

    std::string error;
    std::unique_ptr<sim::SimMachine> machine = sim::LoadSimMachine(boardPath, error);
    if (!machine) {
        std::fprintf(stderr, "bench: %s\n", error.c_str());
        return 2;
    }
    core::fake::FakeProgramStore store;
    core::fake::FakeFileSystem files;
    platform::Platform platform{*machine, *machine, *machine, store, files, *machine};
    app::Monitor monitor(platform);
    monitor.StartUp(std::string("/bench"));
    const core::ChipTable& chips = monitor.State().Chips;

    std::printf("board %s, %d chip(s)\n", boardPath.c_str(), chips.ChipCount);
    for (uint8_t i = 0; i < chips.ChipCount; ++i) {
        machine->ResetCounters();
        monitor.Hardware().ReadChip(i);
        const sim::SimCounters& c = machine->Counters();
        std::printf("  ReadChip(%u) %-10s port ops %4llu (byte r/w %llu/%llu, dword r/w %llu/%llu), "
                    "SMBus transactions %3llu, virtual sleep %4llu ms\n",
                    i, chips.Records[i].Name.c_str(),
                    static_cast<unsigned long long>(c.byteReads + c.byteWrites + c.dwordReads + c.dwordWrites),
                    static_cast<unsigned long long>(c.byteReads), static_cast<unsigned long long>(c.byteWrites),
                    static_cast<unsigned long long>(c.dwordReads), static_cast<unsigned long long>(c.dwordWrites),
                    static_cast<unsigned long long>(c.smbusTransactions), static_cast<unsigned long long>(c.sleptMs));
    }

    machine->ResetCounters();
    const double start = CpuSeconds();
    for (int pass = 0; pass < passes; ++pass) {
        monitor.UpdatePass();
    }
    const double seconds = CpuSeconds() - start;
    const sim::SimCounters& c = machine->Counters();
    std::printf("UpdatePass x %d: CPU %.2f us per pass, virtual sleep %.1f ms per pass, "
                "%.1f port ops per pass\n",
                passes, seconds * 1e6 / passes, static_cast<double>(c.sleptMs) / passes,
                static_cast<double>(c.byteReads + c.byteWrites + c.dwordReads + c.dwordWrites) / passes);
    return 0;
}
