// calventa-cli: the monitor's start-up and update passes without windows, printed as text
// or JSON. It never writes settings.dat.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cli/cli_console.h"
#include "cli/cli_metrics.h"
#include "cli/cli_output.h"
#include "app/machine_host.h"
#include "app/monitor.h"

namespace {

constexpr const char* kUsage =
    "usage: calventa-cli [--json] [--passes N] [--dir DIR] [--mode test|debug|fancontrol] [--dump-registers]\n"
    "                    [--format text|json|prometheus] [--textfile PATH] [--watch SECONDS]\n";

constexpr const char* kHelp = "Reads the motherboard's sensor chips and the disks' temperatures, as the calventa\n"
                              "window would show them, and prints them once (or every SECONDS with --watch).\n"
                              "\n"
                              "  --json             one JSON object instead of the readable text\n"
                              "  --passes N         N more update passes after start-up (0..999999, default 0)\n"
                              "  --dir DIR          program directory holding settings.dat (and debug.txt)\n"
                              "  --mode WORD        start as `calventa WORD` would: test, debug or fancontrol\n"
                              "  --dump-registers   with --json: every chip register written (simulated board only)\n"
                              "  --format FORMAT    text, json (as --json) or prometheus (the exposition format)\n"
                              "  --textfile PATH    write the metrics to PATH atomically (for a textfile collector)\n"
                              "  --watch SECONDS    keep running: a pass and an output every SECONDS (1..86400)\n"
                              "  --help             this text\n"
                              "  --version          the program's name and version\n"
                              "\n"
                              "CALVENTA_BOARD=FILE runs on a simulated board instead of the machine.\n"
                              "The plain output is coloured on a terminal unless NO_COLOR is set.\n"
                              "Exit status: 0; 1 on an error, or when the text or JSON found no sensor at all\n"
                              "(it says why); 2 for a bad command line.\n";

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
    bool help = false;
    bool version = false;
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

using calventa::app::CliFormat;

// --json is --format json; the two may be combined only when they agree.
std::string SetFormat(CliOptions& options, CliFormat format, const char* option)
{
    if (options.formatGiven && options.outputs.format != format) {
        return std::string(option) + " contradicts the format already chosen";
    }
    options.outputs.format = format;
    options.json = format == CliFormat::Json;
    options.formatGiven = true;
    return {};
}

// One entry per option: whether it takes a value, and what it does with it (an error text
// when the value is refused).
struct CliOption
{
    const char* name;
    bool takesValue;
    std::function<std::string(CliOptions&, const std::string&)> apply;
};

const std::vector<CliOption>& OptionTable()
{
    static const std::vector<CliOption> table = {
        {"--json", false, [](CliOptions& o, const std::string&) { return SetFormat(o, CliFormat::Json, "--json"); }},
        {"--format", true,
         [](CliOptions& o, const std::string& text) {
             const std::optional<CliFormat> format = text == "text"         ? std::optional(CliFormat::Text)
                                                     : text == "json"       ? std::optional(CliFormat::Json)
                                                     : text == "prometheus" ? std::optional(CliFormat::Prometheus)
                                                                            : std::nullopt;
             return format ? SetFormat(o, *format, "--format")
                           : "--format takes text, json or prometheus, not \"" + text + "\"";
         }},
        {"--textfile", true,
         [](CliOptions& o, const std::string& text) {
             o.outputs.textfile = text;
             return calventa::app::CheckTextfileOption(text);
         }},
        {"--watch", true,
         [](CliOptions& o, const std::string& text) {
             return calventa::app::ParseWatchOption(text, o.watchSeconds);
         }},
        {"--dump-registers", false,
         [](CliOptions& o, const std::string&) { return o.dumpRegisters = true, std::string(); }},
        {"--help", false, [](CliOptions& o, const std::string&) { return o.help = true, std::string(); }},
        {"--version", false, [](CliOptions& o, const std::string&) { return o.version = true, std::string(); }},
        {"--passes", true,
         [](CliOptions& o, const std::string& text) {
             const auto count = ParseCount(text);
             o.passes = count.value_or(0);
             return count ? std::string() : "--passes takes a whole number from 0 to 999999, not \"" + text + "\"";
         }},
        {"--dir", true, [](CliOptions& o, const std::string& text) { return o.directory = text, std::string(); }},
        {"--mode", true,
         [](CliOptions& o, const std::string& text) {
             o.mode = text;
             return text == "test" || text == "debug" || text == "fancontrol"
                        ? std::string()
                        : "--mode takes test, debug or fancontrol, not \"" + text + "\"";
         }},
    };
    return table;
}

bool ParseArguments(int argc, char** argv, CliOptions& options, std::string& error)
{
    std::set<std::string> seen;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto& table = OptionTable();
        const auto option =
            std::find_if(table.begin(), table.end(), [&](const CliOption& entry) { return arg == entry.name; });
        if (option == table.end()) {
            error = "unknown argument " + arg;
            return false;
        }
        if (!seen.insert(arg).second) {
            error = arg + " given more than once";
            return false;
        }
        std::string value;
        if (option->takesValue) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        error = option->apply(options, value);
        if (!error.empty()) {
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace calventa;
    app::PrepareStandardStreams();
    app::UseBinaryStdout();
    CliOptions options;
    std::string error;
    if (!ParseArguments(argc, argv, options, error)) {
        std::cerr << "calventa-cli: " << error << " (see calventa-cli --help)\n";
        return 2;
    }
    if (options.help) {
        std::cout << kUsage << "\n" << kHelp;
        return 0;
    }
    if (options.version) {
        std::cout << "calventa-cli " << CALVENTA_VERSION << "\n";
        return 0;
    }
    if (options.directory) {
        error = app::DirectoryProblem(*options.directory);
        if (!error.empty()) {
            std::cerr << "calventa-cli: " << error << "\n";
            return 1;
        }
    }
    const char* board = std::getenv("CALVENTA_BOARD");
    if ((board == nullptr || *board == '\0') && !app::MachineHost::HasRealMachine()) {
        std::cerr << "calventa-cli: " << app::MachineHost::kNoRealMachine << "\n";
        return 1;
    }
    std::unique_ptr<app::MachineHost> host = app::MachineHost::FromEnvironment(error);
    if (!host) {
        std::cerr << "calventa-cli: " << error << "\n";
        return 2;
    }

    // A stop signal ends the passes early through the normal close, so the fan outputs are
    // handed back (and kernel pwm modes restored) however the run ends.
    app::CatchStopSignals();
    // With --textfile alone the metrics go to the file and nothing to standard output.
    options.outputs.toStdout = options.formatGiven || options.outputs.textfile.empty();
    options.outputs.dumpRegisters = options.dumpRegisters;
    options.outputs.colour = app::PlainTextInColour(app::StdoutIsTerminal(), std::getenv("NO_COLOR"));
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
    for (int pass = 0; pass < options.passes && app::StopSignal() == 0; ++pass) {
        monitor.UpdatePass();
    }
    if (app::StopSignal() == 0) {
        monitor.DiskPass();
    }
    if (options.watchSeconds > 0) {
        const int status = app::RunConsoleWatch(monitor, *host, options.outputs, options.watchSeconds);
        return status != 0 ? status : (logMissing ? 1 : 0);
    }
    monitor.CloseQuery();
    monitor.Close();
    if (app::StopSignal() != 0) {
        return 128 + app::StopSignal();
    }

    // One snapshot, checked to the end: a full disk or a closed standard output is an error,
    // never a silent success.
    if (options.outputs.toStdout) {
        std::string text;
        if (options.json) {
            text = app::CliJson(monitor, host->Sim(), options.dumpRegisters)
                       .dump(2, ' ', false, nlohmann::json::error_handler_t::replace) +
                   "\n";
        } else if (options.outputs.format == app::CliFormat::Prometheus) {
            text = app::CliMetrics(monitor);
        } else {
            text = app::CliPlainText(monitor, options.outputs.colour);
        }
        // A reader that went away (EPIPE) is no error here either, as in the watch.
        if (!app::FinishStandardOutput(text, error) && !error.empty()) {
            std::cerr << "calventa-cli: " << error << "\n";
            return 1;
        }
    }
    if (!options.outputs.textfile.empty() &&
        !app::WriteMetricsFile(options.outputs.textfile, app::CliMetrics(monitor), error)) {
        std::cerr << "calventa-cli: " << error << "\n";
        return 1;
    }
    // As sensors(1) does, a snapshot that found nothing at all ends with status 1 (its output says
    // why). Metrics stay a success: an empty set is their true answer, and a collector's timer
    // would otherwise fail on every run.
    const bool nothingFound = !monitor.NothingFound().Empty() && options.outputs.toStdout &&
                              options.outputs.format != app::CliFormat::Prometheus;
    return logMissing || nothingFound ? 1 : 0;
}
