#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>

#include "linux_test_support.h"
#include "platform/linux/linux_mutex.h"

namespace calventa::platform::linux_backend {
namespace {

using namespace std::chrono_literals;
using testing::AsAttacker;
using testing::BecomeUnprivileged;
using testing::ExitWithin;
using testing::FactsOf;
using testing::ModeOf;
using testing::TempDir;

constexpr const char* kName = "Access_ISABUS.HTP.Method";

// Each mutex object is its own open of the file, as another process's would be.
TEST(LinuxMutex, ASecondHolderWaitsUntilTheFirstReleases)
{
    TempDir dir;
    LinuxMutexFactory factory(dir.Path());
    auto first = factory.CreateNamedMutex(kName);
    auto second = factory.CreateNamedMutex(kName);
    ASSERT_TRUE(first && second);

    ASSERT_TRUE(first->Wait(50));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(second->Wait(50));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));

    first->Release();
    EXPECT_TRUE(second->Wait(50));
    EXPECT_FALSE(first->Wait(0));
}

TEST(LinuxMutex, AHolderThatDiesFreesIt)
{
    TempDir dir;
    LinuxMutexFactory factory(dir.Path());
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto held = factory.CreateNamedMutex(kName);
        const char locked = held && held->Wait(0) ? 'L' : 'F';
        if (write(ready[1], &locked, 1) != 1) {
            _exit(1);
        }
        pause(); // holds the lock until killed
        _exit(0);
    }
    char state = 0;
    ASSERT_EQ(read(ready[0], &state, 1), 1);
    close(ready[0]);
    close(ready[1]);
    ASSERT_EQ(state, 'L');

    auto mine = factory.CreateNamedMutex(kName);
    ASSERT_TRUE(mine);
    EXPECT_FALSE(mine->Wait(20));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(mine->Wait(1000));
}

TEST(LinuxMutex, MissingLockFileIsCreatedReadableByAllWhateverTheUmask)
{
    TempDir dir;
    EXPECT_EXIT(
        {
            umask(077);
            LinuxMutexFactory factory(dir.Path());
            auto mutex = factory.CreateNamedMutex(kName);
            _exit(mutex && mutex->Wait(0) ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ModeOf(dir / kName), 0644u);
}

// As in /run/lock: a sticky, world-writable directory holding a lock file that another user
// created at boot. With fs.protected_regular an open with O_CREAT is refused there even
// though the file exists; a plain read-only open must work.
TEST(LinuxMutex, OpensAnotherUsersReadOnlyFileWithoutCreatingIt)
{
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to give the file to another user";
    }
    TempDir dir;
    const std::string lockDir = dir / "lock";
    ASSERT_EQ(mkdir(lockDir.c_str(), 0755), 0);
    ASSERT_EQ(chmod(lockDir.c_str(), 01777), 0);
    const std::string lockFile = lockDir + "/" + kName;
    testing::WriteText(lockFile, "");
    ASSERT_EQ(chmod(lockFile.c_str(), 0444), 0);
    ASSERT_EQ(chown(lockFile.c_str(), 4242, 4242), 0);

    EXPECT_EXIT(
        {
            BecomeUnprivileged();
            LinuxMutexFactory factory(lockDir);
            auto mutex = factory.CreateNamedMutex(kName);
            _exit(mutex && mutex->Wait(0) ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ModeOf(lockFile), 0444u);
}

// Planted before the first start in /run/lock (sticky, writable by all): a FIFO would block
// every start-up, root's included, for ever; the bus is then simply not used.
TEST(LinuxMutexAttack, AFifoAsTheLockFileIsRefusedAtOnce)
{
    TempDir dir;
    const std::string lockDir = dir / "lock";
    ASSERT_EQ(mkdir(lockDir.c_str(), 0755), 0);
    ASSERT_EQ(chmod(lockDir.c_str(), 01777), 0);
    ASSERT_TRUE(AsAttacker([&] { return mkfifo((lockDir + "/" + kName).c_str(), 0666) == 0; }));

    const auto opened = ExitWithin(2s, [&] { return LinuxMutexFactory(lockDir).CreateNamedMutex(kName) ? 1 : 0; });
    EXPECT_EQ(opened, 0) << "the start-up hangs on a FIFO";
    LinuxMutexFactory factory(lockDir);
    factory.CreateNamedMutex(kName);
    EXPECT_EQ(factory.CreationError(), lockDir + "/" + kName + " is not a regular file");
}

// A lock file that is a link is not followed: the attacker could make root hold a lock on
// any file (another program's, blocking it), or open a device.
TEST(LinuxMutexAttack, ALinkAsTheLockFileIsRefused)
{
    if (geteuid() != 0) {
        GTEST_SKIP() << "the victim is root";
    }
    TempDir dir;
    const std::string lockDir = testing::MakeAttackerDirectory(dir / "lock");
    ASSERT_FALSE(lockDir.empty());
    const std::string target = dir / "other-programs.lock";
    testing::WriteText(target, "");
    const auto before = FactsOf(target);
    ASSERT_TRUE(AsAttacker([&] { return symlink(target.c_str(), (lockDir + "/" + kName).c_str()) == 0; }));

    EXPECT_EQ(LinuxMutexFactory(lockDir).CreateNamedMutex(kName), nullptr);
    EXPECT_EQ(FactsOf(target), before);
}

TEST(LinuxMutexFactory, GivesNothingWhenTheFileCannotBeOpenedOrNamed)
{
    TempDir dir;
    LinuxMutexFactory missing(dir / "missing");
    EXPECT_EQ(missing.CreateNamedMutex(kName), nullptr);
    EXPECT_EQ(missing.CreationError(), "cannot open " + dir / "missing/" + kName + ": No such file or directory");
    LinuxMutexFactory factory(dir.Path());
    EXPECT_EQ(factory.CreateNamedMutex(""), nullptr);
    EXPECT_EQ(factory.CreateNamedMutex("../escape"), nullptr);
    EXPECT_EQ(factory.CreateNamedMutex(".."), nullptr);
    EXPECT_EQ(factory.CreationError(), "not a file name: ..");
    EXPECT_NE(factory.CreateNamedMutex(kName), nullptr);
    EXPECT_EQ(factory.CreationError(), "");
}

} // namespace
} // namespace calventa::platform::linux_backend
