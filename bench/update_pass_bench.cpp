// Cost of the update pass on a simulated board: CPU time per pass (the simulated machine
// sleeps on a virtual clock, so sleeps cost nothing here), port operations and SMBus
// transactions per chip read, and the virtual time a pass spends sleeping.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include "app/monitor.h"
#include "core/fakes.h"
#include "kernel_tree_bench.h"
#include "platform/sim/sim_machine.h"

namespace {

double CpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Runs calventa-cli once on the board: wall time and peak resident set size.
void BenchCli(const std::string& cli, const std::string& board)
{
    const std::string boardVariable = "CALVENTA_BOARD=" + board;
    char* const argv[] = {const_cast<char*>(cli.c_str()), const_cast<char*>("--json"), const_cast<char*>("--passes"),
                          const_cast<char*>("2"), nullptr};
    char* const envp[] = {const_cast<char*>(boardVariable.c_str()), const_cast<char*>("XDG_CONFIG_HOME=/tmp"), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", 1 /* O_WRONLY */, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, cli.c_str(), &actions, nullptr, argv, envp) != 0) {
        std::fprintf(stderr, "bench: cannot start %s\n", cli.c_str());
        return;
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    std::printf("calventa-cli --json --passes 2: wall %.1f ms, peak RSS %.1f MB, exit %d\n", ms,
                static_cast<double>(usage.ru_maxrss) / 1024.0, WIFEXITED(status) ? WEXITSTATUS(status) : -1);
}

// What the real back end adds per input: one sysfs attribute opened, read and closed. This
// machine may have no hwmon devices, so a sysfs attribute of the same kind stands in.
void BenchSysfsReads(int inputs)
{
    const char* attribute = "/sys/devices/system/cpu/cpu0/topology/core_id";
    if (access(attribute, R_OK) != 0) {
        return;
    }
    constexpr int kRounds = 2000;
    char buffer[32];
    const double start = CpuSeconds();
    for (int round = 0; round < kRounds; ++round) {
        for (int input = 0; input < inputs; ++input) {
            const int fd = open(attribute, O_RDONLY | O_CLOEXEC);
            if (fd >= 0) {
                [[maybe_unused]] const ssize_t n = read(fd, buffer, sizeof buffer);
                close(fd);
            }
        }
    }
    std::printf("sysfs reads for %d inputs: CPU %.1f us per pass (%s)\n", inputs,
                (CpuSeconds() - start) * 1e6 / kRounds, attribute);
}

} // namespace

int main(int argc, char** argv)
{
    using namespace calventa;
    const std::string boardPath = argc > 1 ? argv[1] : CALVENTA_SOURCE_DIR "/boards/demo.json";
    const int passes = argc > 2 ? std::stoi(argv[2]) : 20000;

    // First, while this process is still small: a child's peak RSS includes what the
    // parent had mapped when it started the child.
    BenchCli(CALVENTA_CLI_PATH, boardPath);
    // The real back end on a current desktop's kernel sensors, against lm-sensors' `sensors -j`.
    bench::BenchAgainstSensors(CALVENTA_CLI_PATH, 200);

    std::string error;
    std::unique_ptr<sim::SimMachine> machine = sim::LoadSimMachine(boardPath, error);
    if (!machine) {
        std::fprintf(stderr, "bench: %s\n", error.c_str());
        return 2;
    }
    core::fake::FakeProgramStore store;
    core::fake::FakeFileSystem files;
    platform::Platform platform{*machine, *machine, *machine, store, files, *machine, *machine};
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
    const uint64_t kernelReadsBefore = machine->KernelInputReads();
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
    if (machine->KernelInputReads() > kernelReadsBefore) {
        // The simulated kernel answers from memory: this is the program's own cost per pass;
        // a real hwmon read adds a sysfs open/read/close per input (see README).
        std::printf("kernel inputs read per pass: %.1f\n",
                    static_cast<double>(machine->KernelInputReads() - kernelReadsBefore) / passes);
        BenchSysfsReads(static_cast<int>((machine->KernelInputReads() - kernelReadsBefore) / passes));
    }
    return 0;
}
