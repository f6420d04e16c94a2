#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include "linux_test_support.h"
#include "platform/linux/linux_file_system.h"

namespace calventa::platform::linux_backend {
namespace {

using testing::BecomeUnprivileged;
using testing::Entries;
using testing::ModeOf;
using testing::ReadText;
using testing::TempDir;
using testing::WriteText;

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
