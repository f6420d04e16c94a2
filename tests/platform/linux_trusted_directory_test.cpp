// Which program directories root may keep its files in.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "linux_test_support.h"
#include "platform/linux/file_io.h"
#include "platform/linux/linux_file_system.h"
#include "platform/linux/linux_system_facts.h"
#include "platform/linux/steering_environment.h"

namespace calventa::platform::linux_backend {
namespace {

using testing::TempDir;

// Directories as root and the attacker (nobody) could have left them, all under a root
// directory 0755 in /tmp (sticky, writable by all).
class TrustedDirectoryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (geteuid() != 0) {
            GTEST_SKIP() << "the owners and modes need root";
        }
        Make("good", 0755);
        Make("world", 0777);
        Make("sticky", 01777);
        Make("sticky/inside", 0755);
        Make("group", 0775);
        Make("theirs", 0755, testing::kAttackerUid);
        Make("theirs/inside", 0755);
        Make("open", 0777);
        Make("open/inside", 0755);
        symlink((m_dir / "good").c_str(), (m_dir / "link-good").c_str());
        symlink((m_dir / "world").c_str(), (m_dir / "link-world").c_str());
        symlink("../good", (m_dir / "good/up-good").c_str());
        // What the attacker may plant: a link of their own beside root's, links in their own
        // directory and in a sticky one, each to a directory root alone may change.
        Plant(m_dir / "good", m_dir / "their-link");
        Plant(m_dir / "good", m_dir / "theirs/link");
        Plant(m_dir / "good", m_dir / "sticky/link");
        symlink((m_dir / "good").c_str(), (m_dir / "sticky/roots-link").c_str());
    }

    void Plant(const std::string& target, const std::string& link)
    {
        ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0) << link;
        ASSERT_EQ(lchown(link.c_str(), testing::kAttackerUid, testing::kAttackerUid), 0) << link;
    }

    void Make(const std::string& name, mode_t mode, uid_t owner = 0)
    {
        const std::string path = m_dir / name;
        ASSERT_EQ(mkdir(path.c_str(), 0700), 0) << name;
        ASSERT_EQ(chmod(path.c_str(), mode), 0) << name;
        ASSERT_EQ(chown(path.c_str(), owner, owner), 0) << name;
    }

    TempDir m_dir;
};

struct TrustCase
{
    const char* directory;
    const char* trustedAs; // nullptr: refused
    const char* why;       // part of the reason given
};

TEST_F(TrustedDirectoryTest, RootTakesOnlyWhatNobodyElseCanChange)
{
    const TrustCase cases[] = {
        {"good", "good", ""},
        {"sticky/inside", "sticky/inside", ""}, // as /tmp/x: others cannot move it
        {"link-good", "good", ""},              // by the link's target, used from now on
        {"world", nullptr, "/world is writable by group or others (mode 0777)"},
        {"sticky", nullptr, "/sticky is writable by group or others (mode 1777)"},
        {"group", nullptr, "/group is writable by group or others (mode 0775)"},
        {"theirs", nullptr, "/theirs belongs to uid 65534"},
        {"theirs/inside", nullptr, "/theirs belongs to uid 65534"},
        {"open/inside", nullptr, "/open is writable by group or others (mode 0777)"},
        {"link-world", nullptr, "/world is writable"},
        {"missing", nullptr, "/missing cannot be examined: No such file or directory"},
        {"good/up-good", "good", ""},              // root's relative link, through ".."
        {"sticky/roots-link", "good", ""},         // root's link: nobody else can move it
        {"sticky/roots-link/up-good", "good", ""}, // and on through the next one
        {"their-link", nullptr, "/their-link is a link owned by uid 65534"},
        {"sticky/link", nullptr, "/sticky/link is a link owned by uid 65534"},
        {"theirs/link", nullptr, "/theirs belongs to uid 65534"},
        {"good/../theirs/inside", nullptr, "/theirs belongs to uid 65534"},
    };
    for (const TrustCase& c : cases) {
        SCOPED_TRACE(c.directory);
        std::string why;
        const auto trusted = TrustedDirectoryPath(m_dir / c.directory, 0, why);
        if (c.trustedAs != nullptr) {
            EXPECT_EQ(trusted, std::filesystem::canonical(m_dir / c.trustedAs).string()) << why;
        } else {
            EXPECT_EQ(trusted, std::nullopt);
            EXPECT_NE(why.find(c.why), std::string::npos) << why;
        }
    }
}

TEST_F(TrustedDirectoryTest, TheFileSystemAsksOnlyForRoot)
{
    std::string why;
    EXPECT_EQ(LinuxFileSystem().OpenProgramDirectory(m_dir / "world", why), nullptr);
    EXPECT_EQ(why, m_dir / "world is writable by group or others (mode 0777)");
    const auto good = LinuxFileSystem().OpenProgramDirectory(m_dir / "link-good", why);
    ASSERT_NE(good, nullptr);
    EXPECT_EQ(good->Path(), m_dir / "good");
    // Another user can harm only themselves with a directory others may write, and their
    // links work as given.
    EXPECT_EXIT(
        {
            testing::BecomeUnprivileged();
            std::string reason;
            LinuxFileSystem files;
            const auto world = files.OpenProgramDirectory(m_dir / "world", reason);
            const auto link = files.OpenProgramDirectory(m_dir / "their-link", reason);
            _exit(world && world->Path() == m_dir / "world" && link && link->Path() == m_dir / "their-link" ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

// Root keeps the directory it checked: a link or another directory put in its path's place
// afterwards (by root here, as by anyone who could) changes nothing of where its files go.
TEST_F(TrustedDirectoryTest, RootsFilesStayInTheDirectoryItOpened)
{
    Make("kept", 0755);
    Make("elsewhere", 0755);
    std::string why;
    const auto kept = LinuxFileSystem().OpenProgramDirectory(m_dir / "kept", why);
    ASSERT_NE(kept, nullptr) << why;
    ASSERT_EQ(rename((m_dir / "kept").c_str(), (m_dir / "moved").c_str()), 0);
    ASSERT_EQ(symlink((m_dir / "elsewhere").c_str(), (m_dir / "kept").c_str()), 0);

    const uint8_t image[] = {1, 2, 3};
    EXPECT_TRUE(kept->ReplaceFile("settings.dat", image));
    auto log = kept->CreateTextFile("debug.txt");
    ASSERT_NE(log, nullptr);
    EXPECT_TRUE(log->Write("Log opened\r\n"));
    log.reset();
    EXPECT_TRUE(kept->FileExists("settings.dat"));
    EXPECT_EQ(kept->ReadFile("settings.dat", 640), std::vector<uint8_t>({1, 2, 3}));
    EXPECT_EQ(testing::Entries(m_dir / "moved"), (std::vector<std::string>{"debug.txt", "settings.dat"}));
    EXPECT_TRUE(testing::Entries(m_dir / "elsewhere").empty());
    EXPECT_TRUE(kept->RemoveFile("debug.txt"));
    EXPECT_EQ(testing::Entries(m_dir / "moved"), std::vector<std::string>{"settings.dat"});
}

// $XDG_CONFIG_HOME kept by sudo -E: root makes nothing in the user's tree.
TEST_F(TrustedDirectoryTest, RootCreatesTheDefaultDirectoryOnlyWhereNobodyElseCanChangeIt)
{
    const LinuxSystemFacts theirs(m_dir / "theirs/.config/calventa", "C");
    EXPECT_EQ(theirs.DefaultProgramDirectory(), m_dir / "theirs/.config/calventa");
    EXPECT_FALSE(std::filesystem::exists(m_dir / "theirs/.config"));

    const LinuxSystemFacts roots(m_dir / "good/.config/calventa", "C");
    EXPECT_EQ(roots.DefaultProgramDirectory(), m_dir / "good/.config/calventa");
    EXPECT_TRUE(std::filesystem::is_directory(m_dir / "good/.config/calventa"));
}

// The textfile's folder may be another user's (the collector's); only the links on the way
// must be root's, in directories nobody else can change.
TEST_F(TrustedDirectoryTest, LinksOnlyTrustFollowsNoLinkAnotherUserCouldHaveSwapped)
{
    ASSERT_EQ(symlink((m_dir / "good").c_str(), (m_dir / "theirs/roots-link").c_str()), 0);
    const struct
    {
        const char* directory;
        const char* reached; // nullptr: refused
        const char* why;
    } cases[] = {
        {"theirs/inside", "theirs/inside", ""},
        {"world", "world", ""},
        {"sticky/roots-link", "good", ""},
        {"their-link", nullptr, "/their-link is a link owned by uid 65534"},
        {"theirs/roots-link", nullptr, "/theirs/roots-link is a link in "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.directory);
        UniqueFd opened;
        std::string reached;
        std::string why;
        const DirectoryOpening result =
            OpenTrustedDirectory(m_dir / c.directory, 0, DirectoryTrust::LinksOnly, opened, reached, why);
        if (c.reached != nullptr) {
            EXPECT_EQ(result, DirectoryOpening::Opened) << why;
            EXPECT_EQ(reached, m_dir / c.reached);
            EXPECT_TRUE(opened);
        } else {
            EXPECT_EQ(result, DirectoryOpening::Refused);
            EXPECT_NE(why.find(c.why), std::string::npos) << why;
            EXPECT_FALSE(opened);
        }
    }
}

// What a privileged process takes from the tests' steering variables.
TEST_F(TrustedDirectoryTest, SteeringPathsAreTakenOnlyFromWhereOnlyRootCanChangeThem)
{
    testing::WriteText(m_dir / "good/systemctl", "#!/bin/sh\n");
    chmod((m_dir / "good/systemctl").c_str(), 0755);
    testing::WriteText(m_dir / "good/open-systemctl", "#!/bin/sh\n");
    chmod((m_dir / "good/open-systemctl").c_str(), 0777);
    testing::WriteText(m_dir / "good/their-systemctl", "#!/bin/sh\n");
    chown((m_dir / "good/their-systemctl").c_str(), testing::kAttackerUid, testing::kAttackerUid);
    symlink((m_dir / "good/systemctl").c_str(), (m_dir / "good/link-systemctl").c_str());
    const struct
    {
        std::string path;
        SteeredPath kind;
        std::string why; // empty: taken
    } cases[] = {
        {m_dir / "good", SteeredPath::Directory, ""},
        {m_dir / "good/registry/sub", SteeredPath::Directory, ""}, // made below a trusted one
        {m_dir / "link-good/registry", SteeredPath::Directory, ""},
        {m_dir / "sticky/registry", SteeredPath::Directory, "/sticky is writable by group or others (mode 1777)"},
        {m_dir / "theirs/registry", SteeredPath::Directory, "/theirs belongs to uid 65534"},
        {m_dir / "their-link/registry", SteeredPath::Directory, "/their-link is a link owned by uid 65534"},
        {m_dir / "good/calventasvc.sock", SteeredPath::File, ""},
        {m_dir / "world/calventasvc.sock", SteeredPath::File, "/world is writable by group or others (mode 0777)"},
        {m_dir / "good/systemctl", SteeredPath::Program, ""},
        {"systemctl", SteeredPath::Program, "systemctl is not an absolute path"},
        {m_dir / "good/open-systemctl", SteeredPath::Program, "/open-systemctl is writable by group or others"},
        {m_dir / "good/their-systemctl", SteeredPath::Program, "/their-systemctl belongs to uid 65534"},
        {m_dir / "good/link-systemctl", SteeredPath::Program, "/link-systemctl is not a regular file"},
        {m_dir / "theirs/inside/systemctl", SteeredPath::Program, "/theirs belongs to uid 65534"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const std::string refusal = SteeringRefusal(c.path, c.kind);
        if (c.why.empty()) {
            EXPECT_EQ(refusal, "");
        } else {
            EXPECT_NE(refusal.find(c.why), std::string::npos) << refusal;
        }
    }
}

} // namespace
} // namespace calventa::platform::linux_backend
