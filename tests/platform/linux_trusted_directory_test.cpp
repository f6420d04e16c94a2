// Which program directories root may keep its files in.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "linux_test_support.h"
#include "platform/linux/file_io.h"
#include "platform/linux/linux_file_system.h"
#include "platform/linux/linux_system_facts.h"

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
    EXPECT_EQ(LinuxFileSystem().TrustedDirectory(m_dir / "world", why), std::nullopt);
    EXPECT_EQ(LinuxFileSystem().TrustedDirectory(m_dir / "good", why), m_dir / "good");
    // Another user can harm only themselves with a directory others may write.
    EXPECT_EXIT(
        {
            testing::BecomeUnprivileged();
            std::string reason;
            _exit(LinuxFileSystem().TrustedDirectory(m_dir / "world", reason) == m_dir / "world" ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
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

} // namespace
} // namespace calventa::platform::linux_backend
