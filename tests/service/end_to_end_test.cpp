// The real calventasvc on a simulated board, and the monitor's disk side reading through it
// as a user who may not open drive 0; the --install / --uninstall commands.

#include <cstdio>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "app/machine_host.h"
#include "core/monitor_state.h"
#include "disks/smart_disks.h"
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

    TempDir m_dir;
    std::map<std::string, std::string> m_environment;
};

TEST_F(ServiceProcess, MonitorWithoutDriveRightsReadsTheTemperaturesThroughIt)
{
    const pid_t daemon = testing::StartProcess({CALVENTASVC_PATH}, m_environment);
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

    EXPECT_EQ(testing::TerminateProcess(daemon, 5000), 0);
    EXPECT_EQ(access(m_environment["CALVENTA_SERVICE_SOCKET"].c_str(), F_OK), -1);
}

TEST_F(ServiceProcess, CalventaCliWithoutDriveRightsShowsTheDisksReadByTheService)
{
    const pid_t daemon = testing::StartProcess({CALVENTASVC_PATH}, m_environment);
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
    EXPECT_EQ(testing::TerminateProcess(daemon, 5000), 0);

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

    const testing::ProcessResult install =
        testing::RunProcess({CALVENTASVC_PATH, "--install", "--silent"}, m_environment);
    EXPECT_EQ(install.exitCode, 0);
    EXPECT_EQ(install.output, "");
    char real[4096];
    ASSERT_NE(realpath(CALVENTASVC_PATH, real), nullptr);
    EXPECT_EQ(ReadText(m_dir / "units/calventasvc.service"), DiskServiceUnitText(real));
    EXPECT_EQ(ReadText(m_dir / "calls"), "daemon-reload\nenable calventasvc.service\n");

    const testing::ProcessResult uninstall =
        testing::RunProcess({CALVENTASVC_PATH, "--uninstall", "--silent"}, m_environment);
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

TEST(PackagedUnit, IsTheUnitThatInstallWritesForUsrSbin)
{
    EXPECT_EQ(ReadText(std::string(CALVENTA_SOURCE_DIR) + "/packaging/systemd/calventasvc.service"),
              DiskServiceUnitText("/usr/sbin/calventasvc"));
}

} // namespace
} // namespace calventa::service
