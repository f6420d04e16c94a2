// A local user (nobody) against root's runs of calventa-cli and calventasvc: links planted on
// the way to root's program directory and to the metrics folder, and environment variables
// that a `sudo -E` or `su` without `-` hands over. Nothing of root's may change.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "../platform/linux_test_support.h"

namespace {

using namespace calventa::platform::linux_backend::testing;

class RootAttack : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (geteuid() != 0) {
            GTEST_SKIP() << "the victim is root";
        }
        ASSERT_FALSE(m_dir.Path().empty());
        // Root's own folder, which nobody else may even list, and a file in it.
        ASSERT_EQ(mkdir(Private().c_str(), 0700), 0);
        WriteText(Private() + "/debug.txt", "precious\n");
        m_before = FactsOf(Private() + "/debug.txt");
        m_home = MakeAttackerDirectory(m_dir / "home");
        ASSERT_FALSE(m_home.empty());
    }

    std::string Private() const { return m_dir / "private"; }

    // Root's run of calventa-cli on the demo board, standard error folded in.
    ShellRun RunCli(const std::string& environment, const std::string& arguments) const
    {
        return RunShell("timeout 60 env CALVENTA_BOARD=" + std::string(CALVENTA_SOURCE_DIR) + "/boards/demo.json " +
                        environment + " " + CALVENTA_CLI_PATH + " " + arguments + " 2>&1");
    }

    // The private folder holds what it held, byte for byte.
    void ExpectPrivateUntouched() const
    {
        EXPECT_EQ(FactsOf(Private() + "/debug.txt"), m_before);
        EXPECT_EQ(Entries(Private()), std::vector<std::string>{"debug.txt"});
    }

    TempDir m_dir;
    std::string m_home;
    FileFacts m_before;
};

// The path as given is checked, links included: a link in a user's directory, or one a user
// owns in a sticky one like /tmp, never leads root into a folder of the user's choosing.
TEST_F(RootAttack, NoPlantedLinkLeadsRootToAnotherProgramDirectory)
{
    const std::string registry = "CALVENTA_REGISTRY_ROOT=" + (m_dir / "registry");
    ASSERT_TRUE(AsAttacker([&] { return symlink(Private().c_str(), (m_home + "/cv").c_str()) == 0; }));
    ShellRun run = RunCli(registry + " XDG_CONFIG_HOME=" + (m_dir / "config"), "--mode debug --dir " + m_home + "/cv");
    EXPECT_EQ(run.exitCode, 1) << run.out;
    EXPECT_NE(run.out.find("calventa-cli: Program directory " + m_home + "/cv not used: " + m_home +
                           " belongs to uid 65534\n"),
              std::string::npos)
        << run.out;

    const std::string sticky = m_dir / "sticky";
    ASSERT_EQ(mkdir(sticky.c_str(), 0700), 0);
    ASSERT_EQ(chmod(sticky.c_str(), 01777), 0);
    ASSERT_TRUE(AsAttacker([&] { return symlink(Private().c_str(), (sticky + "/cv").c_str()) == 0; }));
    run = RunCli(registry + " XDG_CONFIG_HOME=" + (m_dir / "config"), "--mode debug --dir " + sticky + "/cv");
    EXPECT_EQ(run.exitCode, 1) << run.out;
    EXPECT_NE(run.out.find(sticky + "/cv is a link owned by uid 65534\n"), std::string::npos) << run.out;

    // XDG_CONFIG_HOME kept by sudo -E, its calventa folder a link.
    ASSERT_TRUE(AsAttacker([&] { return symlink(Private().c_str(), (m_home + "/calventa").c_str()) == 0; }));
    run = RunCli(registry + " XDG_CONFIG_HOME=" + m_home, "--mode debug");
    EXPECT_EQ(run.exitCode, 1) << run.out;
    EXPECT_NE(run.out.find("Program directory " + m_home + "/calventa not used: " + m_home + " belongs to uid 65534"),
              std::string::npos)
        << run.out;
    ExpectPrivateUntouched();

    // Root's own link, in a folder only root can change, is followed as before.
    const std::string mine = m_dir / "mine";
    ASSERT_EQ(mkdir(mine.c_str(), 0700), 0);
    ASSERT_EQ(symlink(mine.c_str(), (m_dir / "mine-link").c_str()), 0);
    run = RunCli(registry + " XDG_CONFIG_HOME=" + (m_dir / "config"), "--mode debug --dir " + (m_dir / "mine-link"));
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(ReadText(mine + "/debug.txt").find("Log opened"), std::string::npos);
}

// Debian's /var/lib/prometheus belongs to the collector's user, who may put anything in it
// but must not send root's textfile elsewhere through a link.
TEST_F(RootAttack, TheTextfileFollowsNoLinkOfTheFoldersOwner)
{
    const std::string environment =
        "CALVENTA_REGISTRY_ROOT=" + (m_dir / "registry") + " XDG_CONFIG_HOME=" + (m_dir / "config");
    const std::string folder = m_home + "/node-exporter";
    ASSERT_TRUE(AsAttacker([&] { return symlink(Private().c_str(), folder.c_str()) == 0; }));
    ShellRun run = RunCli(environment, "--textfile " + folder + "/calventa.prom");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out,
              "calventa-cli: cannot write " + folder + "/calventa.prom: " + folder + " is a link owned by uid 65534\n");
    run = RunCli(environment, "--watch 1 --textfile " + folder + "/calventa.prom");
    EXPECT_EQ(run.exitCode, 1) << run.out;
    ExpectPrivateUntouched();

    // The user's own folder, as the collector's is: written, root's file with mode 0644.
    ASSERT_TRUE(AsAttacker([&] { return unlink(folder.c_str()) == 0 && mkdir(folder.c_str(), 0755) == 0; }));
    run = RunCli(environment, "--textfile " + folder + "/calventa.prom");
    EXPECT_EQ(run.exitCode, 0) << run.out;
    const FileFacts written = FactsOf(folder + "/calventa.prom");
    EXPECT_EQ(written.owner, 0u);
    EXPECT_EQ(written.mode, 0644u);
    EXPECT_NE(written.bytes.find("calventa_temperature_celsius"), std::string::npos);
}

// The tests' stand-ins for the store, the autostart folder and systemctl, set in the user's
// environment: root takes none of them from a place the user controls, says so and keeps
// its defaults.
TEST_F(RootAttack, RootTakesNoSteeringVariableFromAPlaceTheUserControls)
{
    // The store's "PATH" would pick root's program directory.
    const std::string store = m_home + "/registry";
    ASSERT_TRUE(AsAttacker([&] {
        if (mkdir(store.c_str(), 0755) != 0) {
            return false;
        }
        WriteText(store + "/PATH.sz", Private() + "\n");
        return true;
    }));
    ShellRun run = RunCli("CALVENTA_REGISTRY_ROOT=" + store + " XDG_CONFIG_HOME=" + (m_dir / "config"), "--mode debug");
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find("calventa-cli: CALVENTA_REGISTRY_ROOT ignored: " + m_home + " belongs to uid 65534\n"),
              std::string::npos)
        << run.out;
    ExpectPrivateUntouched();

    // systemctl: the user's program must not run as root; the real one (here root's
    // stand-in, found on PATH) does.
    const std::string evil = m_home + "/systemctl";
    const std::string ran = m_dir / "evil-ran";
    ASSERT_TRUE(AsAttacker([&] {
        WriteText(evil, "#!/bin/sh\ntouch " + ran + "\n");
        return chmod(evil.c_str(), 0755) == 0;
    }));
    const std::string bin = m_dir / "bin";
    ASSERT_EQ(mkdir(bin.c_str(), 0755), 0);
    WriteText(bin + "/systemctl", "#!/bin/sh\necho \"$*\" >> " + (m_dir / "calls") + "\n");
    ASSERT_EQ(chmod((bin + "/systemctl").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((m_dir / "units").c_str(), 0755), 0);
    run = RunShell("env PATH=" + bin + ":/usr/bin:/bin CALVENTA_SYSTEMCTL=" + evil + " CALVENTA_SYSTEMD_UNIT_DIR=" +
                   (m_dir / "units") + " " + CALVENTA_SERVICE_PATH + " --uninstall 2>&1");
    EXPECT_FALSE(std::filesystem::exists(ran)) << "the user's program ran as root";
    EXPECT_NE(run.out.find("calventasvc: CALVENTA_SYSTEMCTL ignored: " + m_home + " belongs to uid 65534\n"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(ReadText(m_dir / "calls"), "disable --now calventasvc.service\ndaemon-reload\n");
}

} // namespace
