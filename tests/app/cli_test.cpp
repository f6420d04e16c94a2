// calventa-cli run as a program: its command-line contract and output.
#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/wait.h>

#include "../platform/linux_test_support.h"
#include "core/settings_block.h"

namespace {

using CliRun = calventa::platform::linux_backend::testing::ShellRun;

// Runs the CLI through the shell with the given environment prefix and arguments;
// standard error is folded into the output.
CliRun RunCli(const std::string& environment, const std::string& arguments)
{
    return calventa::platform::linux_backend::testing::RunShell(environment + " " + CALVENTA_CLI_PATH + " " +
                                                                arguments + " 2>&1");
}

// RunCli in a forked child that has given up root first, as a normal user starts the program.
CliRun RunCliUnprivileged(const std::string& environment, const std::string& arguments)
{
    CliRun run;
    int fds[2];
    if (pipe(fds) != 0) {
        return run;
    }
    const std::string command = environment + " " + CALVENTA_CLI_PATH + " " + arguments + " 2>&1";
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        dup2(fds[1], STDOUT_FILENO);
        calventa::platform::linux_backend::testing::BecomeUnprivileged();
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::array<char, 4096> buffer{};
    ssize_t count = 0;
    while ((count = read(fds[0], buffer.data(), buffer.size())) > 0) {
        run.out.append(buffer.data(), static_cast<size_t>(count));
    }
    close(fds[0]);
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) {
        run.exitCode = WEXITSTATUS(status);
    }
    return run;
}

std::string Board(const std::string& name)
{
    return std::string(CALVENTA_SOURCE_DIR) + "/boards/" + name;
}

class CliTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/calventa-cli-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string Env(const std::string& board) const
    {
        return "CALVENTA_BOARD=" + board + " CALVENTA_REGISTRY_ROOT=" + dir + "/registry XDG_CONFIG_HOME=" + dir;
    }

    std::string dir;
};

TEST_F(CliTest, DemoBoardJsonHasTheChipsAndTheirDefaultAssignments)
{
    const CliRun run = RunCli(Env(Board("demo.json")), "--json --dir " + dir);
    ASSERT_EQ(run.exitCode, 0) << run.out;
    const auto json = nlohmann::json::parse(run.out);
    ASSERT_EQ(json["chips"].size(), 2u);
    EXPECT_EQ(json["chips"][0]["name"], "W83627HF");
    EXPECT_EQ(json["chips"][0]["code"], 0x21);
    EXPECT_EQ(json["chips"][0]["counts"]["volts"], 9);
    EXPECT_EQ(json["chips"][0]["temps"][1], 43);
    EXPECT_EQ(json["chips"][1]["name"], "LM75");
    EXPECT_EQ(json["chips"][1]["address"], 0x48);
    EXPECT_EQ(json["chips"][1]["temps"][0], 43);
    ASSERT_EQ(json["slots"].size(), 27u);
    EXPECT_EQ(json["slots"][0]["name"], "Cpu");
    EXPECT_EQ(json["slots"][0]["chip"], 1);
    EXPECT_EQ(json["slots"][0]["min"], -10);
    EXPECT_EQ(json["slots"][14]["name"], "+3.3V");
    EXPECT_EQ(json["slots"][14]["channel"], 3);
    EXPECT_EQ(json["fan_control"][1]["pwm_register"], 1);
    EXPECT_EQ(json["fan_control"][2]["pwm_register"], 255);
    EXPECT_EQ(json["fan_duty"], nlohmann::json::array({100, 100, 100, 100, 100, 100, 100, 100}));
    EXPECT_FALSE(json.contains("registers"));
    EXPECT_FALSE(std::filesystem::exists(dir + "/settings.dat")); // never written
}

TEST_F(CliTest, DrivesBoardListsTheNvmeDriveAsHd2WithKindAndSourceAndLeavesItsKernelDeviceOut)
{
    const CliRun run = RunCli(Env(Board("drives.json")), "--json --dir " + dir);
    ASSERT_EQ(run.exitCode, 0) << run.out;
    const auto json = nlohmann::ordered_json::parse(run.out);
    ASSERT_EQ(json["disks"].size(), 3u);
    EXPECT_EQ(json["disks"][0]["temperature"], 41);
    EXPECT_EQ(json["disks"][1]["model"], "SIM SATA SSD AIRFLOW");
    EXPECT_EQ(json["disks"][1]["temperature"], 33);
    EXPECT_EQ(json["disks"][2]["model"], "SIM NVME SSD 1TB");
    EXPECT_EQ(json["disks"][2]["temperature"], 38);
    // Kind, source and power state per disk; an NVMe drive's number is its controller's.
    const std::vector<std::string> kinds = {"ata", "ata", "nvme"};
    const std::vector<std::string> sources = {"attribute194", "attribute190", "nvme_composite"};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(json["disks"][i]["kind"], kinds[i]);
        EXPECT_EQ(json["disks"][i]["source"], sources[i]);
        EXPECT_EQ(json["disks"][i]["asleep"], false);
    }
    EXPECT_EQ(json["disks"][2]["drive"], 0);
    const std::vector<std::string> keys = {"drive",       "model", "serial", "firmware",
                                           "temperature", "kind",  "source", "asleep"};
    std::vector<std::string> order;
    for (const auto& [key, value] : json["disks"][0].items()) {
        order.push_back(key);
    }
    EXPECT_EQ(order, keys); // the new keys after the old ones, which keep their order
    // The disk pass reads controller 0 itself: its hwmon device is no chip of its own.
    ASSERT_EQ(json["chips"].size(), 1u);
    EXPECT_EQ(json["chips"][0]["name"], "coretemp");
    bool hd2Shown = false;
    for (const auto& row : json["rows"]) {
        hd2Shown = hd2Shown || (row["slot"] == "HD2" && row["value"].get<std::string>().find("38") == 0);
    }
    EXPECT_TRUE(hd2Shown) << json["rows"].dump();
}

TEST_F(CliTest, RegisterDumpListsEveryChipWrite)
{
    const CliRun run = RunCli(Env(Board("demo.json")), "--json --dump-registers --passes 2 --dir " + dir);
    ASSERT_EQ(run.exitCode, 0) << run.out;
    const auto json = nlohmann::json::parse(run.out);
    EXPECT_EQ(json["registers"]["isa"]["0x4E"], 0);
    EXPECT_EQ(json["registers"]["isa"]["0x5D"], 1);
    EXPECT_TRUE(json["registers"]["smbus"]["0x48"].empty());
}

TEST_F(CliTest, PlainOutputListsChipsAndPanelsUnderHeadingsWithAlignedCaptions)
{
    const CliRun run = RunCli(Env(Board("demo.json")), "--dir " + dir);
    ASSERT_EQ(run.exitCode, 0) << run.out;
    EXPECT_EQ(run.out.rfind("Chips\n  W83627HF on ISA\n  LM75 on SMBus 0x48\n"
                            "Disks\n  HD0 SIM DISK 1 (ATA, serial SN0001, firmware 1.0)\n",
                            0),
              0u)
        << run.out;
    EXPECT_NE(run.out.find("\nTemperatures\n  CPU :    43 \xC2\xB0"
                           "C / 110 \xC2\xB0"
                           "F\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\n  +12V :   12.00 V\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\nFans\n  CPU :    4219 RPM\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find('\033'), std::string::npos) << "no colour into a pipe";
}

TEST_F(CliTest, DebugModeWritesTheStartUpLogIntoTheDirectory)
{
    const CliRun run = RunCli(Env(Board("demo.json")), "--mode debug --dir " + dir);
    ASSERT_EQ(run.exitCode, 0) << run.out;
    ASSERT_TRUE(std::filesystem::exists(dir + "/debug.txt"));
}

TEST_F(CliTest, DebugModeIntoAMissingDirectorySaysSoAndFails)
{
    const std::string missing = dir + "/missing";
    const CliRun run = RunCli(Env(Board("demo.json")), "--mode debug --dir " + missing);
    EXPECT_EQ(run.exitCode, 1) << run.out;
    EXPECT_EQ(run.out, "calventa-cli: --dir " + missing + ": No such file or directory\n");
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(CliTest, PassesAfterStartUpRaiseAlarmsAndRunFanControl)
{
    using namespace calventa::core;
    SettingsBlock block;
    SetDefaultSettings(block, {1024, 768}, kDefaultMainWindowWidth);
    for (int slot = 0; slot < kSlotCount; ++slot) {
        block.Slots[static_cast<size_t>(slot)].Chip = KindOfSlot(slot) == SlotKind::Disk ? slot - kSlotHd0 : kNoChip;
        block.Slots[static_cast<size_t>(slot)].Enabled = 0;
    }
    block.Slots[kSlotCpu] = {0, 2, 1, 0.0f, -10, 40, 1, 0, 0.0f}; // demo board: 43 °C, above 40
    block.Slots[kSlotCpuFan] = {0, 1, 0, 0.0f, 1000, 10000, 1, 0, 0.0f};
    block.FanControl[0] = {kSourceCpu, 40, 1, 0};
    block.TrayFahrenheit = 1;
    const SettingsImage image = EncodeSettings(block);
    FILE* file = fopen((dir + "/settings.dat").c_str(), "wb");
    ASSERT_NE(file, nullptr);
    fwrite(image.data(), 1, image.size(), file);
    fclose(file);

    const CliRun run = RunCli(Env(Board("demo.json")), "--json --passes 2 --dump-registers --dir " + dir);
    ASSERT_EQ(run.exitCode, 0) << run.out;
    const auto json = nlohmann::json::parse(run.out);
    ASSERT_EQ(json["rows"].size(), 2u);
    EXPECT_EQ(json["rows"][0]["value"], "43 \xC2\xB0"
                                        "C / 110 \xC2\xB0"
                                        "F");
    EXPECT_EQ(json["rows"][0]["red"], true);
    EXPECT_EQ(json["rows"][1]["value"], "4219 RPM");
    EXPECT_EQ(json["rows"][1]["power"], "Power = 80%");
    EXPECT_EQ(json["window"]["height"], 3 + (24 + 16 + 6) + 3 + (24 + 32 + 6) + 3 + 20);
    EXPECT_EQ(json["fan_duty"][0], 80);
    EXPECT_EQ(json["alarms"], nlohmann::json::array({"CPU temperature is 43 \xC2\xB0"
                                                     "C / 110 \xC2\xB0"
                                                     "F"}));
    EXPECT_EQ(json["tray"]["icon"]["text"], "110");
    EXPECT_EQ(json["tray"]["icon"]["x"], 1);
    EXPECT_EQ(json["registers"]["isa"]["0x5A"], 255); // handed back to full speed at the end
}

// The attack on root's start-up log: a user's own directory, handed to root with --dir, as
// XDG_CONFIG_HOME kept by sudo -E, or as "PATH" (written with echo), holds debug.txt as a
// link to a root file. Root runs on without that directory and says why.
TEST_F(CliTest, RootRefusesAProgramDirectoryAnotherUserCanChange)
{
    using namespace calventa::platform::linux_backend::testing;
    if (geteuid() != 0) {
        GTEST_SKIP() << "the victim is root";
    }
    ASSERT_EQ(chmod(dir.c_str(), 0755), 0); // mkdtemp's 0700 would keep the attacker out
    const std::string victim = dir + "/shadow";
    WriteText(victim, "root:secret\n");
    ASSERT_EQ(chmod(victim.c_str(), 0640), 0);
    const FileFacts before = FactsOf(victim);
    const std::string home = MakeAttackerDirectory(dir + "/home");
    ASSERT_FALSE(home.empty());
    ASSERT_TRUE(AsAttacker([&] { return symlink(victim.c_str(), (home + "/debug.txt").c_str()) == 0; }));
    const std::string refused =
        "calventa-cli: Program directory " + home + " not used: " + home + " belongs to uid 65534\n";

    CliRun run = RunCli(Env(Board("demo.json")), "--mode debug --dir " + home);
    EXPECT_EQ(run.exitCode, 1); // the run goes on, but the debug.txt asked for is not there
    EXPECT_NE(run.out.find(refused), std::string::npos) << run.out;

    std::filesystem::create_directories(dir + "/registry");
    WriteText(dir + "/registry/PATH.sz", home + "\n");
    run = RunCli(Env(Board("demo.json")), "--mode debug");
    EXPECT_NE(run.out.find(refused), std::string::npos) << run.out;

    std::filesystem::remove(dir + "/registry/PATH.sz");
    run = RunCli("CALVENTA_BOARD=" + Board("demo.json") + " CALVENTA_REGISTRY_ROOT=" + dir +
                     "/registry XDG_CONFIG_HOME=" + home,
                 "--mode debug");
    EXPECT_NE(run.out.find("calventa-cli: Program directory " + home + "/calventa not used"), std::string::npos)
        << run.out;
    EXPECT_FALSE(std::filesystem::exists(home + "/calventa")); // nothing of root's in the user's tree

    EXPECT_EQ(FactsOf(victim), before);
    EXPECT_TRUE(std::filesystem::is_symlink(home + "/debug.txt"));
}

// The current desktop: every sensor comes from the kernel, which needs no port access, so a
// normal user sees the same rows as root. The drive monitor of the listed disk is left out.
TEST_F(CliTest, DesktopBoardShowsTheKernelsSensorsAlsoToAnUnprivilegedUser)
{
    using namespace calventa::platform::linux_backend::testing;
    auto rowsOf = [](const CliRun& run) {
        std::vector<std::pair<std::string, std::string>> rows;
        const auto json = nlohmann::json::parse(run.out, nullptr, false);
        if (!json.is_discarded()) {
            for (const auto& row : json["rows"]) {
                rows.emplace_back(row["slot"], row["value"]);
            }
        }
        return rows;
    };
    const CliRun asRoot = RunCli(Env(Board("desktop.json")), "--json --dir " + dir);
    ASSERT_EQ(asRoot.exitCode, 0) << asRoot.out;
    const auto json = nlohmann::json::parse(asRoot.out);
    std::vector<std::string> chips;
    for (const auto& chip : json["chips"]) {
        chips.push_back(chip["name"]);
    }
    EXPECT_EQ(chips, (std::vector<std::string>{"acpitz", "coretemp", "nct6798", "nvme"}));
    EXPECT_EQ(json["chips"][2]["bus_path"], "platform/nct6775.656");
    EXPECT_EQ(json["chips"][2]["pwm"][0]["name"], "pwm1");
    const std::vector<std::pair<std::string, std::string>> expected{{"Cpu", "47 \xC2\xB0"
                                                                            "C / 117 \xC2\xB0"
                                                                            "F"},
                                                                    {"Sys", "33 \xC2\xB0"
                                                                            "C / 92 \xC2\xB0"
                                                                            "F"},
                                                                    {"Aux", "29 \xC2\xB0"
                                                                            "C / 85 \xC2\xB0"
                                                                            "F"},
                                                                    {"HD0", "36 \xC2\xB0"
                                                                            "C / 97 \xC2\xB0"
                                                                            "F"},
                                                                    // the NVMe drive only the kernel
                                                                    // reports on, as a drive row
                                                                    {"HD1", "45 \xC2\xB0"
                                                                            "C / 113 \xC2\xB0"
                                                                            "F"},
                                                                    {"CpuFan", "1054 RPM"},
                                                                    {"SysFan", "812 RPM"},
                                                                    {"AuxFan", "0 RPM"},
                                                                    {"VCoreA", "1.23 V"},
                                                                    {"+3.3V", "3.36 V"},
                                                                    {"+5V", "5.04 V"},
                                                                    {"+12V", "12.10 V"},
                                                                    {"+VBAT", "3.25 V"}};
    EXPECT_EQ(rowsOf(asRoot), expected);

    if (geteuid() != 0) {
        GTEST_SKIP() << "already unprivileged: the run above was the user's";
    }
    ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
    const std::string home = MakeAttackerDirectory(dir + "/user");
    ASSERT_FALSE(home.empty());
    const CliRun asUser =
        RunCliUnprivileged("CALVENTA_BOARD=" + Board("desktop.json") + " CALVENTA_REGISTRY_ROOT=" + home +
                               "/registry XDG_CONFIG_HOME=" + home,
                           "--json --mode debug --dir " + home);
    ASSERT_EQ(asUser.exitCode, 0) << asUser.out;
    EXPECT_EQ(rowsOf(asUser), expected) << asUser.out;
    EXPECT_EQ(FactsOf(home + "/debug.txt").owner, kAttackerUid); // the run was the user's
}

// A machine where nothing answers: every output says what was looked at, why nothing came back
// and what to do, and the snapshot ends with status 1 as `sensors` does; metrics stay a success.
TEST_F(CliTest, EmptyBoardSaysWhyNothingWasFoundAndEndsWithStatusOne)
{
    CliRun run = RunCli(Env(Board("empty.json")), "--dir " + dir);
    EXPECT_EQ(run.exitCode, 1) << run.out;
    EXPECT_NE(run.out.find("No sensors found\n"
                           "  No devices in /sys/class/hwmon: no sensor driver is loaded for this board. "
                           "Run sudo sensors-detect and load the kernel module it names.\n"
                           "  No monitoring chip answered on the ISA ports 0x295/0x296 or on the SMBus.\n"
                           "  No drive answered with a temperature.\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Tray: No sensors found | no sensor driver loaded | no chip on the ports | no drive\n"),
              std::string::npos)
        << run.out;

    run = RunCli(Env(Board("empty.json")), "--json --dir " + dir);
    EXPECT_EQ(run.exitCode, 1) << run.out;
    const auto json = nlohmann::json::parse(run.out);
    EXPECT_EQ(json["nothing_found"]["headline"], "No sensors found");
    ASSERT_EQ(json["nothing_found"]["lines"].size(), 3u);
    EXPECT_EQ(json["tray"]["tip"], "No sensors found\r\nno sensor driver loaded\r\nno chip on the ports\r\nno drive");
    EXPECT_GT(json["window"]["height"].get<int>(), 23); // the window holds the account

    EXPECT_EQ(RunCli(Env(Board("empty.json")), "--format prometheus --dir " + dir).exitCode, 0);
    // Test mode shows rows on any machine: nothing to explain, the described output.
    run = RunCli(Env(Board("empty.json")), "--json --mode test --dir " + dir);
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_FALSE(nlohmann::json::parse(run.out).contains("nothing_found"));
}

TEST_F(CliTest, RefusedPortsAndDrivesNameTheReasonAndTheDiskService)
{
    const CliRun run = RunCli(Env(Board("no-port-access.json")) + " CALVENTA_SERVICE_SOCKET=" + dir +
                                  "/none.sock CALVENTA_SYSTEMD_UNIT_DIR=" + dir,
                              "--json --dir " + dir);
    EXPECT_EQ(run.exitCode, 1) << run.out;
    const auto json = nlohmann::json::parse(run.out);
    ASSERT_EQ(json["nothing_found"]["lines"].size(), 3u);
    const std::string ports = json["nothing_found"]["lines"][1];
    EXPECT_EQ(ports.rfind("Port access refused (", 0), 0u) << ports;
    const std::string disks = json["nothing_found"]["lines"][2];
    EXPECT_NE(disks.find("the disk service calventasvc is not installed"), std::string::npos) << disks;
    EXPECT_EQ(json["tray"]["tip"],
              "No sensors found\r\nno sensor driver loaded\r\nport access refused\r\ndisk service not installed");
}

// Every board that finds something keeps its described object: no account, status 0.
TEST_F(CliTest, BoardsThatFindSomethingCarryNoAccount)
{
    for (const char* board :
         {"demo.json", "desktop.json", "drives.json", "ite.json", "smbus-only.json", "win9x.json"}) {
        const CliRun run = RunCli(Env(Board(board)), "--json --dir " + dir);
        EXPECT_EQ(run.exitCode, 0) << board << run.out;
        EXPECT_FALSE(nlohmann::json::parse(run.out).contains("nothing_found")) << board;
    }
}

TEST_F(CliTest, RefusesBadBoardsAndArgumentsWithOneLine)
{
    const std::string bad = dir + "/bad.json";
    FILE* file = fopen(bad.c_str(), "w");
    ASSERT_NE(file, nullptr);
    fputs(R"({"smbus": [{"address": "0x1234", "model": "LM75"}]})", file);
    fclose(file);
    CliRun run = RunCli(Env(bad), "");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.out.find("smbus"), std::string::npos) << run.out;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1);

    const std::string broken = dir + "/broken.json";
    file = fopen(broken.c_str(), "w");
    fputs("{\"isa\": ", file);
    fclose(file);
    EXPECT_EQ(RunCli(Env(broken), "").exitCode, 2);

    EXPECT_EQ(RunCli(Env(Board("demo.json")), "--passes many").exitCode, 2);
    EXPECT_EQ(RunCli(Env(Board("demo.json")), "--mode Test").exitCode, 2);
    EXPECT_EQ(RunCli(Env(Board("demo.json")), "--bogus").exitCode, 2);
}

} // namespace
