// What a board run keeps on the host where no real back end lends its own: the files through
// the C++ library, the program store in memory. Runs on Linux and, under Wine, on Windows.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "platform/sim/memory_program_store.h"
#include "platform/sim/std_file_system.h"

namespace calventa::sim {
namespace {

namespace fs = std::filesystem;
using platform::kKeyRead;
using platform::kKeyReadWrite;
using platform::kKeyWrite;
using platform::StoreKeyId;

class StdFileSystemTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
        m_dir = fs::temp_directory_path() / ("calventa-files-" + std::to_string(tick));
        fs::create_directories(m_dir);
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::permissions(m_dir / "locked.dat", fs::perms::owner_write, fs::perm_options::add, ignored);
        fs::remove_all(m_dir, ignored);
    }
    std::string PathOf(const std::string& name) const { return Utf8FromPath(m_dir) + "/" + name; }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_dir)) {
            names.push_back(Utf8FromPath(entry.path().filename()));
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path m_dir;
    StdFileSystem m_files;
};

TEST_F(StdFileSystemTest, ReplaceWritesTheWholeContentAndLeavesNoTemporary)
{
    const std::vector<uint8_t> first(640, 0xAB);
    const std::vector<uint8_t> second = {1, 0, 2, '\r', '\n', 3};
    ASSERT_TRUE(m_files.ReplaceFile(PathOf("settings.dat"), first));
    ASSERT_TRUE(m_files.ReplaceFile(PathOf("settings.dat"), second));

    EXPECT_EQ(m_files.ReadFile(PathOf("settings.dat"), 1000), second); // bytes as given: no line-end translation
    EXPECT_EQ(Names(), std::vector<std::string>{"settings.dat"});
}

TEST_F(StdFileSystemTest, ReadsAreBoundedAndMissingFilesOrDirectoriesReadAsNothing)
{
    ASSERT_TRUE(m_files.ReplaceFile(PathOf("big.bin"), std::vector<uint8_t>(5000, 7)));
    EXPECT_EQ(m_files.ReadFile(PathOf("big.bin"), 640)->size(), 640u);
    EXPECT_EQ(m_files.ReadFile(PathOf("missing.bin"), 640), std::nullopt);
    EXPECT_EQ(m_files.ReadFile(Utf8FromPath(m_dir), 640), std::nullopt);
    EXPECT_FALSE(m_files.FileExists(Utf8FromPath(m_dir)));
    EXPECT_TRUE(m_files.FileExists(PathOf("big.bin")));
    EXPECT_TRUE(m_files.RemoveFile(PathOf("big.bin")));
    EXPECT_FALSE(m_files.RemoveFile(PathOf("big.bin")));
}

TEST_F(StdFileSystemTest, AReadOnlyFileIsLeftAsItWas)
{
    ASSERT_TRUE(m_files.ReplaceFile(PathOf("locked.dat"), std::vector<uint8_t>{1, 2, 3}));
    fs::permissions(m_dir / "locked.dat", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);

    EXPECT_TRUE(m_files.IsReadOnly(PathOf("locked.dat")));
    EXPECT_FALSE(m_files.ReplaceFile(PathOf("locked.dat"), std::vector<uint8_t>{9}));
    EXPECT_EQ(m_files.ReadFile(PathOf("locked.dat"), 10), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_FALSE(m_files.IsReadOnly(PathOf("missing.dat")));
}

TEST_F(StdFileSystemTest, TextFilesStartEmptyAndKeepTheirBytes)
{
    ASSERT_TRUE(m_files.ReplaceFile(PathOf("debug.txt"), std::vector<uint8_t>(100, 'x')));
    {
        auto log = m_files.CreateTextFile(PathOf("debug.txt"));
        ASSERT_NE(log, nullptr);
        EXPECT_TRUE(log->Write("line\r\n"));
        EXPECT_TRUE(log->Write("25 \xC2\xB0"
                               "C\n"));
    }
    const std::string expected = "line\r\n25 \xC2\xB0"
                                 "C\n";
    EXPECT_EQ(m_files.ReadFile(PathOf("debug.txt"), 1000), std::vector<uint8_t>(expected.begin(), expected.end()));
    EXPECT_EQ(m_files.CreateTextFile(Utf8FromPath(m_dir)), nullptr);
}

// Windows keeps names in UTF-16: a UTF-8 name taken as the ANSI code page would come out
// as another name.
TEST_F(StdFileSystemTest, NonAsciiNamesAreTheNamesGiven)
{
    const std::string name = "Temperatur \xC2\xB0"
                             "C \xE2\x82\xAC.dat";
    ASSERT_TRUE(m_files.ReplaceFile(PathOf(name), std::vector<uint8_t>{42}));
    EXPECT_EQ(Names(), std::vector<std::string>{name});
    EXPECT_TRUE(m_files.FileExists(PathOf(name)));
}

TEST(MemoryProgramStore, TheProgramKeyExistsOnlyOnceCreated)
{
    MemoryProgramStore store;
    EXPECT_EQ(store.OpenKey(StoreKeyId::Program, kKeyRead, false), nullptr);
    ASSERT_NE(store.OpenKey(StoreKeyId::Program, kKeyReadWrite, true), nullptr);
    EXPECT_NE(store.OpenKey(StoreKeyId::Program, kKeyRead, false), nullptr);
    EXPECT_NE(store.OpenKey(StoreKeyId::Autorun, kKeyRead, false), nullptr);
}

TEST(MemoryProgramStore, KeysRefuseWhatTheirAccessDoesNotGrant)
{
    MemoryProgramStore store;
    auto writer = store.OpenKey(StoreKeyId::Program, kKeyWrite, true);
    ASSERT_NE(writer, nullptr);
    EXPECT_TRUE(writer->WriteString("PATH", "C:\\Calventa"));
    EXPECT_EQ(writer->ReadString("PATH"), std::nullopt);
    EXPECT_FALSE(writer->HasValue("PATH"));

    auto reader = store.OpenKey(StoreKeyId::Program, kKeyRead, false);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->ReadString("PATH"), "C:\\Calventa");
    EXPECT_FALSE(reader->WriteDword("Svc", 1));
    EXPECT_FALSE(reader->DeleteValue("PATH"));
    EXPECT_FALSE(reader->HasValue("Svc"));
}

TEST(MemoryProgramStore, ValuesKeepTheirTypeAndBinaryReadsAreBounded)
{
    MemoryProgramStore store;
    auto key = store.OpenKey(StoreKeyId::Program, kKeyReadWrite, true);
    ASSERT_NE(key, nullptr);
    EXPECT_TRUE(key->WriteDword("Svc", 1));
    EXPECT_TRUE(key->WriteBinary("sysdata", std::vector<uint8_t>(610, 5)));

    EXPECT_EQ(key->ReadString("Svc"), std::nullopt);
    EXPECT_EQ(key->ReadDword("Svc"), 1u);
    EXPECT_EQ(key->ReadBinary("sysdata", 601)->size(), 601u);
    EXPECT_EQ(key->ReadDword("sysdata"), std::nullopt);
    EXPECT_TRUE(key->DeleteValue("Svc"));
    EXPECT_FALSE(key->DeleteValue("Svc"));
}

} // namespace
} // namespace calventa::sim
