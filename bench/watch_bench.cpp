// calventa-watch-bench [board.json] [intervals] [--keep-sim-records] — not a test: a --watch 1
// run on a board, fast-forwarded through a fake clock (default 3600 intervals, an hour), with
// the JSON line and the textfile written each interval as calventa-cli writes them. Prints the
// CPU time per interval and the resident set size along the run (it should stay flat).
// The simulated machine records every register write and bus-lock call for the tests, which
// grows by about 2 kB an interval; those records are cleared each interval so that the figures
// are the monitor's own, unless --keep-sim-records is given.
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "app/cli_metrics.h"
#include "app/cli_watch.h"
#include "app/machine_host.h"
#include "app/monitor.h"
#include "platform/sim/sim_machine.h"

namespace {

using namespace calventa;

// Virtual time: a wait moves the board's clock on instead of sleeping.
class FastForwardClock final : public app::WatchClock
{
public:
    explicit FastForwardClock(sim::SimMachine& machine) : m_machine(machine) {}
    int64_t NowMs() override { return m_now; }
    void WaitUntil(int64_t deadlineMs) override
    {
        if (deadlineMs > m_now) {
            m_machine.AdvanceMs(static_cast<uint64_t>(deadlineMs - m_now));
            m_now = deadlineMs;
        }
    }

private:
    sim::SimMachine& m_machine;
    int64_t m_now = 0;
};

long StatusKb(const char* key)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with(key)) {
            return std::strtol(line.c_str() + std::string(key).size(), nullptr, 10);
        }
    }
    return -1;
}

double CpuSeconds()
{
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string boardPath = argc > 1 ? argv[1] : CALVENTA_SOURCE_DIR "/boards/demo.json";
    const long intervals = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 3600;
    const bool keepSimRecords = argc > 3 && std::string(argv[3]) == "--keep-sim-records";
    const std::filesystem::path scratch = std::filesystem::temp_directory_path() / "calventa-watch-bench";
    std::filesystem::create_directories(scratch / "program");
    setenv("CALVENTA_REGISTRY_ROOT", (scratch / "registry").c_str(), 1);

    std::string error;
    auto host = app::MachineHost::ForBoard(boardPath, error);
    if (!host) {
        std::cerr << error << "\n";
        return 2;
    }
    app::Monitor monitor(host->Get());
    struct : disks::DiskNotices, disks::UserMessages
    {
        void ShowAdminNotice() override {}
        void ShowMessage(const std::string&) override {}
        void ShowWarning(const std::string&, const std::string&) override {}
    } quiet;
    monitor.AttachDisks(host->Disks(), quiet, quiet);
    monitor.StartUp((scratch / "program").string());
    monitor.AlarmWindowCreated();

    FastForwardClock clock(*host->Sim());
    const std::string textfile = (scratch / "calventa.prom").string();
    size_t bytes = 0;
    long outputs = 0;
    double cpuAtStart = 0;
    app::CliOutputOptions jsonOutput;
    jsonOutput.format = app::CliFormat::Json;
    app::WatchHooks hooks;
    hooks.output = [&] {
        bytes += app::CliSnapshot(monitor, *host, jsonOutput, true).size();
        if (!app::WriteTextfile(textfile, app::CliMetrics(monitor), error)) {
            std::cerr << error << "\n";
            return false;
        }
        if (!keepSimRecords) {
            sim::SimMachine& machine = *host->Sim();
            machine.ClearMutexEvents();
            if (machine.IsaChip() != nullptr) {
                machine.IsaChip()->ClearWriteLog();
            }
            for (const uint8_t address : machine.SmbusAddresses()) {
                machine.SmbusChip(address)->ClearWriteLog();
            }
        }
        if (++outputs == 1) {
            cpuAtStart = CpuSeconds();
        }
        if (outputs == 2 || outputs % (intervals / 6 > 0 ? intervals / 6 : 1) == 1) {
            std::printf("interval %6ld  RSS %6ld kB\n", outputs - 1, StatusKb("VmRSS:"));
        }
        return true;
    };
    const app::WatchResult result = app::RunWatch(monitor, clock, 1, hooks, intervals);
    const double cpu = CpuSeconds() - cpuAtStart;
    monitor.CloseQuery();
    monitor.Close();
    std::filesystem::remove_all(scratch);

    std::printf("intervals %lld (virtual %lld s), disk passes %lld, output %zu bytes of JSON\n",
                static_cast<long long>(result.intervals), static_cast<long long>(clock.NowMs() / 1000),
                static_cast<long long>(result.diskPasses), bytes);
    std::printf("CPU per interval %.1f us (update pass, JSON line, textfile with fsync)\n",
                result.intervals > 0 ? cpu * 1e6 / static_cast<double>(result.intervals) : 0.0);
    std::printf("peak RSS %ld kB, RSS at the end %ld kB\n", StatusKb("VmHWM:"), StatusKb("VmRSS:"));
    return result.outputFailed ? 1 : 0;
}
