// calventa-cli: the monitor's start-up and update passes without windows, printed as text
// or JSON. It never writes settings.dat.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>

#include "app/cli_metrics.h"
#include "app/cli_output.h"
#include "app/cli_watch.h"
#include "app/machine_host.h"
#include "app/monitor.h"

namespace {

constexpr const char* kUsage =
    "usage: calventa-cli [--json] [--passes N] [--dir DIR] [--mode test|debug|fancontrol] [--dump-registers]\n"
    "                    [--format text|json|prometheus] [--textfile PATH] [--watch SECONDS]\n";

// No windows here: the administrator notice is not shown, messages go to standard error.
class CliNotices final : public calventa::disks::DiskNotices, public calventa::disks::UserMessages
{
public:
    void ShowAdminNotice() override {}
    void ShowMessage(const std::string& text) override { std::cerr << "calventa-cli: " << text << "\n"; }
    void ShowWarning(const std::string& caption, const std::string& text) override
    {
        std::cerr << caption << ": " << text << "\n";
    }
};

struct CliOptions
{
    bool json = false;
    bool dumpRegisters = false;
    int passes = 0;
    std::optional<std::string> directory;
    std::string mode;
    calventa::app::CliOutputOptions outputs;
    bool formatGiven = false;
    int watchSeconds = 0; // 0: one snapshot
};

std::optional<int> ParseCount(const std::string& text)
{
    if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    return std::stoi(text);
}

bool ParseArguments(int argc, char** argv, CliOptions& options, std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return std::nullopt;
            }
            return std::string(argv[++i]);
        };
        if (arg == "--json") {
            options.json = true;
            options.outputs.format = calventa::app::CliFormat::Json;
            options.formatGiven = true;
        } else if (arg == "--format") {
            const auto text = value();
            using calventa::app::CliFormat;
            const std::optional<CliFormat> format = !text                   ? std::nullopt
                                                    : *text == "text"       ? std::optional(CliFormat::Text)
                                                    : *text == "json"       ? std::optional(CliFormat::Json)
                                                    : *text == "prometheus" ? std::optional(CliFormat::Prometheus)
                                                                            : std::nullopt;
            if (!format) {
                error = error.empty() ? "--format takes text, json or prometheus" : error;
                return false;
            }
            options.outputs.format = *format;
            options.json = *format == CliFormat::Json;
            options.formatGiven = true;
        } else if (arg == "--textfile") {
            const auto text = value();
            if (!text || text->empty()) {
                error = error.empty() ? "--textfile needs a file path" : error;
                return false;
            }
            options.outputs.textfile = *text;
        } else if (arg == "--watch") {
            const auto text = value();
            const auto seconds = text ? calventa::app::ParseWatchSeconds(*text) : std::nullopt;
            if (!seconds) {
                error = error.empty() ? "--watch takes whole seconds from 1 to 86400" : error;
                return false;
            }
            options.watchSeconds = *seconds;
        } else if (arg == "--dump-registers") {
            options.dumpRegisters = true;
        } else if (arg == "--passes") {
            const auto text = value();
            const auto count = text ? ParseCount(*text) : std::nullopt;
            if (!count) {
                error = error.empty() ? "--passes takes a whole number from 0 to 999999" : error;
                return false;
            }
            options.passes = *count;
        } else if (arg == "--dir") {
            const auto text = value();
            if (!text) {
                return false;
            }
            options.directory = *text;
        } else if (arg == "--mode") {
            const auto text = value();
            if (!text) {
                return false;
            }
            if (*text != "test" && *text != "debug" && *text != "fancontrol") {
                error = "--mode takes test, debug or fancontrol";
                return false;
            }
            options.mode = *text;
        } else {
            error = "unknown argument " + arg;
            return false;
        }
    }
    return true;
}

// The signal that asked the passes to stop; read between passes. A signal handler can
// reach nothing else, so this is the one process-wide variable.
volatile std::sig_atomic_t g_stopSignal = 0;

extern "C" void AskToStop(int signal)
{
    g_stopSignal = signal;
}

// SIGINT, SIGTERM and SIGHUP end the passes early and go through the normal close, so the
// fan outputs are handed back (and kernel pwm modes restored) however the run ends.
sigset_t StopOnSignals()
{
    struct sigaction action = {};
    action.sa_handler = AskToStop;
    sigemptyset(&action.sa_mask);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
        sigaddset(&stopSignals, signal);
    }
    return stopSignals;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace calventa;
    CliOptions options;
    std::string error;
    if (!ParseArguments(argc, argv, options, error)) {
        std::cerr << "calventa-cli: " << error << "\n" << kUsage;
        return 2;
    }
    std::unique_ptr<app::MachineHost> host = app::MachineHost::FromEnvironment(error);
    if (!host) {
        std::cerr << "calventa-cli: " << error << "\n";
        return 2;
    }

    const sigset_t stopSignals = StopOnSignals();
    // With --textfile alone the metrics go to the file and nothing to standard output.
    options.outputs.toStdout = options.formatGiven || options.outputs.textfile.empty();
    options.outputs.dumpRegisters = options.dumpRegisters;
    app::Monitor monitor(host->Get());
    CliNotices notices;
    monitor.AttachDisks(host->Disks(), notices, notices);
    monitor.ApplyCommandWord(app::ParseCommandWord(options.mode));
    monitor.StartUp(options.directory);
    core::MonitorState& state = monitor.State();
    if (!state.UsesProgramDirectory()) {
        std::cerr << "calventa-cli: " << state.ProgramDirectoryRefusal << "\n";
    }
    // Debug mode is run for its debug.txt: a run without one must not look like a success.
    const bool logMissing = state.Flags.DebugMode && (!state.UsesProgramDirectory() || state.Log().CreationFailed());
    if (logMissing) {
        std::cerr << "calventa-cli: no debug.txt written: " << state.ProgramFile(core::kLogFileName)
                  << (state.UsesProgramDirectory() ? " cannot be created" : " is in a refused directory") << "\n";
    }
    // As in the desktop program, the alarm window exists from the end of start-up on.
    monitor.AlarmWindowCreated();
    for (int pass = 0; pass < options.passes && g_stopSignal == 0; ++pass) {
        monitor.UpdatePass();
    }
    if (g_stopSignal == 0) {
        monitor.DiskPass();
    }
    if (options.watchSeconds > 0) {
        const int status =
            app::RunCliWatch(monitor, *host, options.outputs, options.watchSeconds, g_stopSignal, stopSignals);
        return status != 0 ? status : (logMissing ? 1 : 0);
    }
    monitor.CloseQuery();
    monitor.Close();
    if (g_stopSignal != 0) {
        return 128 + g_stopSignal;
    }

    if (options.json) {
        std::cout << app::CliJson(monitor, host->Sim(), options.dumpRegisters)
                         .dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
                  << "\n";
    } else if (options.outputs.format == app::CliFormat::Prometheus && options.outputs.toStdout) {
        std::cout << app::CliMetrics(monitor);
    } else if (options.outputs.toStdout) {
        std::cout << app::CliPlainText(monitor);
    }
    if (!options.outputs.textfile.empty() &&
        !app::WriteTextfile(options.outputs.textfile, app::CliMetrics(monitor), error)) {
        std::cerr << "calventa-cli: " << error << "\n";
        return 1;
    }
    return logMissing ? 1 : 0;
}
