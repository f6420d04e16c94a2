// The real calventasvc on a simulated board, and the monitor's disk side reading through it
// as a user who may not open drive 0; the --install / --uninstall commands.

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <regex>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "app/machine_host.h"
#include "core/monitor_state.h"
#include "disks/smart_disks.h"
#include "platform/linux/file_program_store.h"
#include "service/service_test_support.h"
#include "service/service_unit.h"

namespace calventa::service {
namespace {

using platform::linux_backend::testing::ReadText;
using platform::linux_backend::testing::WriteText;
using testing::TempDir;

constexpr const char* kDeniedBoard = R"({"disk_access": "denied", "disks": [
    {"drive": 0, "model": "SIM DISK 1", "serial": "SN0001", "firmware": "1.0", "temperature": 40},
    {"drive": 2, "model": "SIM DISK 3", "serial": "SN0003", "firmware": "2.1", "temperature": 35,
     "attribute_entry": 35}]})";

class NoNotices : public disks::DiskNotices
{
public:
    int shown = 0;
    void ShowAdminNotice() override { ++shown; }
};

class NoMessages : public disks::UserMessages
{
public:
    std::vector<std::string> shown;
    void ShowMessage(const std::string& text) override { shown.push_back(text); }
    void ShowWarning(const std::string&, const std::string& text) override { shown.push_back(text); }
};

class ServiceProcess : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WriteText(m_dir / "board.json", kDeniedBoard);
        m_environment = {{"CALVENTA_BOARD", m_dir / "board.json"},
                         {"CALVENTA_SERVICE_SOCKET", m_dir / "run/calventasvc.sock"},
                         {"CALVENTA_REGISTRY_ROOT", m_dir / "registry"},
                         {"CALVENTA_SYSTEMD_UNIT_DIR", m_dir / "units"}};
    }

    // The daemon copied to sbin/ of the test's folder, as a package would install it.
    std::string InstalledCopy()
    {
        mkdir((m_dir / "sbin").c_str(), 0755);
        const std::string copy = m_dir / "sbin/calventasvc";
        std::filesystem::copy_file(CALVENTASVC_PATH, copy, std::filesystem::copy_options::overwrite_existing);
        chmod(copy.c_str(), 0755);
        return copy;
    }

    // A daemon a failed assertion leaves running would hold CTest's output pipe open, so
    // that CTest waits minutes for a test that failed in milliseconds: TearDown stops it.
    void TearDown() override
    {
        for (const pid_t daemon : m_daemons) {
            testing::TerminateProcess(daemon, 2000);
        }
    }

    pid_t StartDaemon(const std::vector<std::string>& arguments)
    {
        const pid_t daemon = testing::StartProcess(arguments, m_environment);
        if (daemon > 0) {
            m_daemons.push_back(daemon);
        }
        return daemon;
    }

    // Its exit code after SIGTERM, -1 when it did not end within the timeout.
    int StopDaemon(pid_t daemon, int timeoutMs)
    {
        std::erase(m_daemons, daemon);
        return testing::TerminateProcess(daemon, timeoutMs);
    }

    TempDir m_dir;
    std::map<std::string, std::string> m_environment;
    std::vector<pid_t> m_daemons;
};

TEST_F(ServiceProcess, MonitorWithoutDriveRightsReadsTheTemperaturesThroughIt)
{
    const pid_t daemon = StartDaemon({CALVENTASVC_PATH});
    ASSERT_GT(daemon, 0);
    ASSERT_TRUE(testing::WaitForSocket(m_environment["CALVENTA_SERVICE_SOCKET"], 10000));

    // The monitor's side, as calventa-cli builds it on the same board and store.
    for (const auto& [name, value] : m_environment) {
        setenv(name.c_str(), value.c_str(), 1);
    }
    std::string error;
    auto host = app::MachineHost::ForBoard(m_environment["CALVENTA_BOARD"], error);
    ASSERT_TRUE(host) << error;
    {
        core::MonitorState state(host->Get());
        state.SetDefaultSettings();
        state.Settings.Slots[core::kSlotHd0].Correction = 1.5f;
        NoNotices notices;
        NoMessages messages;
        disks::SmartDisks smart(state, host->Disks(), notices, messages);

        ASSERT_TRUE(smart.StartSmart(m_dir.Path()));
        EXPECT_EQ(smart.AccessMode(), disks::DiskAccessMode::DiskService);
        ASSERT_TRUE(smart.ScanDisks());
        EXPECT_EQ(state.Disks.DiskCount, 2);
        EXPECT_EQ(state.Disks.DriveCount, 2);
        EXPECT_EQ(state.Disks.Model[0], "SIM DISK 1");
        EXPECT_EQ(state.Disks.Firmware[1], "2.1");
        ASSERT_TRUE(smart.ReadDiskTemperatures());
        EXPECT_EQ(state.Disks.Temperature[0], 42);
        EXPECT_EQ(state.Disks.Temperature[1], 35);
        EXPECT_EQ(notices.shown, 0);
        EXPECT_TRUE(messages.shown.empty());
        EXPECT_EQ(host->SimDrives()->DriveOpens(), 0);
    }

    EXPECT_EQ(StopDaemon(daemon, 5000), 0);
    EXPECT_EQ(access(m_environment["CALVENTA_SERVICE_SOCKET"].c_str(), F_OK), -1);
}

TEST_F(ServiceProcess, CalventaCliWithoutDriveRightsShowsTheDisksReadByTheService)
{
    const pid_t daemon = StartDaemon({CALVENTASVC_PATH});
    ASSERT_GT(daemon, 0);
    ASSERT_TRUE(testing::WaitForSocket(m_environment["CALVENTA_SERVICE_SOCKET"], 10000));

    std::string command;
    for (const auto& [name, value] : m_environment) {
        command += name + "=" + value + " ";
    }
    command += std::string(CALVENTA_CLI_PATH) + " --json --dir " + m_dir.Path() + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buffer[4096];
    for (size_t n = 0; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        out.append(buffer, n);
    }
    EXPECT_EQ(pclose(pipe), 0);
    EXPECT_EQ(StopDaemon(daemon, 5000), 0);

    const auto json = nlohmann::json::parse(out, nullptr, false);
    ASSERT_FALSE(json.is_discarded()) << out;
    ASSERT_EQ(json["disks"].size(), 2u);
    EXPECT_EQ(json["disks"][0]["model"], "SIM DISK 1");
    EXPECT_EQ(json["disks"][1]["drive"], 2);
    EXPECT_EQ(json["disks"][1]["temperature"], 35);
    EXPECT_EQ(json["rows"][0]["slot"], "HD0"); // no chip on this board: the disk rows come first
    EXPECT_EQ(json["rows"][0]["value"], "40 \xC2\xB0"
                                        "C / 104 \xC2\xB0"
                                        "F");
}

TEST_F(ServiceProcess, RefusesABadBoardAndUnknownArguments)
{
    WriteText(m_dir / "board.json", R"({"disks": [{"drive": 9}]})");
    const testing::ProcessResult badBoard = testing::RunProcess({CALVENTASVC_PATH}, m_environment);
    EXPECT_EQ(badBoard.exitCode, 1);
    EXPECT_NE(badBoard.output.find("disks[0].drive"), std::string::npos) << badBoard.output;

    EXPECT_EQ(testing::RunProcess({CALVENTASVC_PATH, "--start"}, m_environment).exitCode, 2);
    EXPECT_EQ(testing::RunProcess({CALVENTASVC_PATH, "--install", "--uninstall"}, m_environment).exitCode, 2);
}

TEST_F(ServiceProcess, InstallAndUninstallTheUnit)
{
    mkdir((m_dir / "units").c_str(), 0755);
    // systemctl stand-in: records its arguments, refuses what $REFUSE names.
    WriteText(m_dir / "systemctl",
              "#!/bin/sh\necho \"$*\" >> \"" + (m_dir / "calls") + "\"\n[ \"$1\" = \"$REFUSE\" ] && exit 1\nexit 0\n");
    chmod((m_dir / "systemctl").c_str(), 0755);
    m_environment["CALVENTA_SYSTEMCTL"] = m_dir / "systemctl";

    // A copy in folders only root can change: the build tree may lie anywhere.
    const std::string program = InstalledCopy();
    const testing::ProcessResult install = testing::RunProcess({program, "--install", "--silent"}, m_environment);
    EXPECT_EQ(install.exitCode, 0) << install.output;
    EXPECT_EQ(install.output, "");
    EXPECT_EQ(ReadText(m_dir / "units/calventasvc.service"), DiskServiceUnitText(program));
    EXPECT_EQ(ReadText(m_dir / "calls"), "daemon-reload\nenable calventasvc.service\n");

    const testing::ProcessResult uninstall = testing::RunProcess({program, "--uninstall", "--silent"}, m_environment);
    EXPECT_EQ(uninstall.exitCode, 0);
    EXPECT_EQ(access((m_dir / "units/calventasvc.service").c_str(), F_OK), -1);
    EXPECT_EQ(ReadText(m_dir / "calls"), "daemon-reload\nenable calventasvc.service\n"
                                         "disable --now calventasvc.service\ndaemon-reload\n");
    // Removing what is not there is no failure.
    EXPECT_EQ(testing::RunProcess({CALVENTASVC_PATH, "--uninstall", "--silent"}, m_environment).exitCode, 0);
}

TEST_F(ServiceProcess, FailedInstallLeavesNothingBehind)
{
    mkdir((m_dir / "units").c_str(), 0755);
    WriteText(m_dir / "systemctl", "#!/bin/sh\n[ \"$1\" = enable ] && exit 1\nexit 0\n");
    chmod((m_dir / "systemctl").c_str(), 0755);
    m_environment["CALVENTA_SYSTEMCTL"] = m_dir / "systemctl";

    const testing::ProcessResult install = testing::RunProcess({CALVENTASVC_PATH, "--install"}, m_environment);
    EXPECT_EQ(install.exitCode, 1);
    EXPECT_NE(install.output.find("enable"), std::string::npos) << install.output;
    EXPECT_EQ(access((m_dir / "units/calventasvc.service").c_str(), F_OK), -1);

    m_environment["CALVENTA_SYSTEMD_UNIT_DIR"] = m_dir / "board.json/units"; // below a plain file
    EXPECT_EQ(testing::RunProcess({CALVENTASVC_PATH, "--install", "--silent"}, m_environment).exitCode, 1);
}

// Root runs what the unit names at every boot, with raw disk access: a file that another
// user can replace, or that lies in a folder another user can change, is not registered.
TEST_F(ServiceProcess, InstallRefusesAnExecutableThatAUserCouldReplace)
{
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to hand files to another user";
    }
    mkdir((m_dir / "units").c_str(), 0755);
    m_environment["CALVENTA_SYSTEMCTL"] = "";
    const std::string program = InstalledCopy();
    const std::string sbin = m_dir / "sbin";
    const auto refused = [&](const std::string& what) {
        const testing::ProcessResult install = testing::RunProcess({program, "--install"}, m_environment);
        EXPECT_EQ(install.exitCode, 1) << what;
        EXPECT_NE(install.output.find("will not register"), std::string::npos) << what << ": " << install.output;
        EXPECT_EQ(access((m_dir / "units/calventasvc.service").c_str(), F_OK), -1) << what;
    };

    ASSERT_EQ(chown(program.c_str(), 65534, 0), 0);
    refused("a file owned by nobody");
    ASSERT_EQ(chown(program.c_str(), 0, 0), 0);
    chmod(program.c_str(), 0775);
    refused("a group-writable file");
    chmod(program.c_str(), 0755);
    chmod(sbin.c_str(), 0777);
    refused("a folder open to all");
    chmod(sbin.c_str(), 0755);
    ASSERT_EQ(chown(sbin.c_str(), 65534, 65534), 0);
    refused("a folder owned by nobody");
    ASSERT_EQ(chown(sbin.c_str(), 0, 0), 0);

    // /tmp above the test's folder is open to all but sticky: no one else may rename in it.
    EXPECT_EQ(testing::RunProcess({program, "--install", "--silent"}, m_environment).exitCode, 0);
    EXPECT_NE(ReadText(m_dir / "units/calventasvc.service").find("ExecStart=" + program + "\n"), std::string::npos);
}

TEST(UnitExecutable, OnlyAResolvedPlainPathOnlyRootCanChangeIsNamed)
{
    EXPECT_NE(ExecutableRefusal("calventasvc"), "");
    EXPECT_NE(ExecutableRefusal("/proc/self/exe"), ""); // not the resolved path
    EXPECT_NE(ExecutableRefusal("/nonexistent/calventasvc"), "");
    EXPECT_NE(ExecutableRefusal("/usr/bin/../bin/sh"), "");
    TempDir dir;
    mkdir((dir / "with space").c_str(), 0755);
    WriteText(dir / "with space/calventasvc", "");
    EXPECT_NE(ExecutableRefusal(dir / "with space/calventasvc").find("quote"), std::string::npos);
    if (geteuid() == 0) {
        WriteText(dir / "calventasvc", "");
        chmod((dir / "calventasvc").c_str(), 0755);
        EXPECT_EQ(ExecutableRefusal(dir / "calventasvc"), "");
    }
}

// The overall exposure that systemd-analyze gives a unit file; nullopt when it cannot rate it.
std::optional<double> SecurityExposure(const std::string& unitPath)
{
    const testing::ProcessResult result =
        testing::RunProcess({"/usr/bin/systemd-analyze", "security", "--offline=yes", unitPath}, {});
    std::smatch match;
    static const std::regex overall(R"(Overall exposure level for \S+: ([0-9.]+))");
    if (!std::regex_search(result.output, match, overall)) {
        ADD_FAILURE() << result.output;
        return std::nullopt;
    }
    return std::stod(match[1]);
}

TEST(UnitSecurity, BothUnitsAreRatedOkBySystemdAnalyze)
{
    if (access("/usr/bin/systemd-analyze", X_OK) != 0) {
        GTEST_SKIP() << "systemd-analyze is missing (Debian package systemd; scripts/setup --test installs it)";
    }
    TempDir dir;
    WriteText(dir / "calventasvc.service", DiskServiceUnitText("/usr/sbin/calventasvc"));
    for (const std::string& unit :
         {dir / "calventasvc.service", std::string(CALVENTA_SOURCE_DIR) + "/packaging/systemd/calventasvc.service"}) {
        const std::optional<double> exposure = SecurityExposure(unit);
        ASSERT_TRUE(exposure) << unit;
        EXPECT_LE(*exposure, 1.1) << unit; // never worse than the unit has been rated
        std::printf("systemd-analyze security: %.1f for %s\n", *exposure, unit.c_str());
    }
}

// The unit lets the daemon write only below its state folder and its runtime folder: the
// default store and socket must lie there.
TEST(UnitSecurity, TheDaemonsDefaultPathsLieWhereTheUnitLetsItWrite)
{
    const std::string unit = DiskServiceUnitText("/usr/sbin/calventasvc");
    ASSERT_NE(unit.find("StateDirectory=calventa\n"), std::string::npos);
    ASSERT_NE(unit.find("RuntimeDirectory=calventa\n"), std::string::npos);
    ASSERT_NE(unit.find("ProtectSystem=strict\n"), std::string::npos);
    EXPECT_EQ(std::string(platform::linux_backend::kDefaultRegistryRoot).rfind("/var/lib/calventa/", 0), 0u);
    EXPECT_EQ(std::string(platform::linux_backend::kDefaultServiceSocket).rfind("/run/calventa/", 0), 0u);
}

// As the unit starts it: root whose only capability is CAP_SYS_RAWIO, no new privileges.
TEST_F(ServiceProcess, ServesWithRawIoAsItsOnlyCapability)
{
    if (geteuid() != 0 || access("/usr/bin/setpriv", X_OK) != 0) {
        GTEST_SKIP() << "needs root and setpriv (util-linux)";
    }
    const pid_t daemon = StartDaemon(
        {"/usr/bin/setpriv", "--bounding-set=-all,+sys_rawio", "--inh-caps=-all", "--no-new-privs", CALVENTASVC_PATH});
    ASSERT_GT(daemon, 0);
    ASSERT_TRUE(testing::WaitForSocket(m_environment["CALVENTA_SERVICE_SOCKET"], 10000));
    platform::linux_backend::SocketServiceManager manager(m_environment["CALVENTA_SERVICE_SOCKET"], m_dir / "units",
                                                          {2000, 10000});
    auto service = manager.Connect()->OpenService(platform::kDiskServiceName);
    ASSERT_TRUE(service);
    for (const uint32_t code : {platform::kDiskScanControl, platform::kDiskTemperatureControl}) {
        uint32_t error = 99;
        std::optional<std::vector<uint8_t>> image;
        EXPECT_TRUE(service->ControlForImage(code, error, image)) << code << ": " << error;
        EXPECT_TRUE(image);
    }
    EXPECT_EQ(StopDaemon(daemon, 5000), 0);
}

// The daemon reads NVMe controllers from sysfs, so it needs neither CAP_SYS_ADMIN (the
// kernel's condition for NVMe admin commands) nor their device files.
TEST(UnitSecurity, TheUnitKeepsOnlyRawIoAndNoNvmeDevice)
{
    const std::string unit = DiskServiceUnitText("/usr/sbin/calventasvc");
    EXPECT_NE(unit.find("\nCapabilityBoundingSet=CAP_SYS_RAWIO\n"), std::string::npos);
    EXPECT_EQ(unit.find("CAP_SYS_ADMIN"), std::string::npos);
    EXPECT_EQ(unit.find("char-nvme"), std::string::npos);
    EXPECT_NE(unit.find("\nDeviceAllow=block-sd rw\n"), std::string::npos);
}

TEST(PackagedUnit, IsTheUnitThatInstallWritesForUsrSbin)
{
    EXPECT_EQ(ReadText(std::string(CALVENTA_SOURCE_DIR) + "/packaging/systemd/calventasvc.service"),
              DiskServiceUnitText("/usr/sbin/calventasvc"));
}

} // namespace
} // namespace calventa::service
