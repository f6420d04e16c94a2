#include "app/install_commands.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include <gtest/gtest.h>

#include "app/fake_services.h"
#include "core/fakes.h"

namespace calventa::app {
namespace {

using platform::ServiceState;
using testing::FakeProgram;
using testing::FakeServices;

class FakeRights : public ProcessRights
{
public:
    bool Root = true;
    bool IsAdministrator() const override { return Root; }
};

class Installation : public ::testing::Test
{
protected:
    // Runs the progress to its end, as the window's timer would; returns the waits.
    std::vector<int> RunToEnd(ServiceProgress::Task task)
    {
        progress.Begin(task);
        std::vector<int> waits;
        while (auto wait = progress.Step()) {
            waits.push_back(*wait);
        }
        return waits;
    }

    core::fake::FakeMachine machine;
    FakeRights rights;
    FakeServices services;
    FakeProgram program{services};
    ServiceProgress progress{services, program};
};

TEST_F(Installation, InstallDeletesTheSettingsFileAndFailsWithoutRoot)
{
    const std::string settings = machine.Facts.DefaultDirectory + "/settings.dat";
    machine.Files.Files[settings] = {1, 2, 3};
    rights.Root = false;
    std::string why;
    EXPECT_EQ(InstallCommand(machine.Machine, rights, why), 1);
    EXPECT_FALSE(machine.Files.Files.contains(settings)); // deleted before the rights matter
    // A normal user learns why in one line.
    EXPECT_NE(why.find("root"), std::string::npos) << why;
    EXPECT_EQ(why.find('\n'), std::string::npos) << why;

    machine.Store.Keys[platform::StoreKeyId::Program].Values["PATH"] = std::string("/opt/calventa/");
    machine.Files.Files["/opt/calventa/settings.dat"] = {1};
    rights.Root = true;
    EXPECT_EQ(InstallCommand(machine.Machine, rights, why), 0);
    EXPECT_TRUE(machine.Files.Files.empty());
    EXPECT_EQ(InstallCommand(machine.Machine, rights, why), 0); // nothing left to delete

    // A directory root may not trust is left alone.
    machine.Files.Files["/opt/calventa/settings.dat"] = {1};
    machine.Files.Untrusted.insert("/opt/calventa");
    EXPECT_EQ(InstallCommand(machine.Machine, rights, why), 0);
    EXPECT_TRUE(machine.Files.Files.contains("/opt/calventa/settings.dat"));
}

TEST_F(Installation, UninstallStopsWaitsAndRemovesTheDiskService)
{
    services.State = ServiceState::Running;
    std::string why;
    EXPECT_EQ(UninstallCommand(machine.Machine, services, why), 0);
    EXPECT_EQ(services.Calls, (std::vector<std::string>{"stop", "delete"}));
    EXPECT_EQ(machine.Time.SleptMs, 1000u);
    EXPECT_FALSE(services.Installed);

    services.Calls.clear();
    EXPECT_EQ(UninstallCommand(machine.Machine, services, why), 0); // nothing installed any more
    EXPECT_TRUE(services.Calls.empty());

    // "Svc" names a port driver this program created; Linux has none to remove, and keeps the marker.
    machine.Store.Keys[platform::StoreKeyId::Program].Values["Svc"] = uint32_t{1};
    EXPECT_EQ(UninstallCommand(machine.Machine, services, why), 0);
    EXPECT_TRUE(machine.Store.Keys[platform::StoreKeyId::Program].Values.contains("Svc"));

    services.Rights = false;
    services.Installed = true;
    EXPECT_EQ(UninstallCommand(machine.Machine, services, why), 1);
    EXPECT_TRUE(services.Installed);
    EXPECT_NE(why.find("root"), std::string::npos) << why;
}

TEST_F(Installation, ServiceMenuFollowsRightsAndServiceState)
{
    struct Case
    {
        bool rights;
        bool installed;
        std::optional<ServiceState> state;
        bool install;
        bool uninstall;
    };
    const Case cases[] = {
        {false, true, ServiceState::Running, false, false},
        {true, false, std::nullopt, true, false},
        {true, true, ServiceState::Stopped, true, true},
        {true, true, ServiceState::Running, false, true},
        {true, true, std::nullopt, true, false}, // the state cannot be queried
    };
    for (const Case& c : cases) {
        services.Rights = c.rights;
        services.Installed = c.installed;
        services.State = c.state;
        const auto menu = UpdateServiceMenu(services, platform::PlatformFamily::NtFamily);
        ASSERT_TRUE(menu);
        EXPECT_EQ(menu->InstallEnabled, c.install) << c.rights << c.installed;
        EXPECT_EQ(menu->UninstallEnabled, c.uninstall) << c.rights << c.installed;
    }
    EXPECT_FALSE(UpdateServiceMenu(services, platform::PlatformFamily::Windows9x));
}

TEST_F(Installation, InstallServiceLoadsStartsAndReportsEachLineBetweenWaits)
{
    services.Installed = false;
    progress.Begin(ServiceProgress::Task::Install);
    EXPECT_EQ(progress.Lines(), (std::vector<std::string>{"Connect to manager..."}));
    EXPECT_EQ(progress.Step(), kProgressWaitMs);
    EXPECT_EQ(progress.Lines(), (std::vector<std::string>{"Connect to manager...OK", "Loading..."}));
    EXPECT_EQ(program.Runs, (std::vector<std::vector<std::string>>{{"--install", "--silent"}}));
    EXPECT_EQ(progress.Step(), kProgressWaitMs);
    EXPECT_EQ(progress.Lines().back(), "Starting...");
    EXPECT_EQ(services.Calls, (std::vector<std::string>{"start"}));
    EXPECT_EQ(progress.Step(), std::nullopt);
    EXPECT_EQ(progress.Lines(), (std::vector<std::string>{"Connect to manager...OK", "Loading...OK", "Starting...OK",
                                                          "Service has been installed!"}));
    EXPECT_TRUE(progress.Finished());
    EXPECT_TRUE(progress.Succeeded());
}

TEST_F(Installation, InstallServiceOutcomes)
{
    services.State = ServiceState::Running;
    EXPECT_TRUE(RunToEnd(ServiceProgress::Task::Install).empty());
    EXPECT_EQ(progress.Lines(), (std::vector<std::string>{"Connect to manager...OK"}));
    EXPECT_TRUE(progress.Succeeded());

    services.State = ServiceState::Stopped;
    EXPECT_EQ(RunToEnd(ServiceProgress::Task::Install), (std::vector<int>{kProgressWaitMs}));
    EXPECT_EQ(progress.Lines(),
              (std::vector<std::string>{"Connect to manager...OK", "Starting...OK", "Service has been installed!"}));

    // A failed install says why under the described line: calventasvc's own reason, or that
    // it registered nothing.
    services.Installed = false;
    program.InstallWorks = false;
    program.Failure = "calventasvc: cannot write /etc/systemd/system: Read-only file system";
    RunToEnd(ServiceProgress::Task::Install);
    EXPECT_EQ(progress.Lines(),
              (std::vector<std::string>{"Connect to manager...OK", "Loading...", "Service install error!",
                                        "calventasvc: cannot write /etc/systemd/system: Read-only file system"}));
    EXPECT_FALSE(progress.Succeeded());
    RunToEnd(ServiceProgress::Task::Install);
    EXPECT_EQ(progress.Lines().size(), 4u);
    EXPECT_EQ(progress.Lines()[2], "Service install error!");
    EXPECT_EQ(progress.Lines()[3], "calventasvc --install did not register the service");

    services.Reachable = false;
    RunToEnd(ServiceProgress::Task::Install);
    EXPECT_EQ(progress.Lines(),
              (std::vector<std::string>{"Connect to manager...", "Connect failed!", "Service install error!"}));
    EXPECT_FALSE(progress.Succeeded());
}

TEST_F(Installation, UninstallServiceFailureOfCalventasvcIsNotReportedAsSuccess)
{
    services.State = ServiceState::Stopped;
    program.Failure = "calventasvc: cannot remove the unit: Permission denied";
    RunToEnd(ServiceProgress::Task::Uninstall);
    EXPECT_EQ(progress.Lines(),
              (std::vector<std::string>{"Connect to manager...OK", "Uninstall...", "Service uninstall error!",
                                        "calventasvc: cannot remove the unit: Permission denied"}));
    EXPECT_FALSE(progress.Succeeded());
}

TEST_F(Installation, UninstallServiceOutcomes)
{
    services.State = ServiceState::Stopped;
    EXPECT_EQ(RunToEnd(ServiceProgress::Task::Uninstall), (std::vector<int>{kProgressWaitMs}));
    EXPECT_EQ(progress.Lines(),
              (std::vector<std::string>{"Connect to manager...OK", "Uninstall...OK", "Service has been uninstalled!"}));
    EXPECT_TRUE(progress.Succeeded());
    EXPECT_EQ(program.Runs, (std::vector<std::vector<std::string>>{{"--uninstall", "--silent"}}));

    services.Installed = true;
    services.State = ServiceState::Running;
    EXPECT_EQ(RunToEnd(ServiceProgress::Task::Uninstall), (std::vector<int>{kProgressWaitMs, kProgressWaitMs}));
    EXPECT_EQ(progress.Lines(), (std::vector<std::string>{"Connect to manager...OK", "Stopping...OK", "Uninstall...OK",
                                                          "Service has been uninstalled!"}));
    EXPECT_EQ(services.Calls, (std::vector<std::string>{"stop"}));

    RunToEnd(ServiceProgress::Task::Uninstall); // no longer installed
    EXPECT_EQ(progress.Lines(), (std::vector<std::string>{"Connect to manager...", "Service uninstall error!"}));
    EXPECT_FALSE(progress.Succeeded());
    EXPECT_EQ(progress.Step(), std::nullopt);
}

} // namespace
} // namespace calventa::app

namespace calventa::app {
namespace {

// Collects until the child has ended (bounded), as the progress window's later step does.
std::string FailureOnceEnded(ChildServiceProgram& program)
{
    for (int i = 0; i < 500; ++i) {
        if (std::string failure = program.CollectFailure(); !failure.empty()) {
            return failure;
        }
        siginfo_t info{};
        if (waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) < 0 && errno == ECHILD) {
            return {}; // ended well and collected
        }
        usleep(10'000);
    }
    return "still running";
}

TEST(ChildServiceProgramRuns, FailureGivesItsLastErrorLineAndLeavesNoZombie)
{
    ChildServiceProgram program("/bin/sh");
    ASSERT_TRUE(program.Run({"-c", "echo first >&2; echo 'cannot write the unit: Read-only file system' >&2; exit 3"}));
    EXPECT_EQ(FailureOnceEnded(program), "cannot write the unit: Read-only file system");
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1); // nothing left to reap
    EXPECT_EQ(errno, ECHILD);
}

TEST(ChildServiceProgramRuns, SilentFailureSaysHowItEndedAndSuccessSaysNothing)
{
    ChildServiceProgram program("/bin/sh");
    ASSERT_TRUE(program.Run({"-c", "exit 4"}));
    EXPECT_EQ(FailureOnceEnded(program), "/bin/sh ended with status 4");
    ASSERT_TRUE(program.Run({"-c", "exit 0"}));
    EXPECT_EQ(FailureOnceEnded(program), "");
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
}

TEST(ChildServiceProgramRuns, MissingProgramIsReportedOnCollection)
{
    ChildServiceProgram program("/nonexistent/calventasvc");
    EXPECT_FALSE(program.Run({"--install", "--silent"}));
    EXPECT_NE(program.CollectFailure().find("/nonexistent/calventasvc could not be started"), std::string::npos);
    EXPECT_EQ(program.CollectFailure(), ""); // reported once
}

} // namespace
} // namespace calventa::app
