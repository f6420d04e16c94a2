#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "linux_test_support.h"
#include "platform/linux/linux_file_system.h"

namespace calventa::platform::linux_backend {
namespace {

using namespace std::chrono_literals;
using testing::AsAttacker;
using testing::BecomeUnprivileged;
using testing::Entries;
using testing::ExitWithin;
using testing::FactsOf;
using testing::FileFacts;
using testing::MakeAttackerDirectory;
using testing::ModeOf;
using testing::ReadText;
using testing::TempDir;
using testing::WriteText;

mode_t UsualMode()
{
    const mode_t mask = umask(022);
    umask(mask);
    return 0644u & ~mask;
}

struct stat LinkStat(const std::string& path)
{
    struct stat st = {};
    lstat(path.c_str(), &st);
    return st;
}

// Sets a file's modification time back by the given number of seconds.
void Age(const std::string& path, time_t seconds)
{
    const timespec times[2] = {{time(nullptr) - seconds, 0}, {time(nullptr) - seconds, 0}};
    utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

// The pid of a process that has ended and been reaped.
pid_t DeadPid()
{
    const pid_t child = fork();
    if (child == 0) {
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return child;
}

std::vector<uint8_t> Bytes(const std::string& text)
{
    return {text.begin(), text.end()};
}

TEST(LinuxFileSystemRead, StopsAtMaxBytes)
{
    TempDir dir;
    std::string big(1024 * 1024, '\0');
    for (size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>(i * 7);
    }
    WriteText(dir / "settings.dat", big);
    LinuxFileSystem files;

    const auto head = files.ReadFile(dir / "settings.dat", 640);
    ASSERT_TRUE(head);
    EXPECT_EQ(*head, Bytes(big.substr(0, 640)));
    const auto whole = files.ReadFile(dir / "settings.dat", 4 * 1024 * 1024);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->size(), big.size());
    EXPECT_EQ(files.ReadFile(dir / "missing", 640), std::nullopt);
    EXPECT_EQ(files.ReadFile(dir.Path(), 640), std::nullopt);
}

TEST(LinuxFileSystemReplace, WritesANewFileWithTheUsualModeAndNoLeftovers)
{
    TempDir dir;
    LinuxFileSystem files;
    ASSERT_TRUE(files.ReplaceFile(dir / "settings.dat", Bytes("new")));
    EXPECT_EQ(ReadText(dir / "settings.dat"), "new");
    const mode_t mask = umask(022);
    umask(mask);
    EXPECT_EQ(ModeOf(dir / "settings.dat"), 0644u & ~mask);
    EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"settings.dat"});
}

TEST(LinuxFileSystemReplace, KeepsTheOldFilesPermissions)
{
    TempDir dir;
    WriteText(dir / "settings.dat", "old content, longer than the new");
    chmod((dir / "settings.dat").c_str(), 0600);
    LinuxFileSystem files;
    ASSERT_TRUE(files.ReplaceFile(dir / "settings.dat", Bytes("new")));
    EXPECT_EQ(ReadText(dir / "settings.dat"), "new");
    EXPECT_EQ(ModeOf(dir / "settings.dat"), 0600u);
}

TEST(LinuxFileSystemReplace, NeverKeepsSetIdBitsAndOnlyItsOwnUsersMode)
{
    TempDir dir;
    WriteText(dir / "settings.dat", "old");
    chmod((dir / "settings.dat").c_str(), 06750);
    LinuxFileSystem files;
    ASSERT_TRUE(files.ReplaceFile(dir / "settings.dat", Bytes("new")));
    EXPECT_EQ(ModeOf(dir / "settings.dat"), 0750u);

    if (geteuid() == 0) {
        // Another user's file: the new one is root's, with the usual mode, not theirs.
        ASSERT_EQ(chmod((dir / "settings.dat").c_str(), 0666), 0);
        ASSERT_EQ(chown((dir / "settings.dat").c_str(), testing::kAttackerUid, testing::kAttackerUid), 0);
        ASSERT_TRUE(files.ReplaceFile(dir / "settings.dat", Bytes("newer")));
        EXPECT_EQ(LinkStat(dir / "settings.dat").st_uid, 0u);
        EXPECT_EQ(ModeOf(dir / "settings.dat"), UsualMode());
    }
}

// The attacker owns the program directory (their own, handed to root with --dir or kept by
// sudo -E) and plants settings.dat as a link to a set-uid root program.
TEST(LinuxFileSystemAttack, ASaveReplacesAPlantedLinkAndTakesNothingFromItsTarget)
{
    if (geteuid() != 0) {
        GTEST_SKIP() << "the victim is root";
    }
    TempDir dir;
    const std::string program = dir / "passwd";
    WriteText(program, "\x7F"
                       "ELF set-uid program");
    ASSERT_EQ(chmod(program.c_str(), 04755), 0);
    const std::string home = MakeAttackerDirectory(dir / "home");
    const std::string attackersFile = home + "/mine";
    ASSERT_TRUE(AsAttacker([&] {
        WriteText(attackersFile, "");
        return chmod(attackersFile.c_str(), 0666) == 0 &&
               symlink(program.c_str(), (home + "/settings.dat").c_str()) == 0 &&
               symlink(attackersFile.c_str(), (home + "/other.dat").c_str()) == 0;
    }));
    const FileFacts programBefore = FactsOf(program);
    const FileFacts attackersBefore = FactsOf(attackersFile);

    LinuxFileSystem files;
    ASSERT_TRUE(files.ReplaceFile(home + "/settings.dat", std::vector<uint8_t>(640, 0x5A)));
    ASSERT_TRUE(files.ReplaceFile(home + "/other.dat", Bytes("new")));

    EXPECT_EQ(FactsOf(program), programBefore);
    EXPECT_EQ(FactsOf(attackersFile), attackersBefore);
    for (const char* name : {"/settings.dat", "/other.dat"}) {
        const struct stat st = LinkStat(home + name);
        EXPECT_TRUE(S_ISREG(st.st_mode)) << name;
        EXPECT_EQ(st.st_uid, 0u) << name; // not the owner of what the link named
        EXPECT_EQ(st.st_mode & 07777, UsualMode()) << name;
    }
    EXPECT_EQ(ReadText(home + "/settings.dat"), std::string(640, 'Z'));
}

TEST(LinuxFileSystemAttack, TheLogIsNeverOpenedThroughALinkAFifoOrASecondName)
{
    if (geteuid() != 0) {
        GTEST_SKIP() << "the victim is root";
    }
    TempDir dir;
    const std::string victim = dir / "shadow";
    WriteText(victim, "root:secret\n");
    ASSERT_EQ(chmod(victim.c_str(), 0640), 0);
    const FileFacts before = FactsOf(victim);
    const std::string home = MakeAttackerDirectory(dir / "home");
    ASSERT_TRUE(AsAttacker([&] {
        return symlink(victim.c_str(), (home + "/debug.txt").c_str()) == 0 &&
               mkfifo((home + "/fifo.txt").c_str(), 0666) == 0;
    }));
    // A hard link, as the attacker makes one where fs.protected_hardlinks is off.
    ASSERT_EQ(link(victim.c_str(), (home + "/hard.txt").c_str()), 0);

    EXPECT_EQ(LinuxFileSystem().CreateTextFile(home + "/debug.txt"), nullptr);
    EXPECT_EQ(LinuxFileSystem().CreateTextFile(home + "/hard.txt"), nullptr);
    const auto fifo = ExitWithin(2s, [&] { return LinuxFileSystem().CreateTextFile(home + "/fifo.txt") ? 1 : 0; });
    EXPECT_EQ(fifo, 0) << "a FIFO as the log blocks the start-up";
    EXPECT_EQ(FactsOf(victim), before);
}

TEST(LinuxFileSystemRead, AFifoIsNotWaitedOn)
{
    TempDir dir;
    ASSERT_EQ(mkfifo((dir / "settings.dat").c_str(), 0666), 0);
    const auto read = ExitWithin(2s, [&] { return LinuxFileSystem().ReadFile(dir / "settings.dat", 640) ? 1 : 0; });
    EXPECT_EQ(read, 0) << "loading settings from a FIFO blocks";
}

// Temporaries of other saves beside the file: only those whose save can no longer finish go.
TEST(LinuxFileSystemReplace, RemovesTheTemporariesThatDeadSavesLeft)
{
    TempDir dir;
    const std::string dead = std::to_string(DeadPid());
    const pid_t sleeper = fork();
    if (sleeper == 0) {
        pause();
        _exit(0);
    }
    const std::string live = std::to_string(sleeper);
    const std::vector<std::string> stale = {
        "settings.dat." + dead + ".AbC123", // its process is gone
        "settings.dat." + live + ".Old456", // an hour old: its pid was reused
        "settings.dat.Xy12Zz",              // an earlier version's, an hour old
    };
    const std::vector<std::string> kept = {
        "settings.dat." + live + ".New789",  // a save running now
        "settings.dat.Qw34Er",               // an earlier version's, just made
        "settings.dat.backup",               // the user's own, not a temporary's name
        "other.dat." + dead + ".AbC123",     // another file's
        "settings.dat." + dead + ".AbC123x", // not the pattern
    };
    for (const auto& name : stale) {
        WriteText(dir / name, "partial");
    }
    for (const auto& name : kept) {
        WriteText(dir / name, "keep");
    }
    Age(dir / stale[1], 3600);
    Age(dir / stale[2], 3600);
    Age(dir / kept[2], 3600);
    const std::string target = dir / "target";
    WriteText(target, "not a temporary");
    const std::string planted = "settings.dat." + dead + ".Lnk000";
    ASSERT_EQ(symlink(target.c_str(), (dir / planted).c_str()), 0);

    LinuxFileSystem files;
    ASSERT_TRUE(files.ReplaceFile(dir / "settings.dat", Bytes("new")));
    kill(sleeper, SIGKILL);
    waitpid(sleeper, nullptr, 0);

    std::vector<std::string> expected = kept;
    expected.insert(expected.end(), {"settings.dat", planted, "target"});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Entries(dir.Path()), expected);
    EXPECT_EQ(ReadText(target), "not a temporary");
}

// Saves killed at any moment: the file is always one whole image, and the next save leaves
// no temporary behind.
TEST(LinuxFileSystemReplace, SavesKilledMidwayLeaveNothingAfterTheNextSave)
{
    TempDir dir;
    const std::string path = dir / "settings.dat";
    for (int round = 0; round < 40; ++round) {
        const pid_t saver = fork();
        if (saver == 0) {
            LinuxFileSystem files;
            for (uint8_t fill = 0;; ++fill) {
                files.ReplaceFile(path, std::vector<uint8_t>(640, fill));
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500 + 100 * round));
        kill(saver, SIGKILL);
        waitpid(saver, nullptr, 0);
    }
    const auto image = LinuxFileSystem().ReadFile(path, 1000);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->size(), 640u);
    EXPECT_EQ(std::count(image->begin(), image->end(), (*image)[0]), 640);

    ASSERT_TRUE(LinuxFileSystem().ReplaceFile(path, Bytes("last")));
    EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"settings.dat"});
}

// A disk that fills up in the middle of the write: the old file stays whole.
TEST(LinuxFileSystemReplace, AFailedWriteLeavesTheOldFileAndNoTemporary)
{
    TempDir dir;
    WriteText(dir / "settings.dat", "old");
    EXPECT_EXIT(
        {
            signal(SIGXFSZ, SIG_IGN);
            rlimit limit = {};
            limit.rlim_cur = limit.rlim_max = 100;
            setrlimit(RLIMIT_FSIZE, &limit);
            LinuxFileSystem files;
            _exit(files.ReplaceFile(dir / "settings.dat", std::vector<uint8_t>(640, 0xAB)) ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadText(dir / "settings.dat"), "old");
    EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"settings.dat"});
}

TEST(LinuxFileSystemReplace, AnUnwritableDirectoryLeavesTheOldFile)
{
    TempDir dir;
    const std::string target = dir / "settings.dat";
    WriteText(target, "old");
    chmod(target.c_str(), 0666); // the file itself is writable; the directory is not
    chmod(dir.Path().c_str(), 0555);
    EXPECT_EXIT(
        {
            BecomeUnprivileged();
            LinuxFileSystem files;
            _exit(files.ReplaceFile(target, Bytes("new")) ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
    chmod(dir.Path().c_str(), 0755);
    EXPECT_EQ(ReadText(target), "old");
    EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"settings.dat"});
}

// A user freezes the settings with chmod a-w; the rename would replace the file anyway.
TEST(LinuxFileSystemReplace, AFileTheUserMadeReadOnlyIsLeftAloneAndReportedReadOnly)
{
    TempDir dir;
    const std::string home = MakeAttackerDirectory(dir / "home"); // the user's own directory
    ASSERT_FALSE(home.empty());
    const std::string frozen = home + "/settings.dat";
    const std::string open = home + "/other.dat";
    WriteText(frozen, "frozen");
    WriteText(open, "old");
    ASSERT_EQ(chown(frozen.c_str(), testing::kAttackerUid, testing::kAttackerUid), 0);
    ASSERT_EQ(chown(open.c_str(), testing::kAttackerUid, testing::kAttackerUid), 0);
    ASSERT_EQ(chmod(frozen.c_str(), 0444), 0);
    ASSERT_EQ(chmod(open.c_str(), 0644), 0);

    EXPECT_TRUE(AsAttacker([&] {
        LinuxFileSystem files;
        const bool frozenRefused = !files.ReplaceFile(frozen, Bytes("new")) && errno == EACCES;
        return frozenRefused && files.IsReadOnly(frozen) && !files.IsReadOnly(open) &&
               !files.IsReadOnly(home + "/missing") && files.ReplaceFile(open, Bytes("new"));
    }));
    EXPECT_EQ(FactsOf(frozen), (FileFacts{testing::kAttackerUid, 0444, "frozen"}));
    EXPECT_EQ(ReadText(open), "new");
    EXPECT_EQ(Entries(home), (std::vector<std::string>{"other.dat", "settings.dat"}));
}

TEST(LinuxFileSystemReplace, RefusesToReplaceADirectoryOrAMissingDirectorysFile)
{
    TempDir dir;
    mkdir((dir / "sub").c_str(), 0755);
    LinuxFileSystem files;
    EXPECT_FALSE(files.ReplaceFile(dir / "sub", Bytes("x")));
    EXPECT_FALSE(files.ReplaceFile(dir / "missing/settings.dat", Bytes("x")));
    EXPECT_FALSE(files.ReplaceFile(dir / "sub/", Bytes("x")));
    EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"sub"});
    EXPECT_TRUE(Entries(dir / "sub").empty());
}

TEST(LinuxFileSystem, TextFilesAreCreatedAnewAndRemoved)
{
    TempDir dir;
    const std::string path = dir / "debug.txt";
    WriteText(path, "a much longer older log\r\n");
    LinuxFileSystem files;
    {
        auto file = files.CreateTextFile(path);
        ASSERT_TRUE(file);
        EXPECT_TRUE(file->Write("Log opened\r\n"));
        EXPECT_TRUE(file->Write(""));
    }
    EXPECT_EQ(ReadText(path), "Log opened\r\n");
    EXPECT_TRUE(files.FileExists(path));
    EXPECT_FALSE(files.FileExists(dir.Path()));
    EXPECT_TRUE(files.RemoveFile(path));
    EXPECT_FALSE(files.FileExists(path));
    EXPECT_FALSE(files.RemoveFile(path));
    EXPECT_EQ(files.CreateTextFile(dir / "missing/debug.txt"), nullptr);
}

} // namespace
} // namespace calventa::platform::linux_backend
