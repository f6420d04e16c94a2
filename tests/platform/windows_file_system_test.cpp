#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/windows/windows_file_system.h"
#include "windows_test_support.h"

namespace calventa::platform::windows_backend {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

class WindowsFilesTest : public ::testing::Test
{
protected:
    WindowsFilesTest() : m_directory(fs::temp_directory_path() / testwin::Unique("calventa-files"))
    {
        fs::create_directories(m_directory);
    }
    ~WindowsFilesTest() override
    {
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(m_directory, ignored)) {
            fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ignored);
        }
        fs::remove_all(m_directory, ignored);
    }
    std::string Path(const std::string& name) const { return (m_directory / name).string(); }
    static std::string Text(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    size_t Temporaries() const
    {
        size_t count = 0;
        for (const auto& entry : fs::directory_iterator(m_directory)) {
            count += entry.path().extension() == ".tmp" ? 1 : 0;
        }
        return count;
    }
    static std::span<const uint8_t> BytesOf(const std::string& text)
    {
        return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
    }

    fs::path m_directory;
};

TEST_F(WindowsFilesTest, ReplaceWritesTheWholeFileAndLeavesNoTemporary)
{
    WindowsFileSystem files;
    const std::string path = Path("settings.dat");
    ASSERT_TRUE(files.ReplaceFile(path, BytesOf("old settings")));
    ASSERT_TRUE(files.ReplaceFile(path, BytesOf("new")));
    EXPECT_EQ(Text(path), "new");
    EXPECT_EQ(Temporaries(), 0u);
    EXPECT_EQ(files.ReadFile(path, 2), (Bytes{'n', 'e'}));
    EXPECT_EQ(files.ReadFile(path, 100), (Bytes{'n', 'e', 'w'}));
    EXPECT_FALSE(files.ReadFile(Path("missing"), 10).has_value());
    EXPECT_FALSE(files.ReadFile(m_directory.string(), 10).has_value());
}

TEST_F(WindowsFilesTest, ACrashBetweenWriteAndRenameKeepsTheOldFileAndTheNextSaveClearsUp)
{
    WindowsFileSystem files;
    const std::string path = Path("settings.dat");
    ASSERT_TRUE(files.ReplaceFile(path, BytesOf("old settings")));
    const std::string helper = testwin::Quoted(testwin::WindowsPath(CALVENTA_WINDOWS_TEST_HELPER));
    EXPECT_EQ(testwin::Run(helper + " crash-before-rename " + testwin::Quoted(path) + " half-saved"), 7);
    EXPECT_EQ(Text(path), "old settings");
    EXPECT_EQ(Temporaries(), 1u); // the dead save's, flushed and whole

    ASSERT_TRUE(files.ReplaceFile(path, BytesOf("next")));
    EXPECT_EQ(Text(path), "next");
    EXPECT_EQ(Temporaries(), 0u);
}

TEST_F(WindowsFilesTest, AReadOnlyFileIsLeftAlone)
{
    WindowsFileSystem files;
    const std::string path = Path("settings.dat");
    ASSERT_TRUE(files.ReplaceFile(path, BytesOf("kept")));
    EXPECT_FALSE(files.IsReadOnly(path));
    ASSERT_TRUE(SetFileAttributesW(WideFromUtf8(path).c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(files.IsReadOnly(path));
    EXPECT_FALSE(files.ReplaceFile(path, BytesOf("lost")));
    EXPECT_EQ(Text(path), "kept");
    SetFileAttributesW(WideFromUtf8(path).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(WindowsFilesTest, TextFilesAreCreatedAnewAndRemoved)
{
    WindowsFileSystem files;
    const std::string path = Path("debug.txt");
    {
        auto log = files.CreateTextFile(path);
        ASSERT_NE(log, nullptr);
        EXPECT_TRUE(log->Write("a long first start\r\n"));
    }
    {
        auto log = files.CreateTextFile(path);
        ASSERT_NE(log, nullptr);
        EXPECT_TRUE(log->Write("second\r\n"));
    }
    EXPECT_EQ(Text(path), "second\r\n");
    EXPECT_TRUE(files.FileExists(path));
    EXPECT_FALSE(files.FileExists(m_directory.string()));
    EXPECT_TRUE(files.RemoveFile(path));
    EXPECT_FALSE(files.FileExists(path));
    EXPECT_EQ(files.CreateTextFile(Path("no such folder\\debug.txt")), nullptr);
}

TEST_F(WindowsFilesTest, OnlyAnExistingDirectoryIsTakenAsTheProgramDirectory)
{
    WindowsFileSystem files;
    std::string why;
    const auto taken = files.OpenProgramDirectory(m_directory.string() + "\\", why);
    ASSERT_NE(taken, nullptr) << why;
    EXPECT_EQ(fs::path(taken->Path()), m_directory);
    EXPECT_NE(taken->Path().back(), '\\');
    // Its files are named inside it.
    ASSERT_TRUE(taken->ReplaceFile("settings.dat", BytesOf("abc")));
    EXPECT_TRUE(files.FileExists(Path("settings.dat")));
    EXPECT_TRUE(taken->RemoveFile("settings.dat"));

    EXPECT_EQ(files.OpenProgramDirectory(Path("gone"), why), nullptr);
    EXPECT_NE(why.find("does not exist"), std::string::npos) << why;
    ASSERT_TRUE(files.ReplaceFile(Path("a file"), BytesOf("x")));
    EXPECT_EQ(files.OpenProgramDirectory(Path("a file"), why), nullptr);
    EXPECT_NE(why.find("is not a directory"), std::string::npos) << why;
    EXPECT_EQ(files.OpenProgramDirectory("", why), nullptr);
}

TEST(TemporaryNames, OnlyASavesOwnTemporariesAreRecognised)
{
    EXPECT_EQ(TemporaryNameFor("C:\\x\\settings.dat", 412, 3), "C:\\x\\settings.dat.412.3.tmp");
    EXPECT_EQ(TemporaryOwner("settings.dat", "settings.dat.412.3.tmp"), 412u);
    EXPECT_FALSE(TemporaryOwner("settings.dat", "settings.dat.tmp").has_value());
    EXPECT_FALSE(TemporaryOwner("settings.dat", "settings.dat.412.tmp").has_value());
    EXPECT_FALSE(TemporaryOwner("settings.dat", "settings.dat.x12.3.tmp").has_value());
    EXPECT_FALSE(TemporaryOwner("settings.dat", "settings.dat.12.3x.tmp").has_value());
    EXPECT_FALSE(TemporaryOwner("settings.dat", "other.dat.412.3.tmp").has_value());
    EXPECT_FALSE(TemporaryOwner("settings.dat", "settings.dat.99999999999.3.tmp").has_value());
}

} // namespace
} // namespace calventa::platform::windows_backend
