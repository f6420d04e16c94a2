#include <gtest/gtest.h>

#include "linux_test_support.h"
#include "platform/linux/file_program_store.h"

namespace calventa::platform::linux_backend {
namespace {

using testing::BecomeUnprivileged;
using testing::Entries;
using testing::ModeOf;
using testing::ReadText;
using testing::TempDir;

class FileProgramStoreTest : public ::testing::Test
{
protected:
    std::unique_ptr<StoreKey> Open(uint32_t access, bool create = true)
    {
        return m_store.OpenKey(StoreKeyId::Program, access, create);
    }

    TempDir m_dir;
    std::string m_root = m_dir / "registry";
    FileProgramStore m_store{m_root, m_dir / "autostart"};
};

TEST_F(FileProgramStoreTest, ValuesKeepTheirTypes)
{
    auto key = Open(kKeyReadWrite);
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->WriteString("PATH", "/opt/calventa"));
    ASSERT_TRUE(key->WriteDword("Svc", 0x12345678));
    ASSERT_TRUE(key->WriteBinary("sysdata", {0x00, 0xFF, 0x10}));

    EXPECT_EQ(key->ReadString("PATH"), "/opt/calventa");
    EXPECT_EQ(key->ReadDword("Svc"), 0x12345678u);
    EXPECT_EQ(key->ReadBinary("sysdata", 610), (std::vector<uint8_t>{0x00, 0xFF, 0x10}));
    // The layout is what the disk service and the administrator's tools write.
    EXPECT_EQ(Entries(m_root), (std::vector<std::string>{"PATH.sz", "Svc.dword", "sysdata.bin"}));
    EXPECT_EQ(ReadText(m_root + "/PATH.sz"), "/opt/calventa");
    EXPECT_EQ(ReadText(m_root + "/Svc.dword"), std::string("\x78\x56\x34\x12", 4));
    EXPECT_EQ(ModeOf(m_root), 0755u);
    EXPECT_EQ(ModeOf(m_root + "/PATH.sz"), 0644u);
}

TEST_F(FileProgramStoreTest, AValueOfAnotherTypeIsMissing)
{
    auto key = Open(kKeyReadWrite);
    ASSERT_TRUE(key && key->WriteDword("PATH", 1) && key->WriteString("Svc", "1"));
    EXPECT_EQ(key->ReadString("PATH"), std::nullopt);
    EXPECT_EQ(key->ReadBinary("PATH", 16), std::nullopt);
    EXPECT_EQ(key->ReadDword("Svc"), std::nullopt);
    EXPECT_TRUE(key->HasValue("PATH"));
}

TEST_F(FileProgramStoreTest, WritingAnotherTypeReplacesTheValue)
{
    auto key = Open(kKeyReadWrite);
    ASSERT_TRUE(key && key->WriteDword("PATH", 7) && key->WriteBinary("PATH", {1}) && key->WriteString("PATH", "/x"));
    EXPECT_EQ(key->ReadDword("PATH"), std::nullopt);
    EXPECT_EQ(key->ReadString("PATH"), "/x");
    EXPECT_EQ(Entries(m_root), std::vector<std::string>{"PATH.sz"});
    EXPECT_TRUE(key->DeleteValue("PATH"));
    EXPECT_FALSE(key->HasValue("PATH"));
    EXPECT_FALSE(key->DeleteValue("PATH")); // as deleting a missing registry value does
}

TEST_F(FileProgramStoreTest, ReadsAreBoundedAndMalformedValuesMissing)
{
    auto key = Open(kKeyReadWrite);
    ASSERT_TRUE(key && key->WriteBinary("sysdata", std::vector<uint8_t>(700, 0x5A)));
    EXPECT_EQ(key->ReadBinary("sysdata", 601)->size(), 601u);
    EXPECT_EQ(key->ReadBinary("sysdata", 0)->size(), 0u);
    EXPECT_EQ(key->ReadBinary("missing", 601), std::nullopt);

    testing::WriteText(m_root + "/Short.dword", std::string("\x01\x02\x03", 3));
    testing::WriteText(m_root + "/Long.dword", std::string("\x01\x02\x03\x04\x05", 5));
    EXPECT_EQ(key->ReadDword("Short"), std::nullopt);
    EXPECT_EQ(key->ReadDword("Long"), std::nullopt);
    testing::WriteText(m_root + "/PATH.sz", std::string("/opt\0junk", 9));
    EXPECT_EQ(key->ReadString("PATH"), "/opt");
    testing::WriteText(m_root + "/Huge.sz", std::string(100 * 1024, 'a'));
    EXPECT_EQ(key->ReadString("Huge"), std::nullopt);
}

TEST_F(FileProgramStoreTest, NamesThatAreNoFileNameAreRefused)
{
    auto key = Open(kKeyReadWrite);
    ASSERT_TRUE(key);
    for (const char* name : {"", "..", "../escape", "a/b"}) {
        EXPECT_FALSE(key->WriteString(name, "x")) << name;
        EXPECT_EQ(key->ReadString(name), std::nullopt) << name;
        EXPECT_FALSE(key->HasValue(name)) << name;
        EXPECT_FALSE(key->DeleteValue(name)) << name;
    }
    EXPECT_TRUE(Entries(m_root).empty());
    EXPECT_EQ(Entries(m_dir.Path()), std::vector<std::string>{"registry"});
}

TEST_F(FileProgramStoreTest, AMissingKeyIsCreatedOnlyWhenAsked)
{
    EXPECT_EQ(Open(kKeyRead, false), nullptr);
    EXPECT_EQ(Open(kKeyReadWrite, false), nullptr);
    EXPECT_TRUE(Entries(m_dir.Path()).empty());

    FileProgramStore nested(m_dir / "var/lib/calventa/registry", m_dir / "autostart");
    EXPECT_TRUE(nested.OpenKey(StoreKeyId::Program, kKeyRead, true));
    EXPECT_EQ(ModeOf(m_dir / "var/lib/calventa/registry"), 0755u);

    testing::WriteText(m_dir / "file", "");
    FileProgramStore onAFile(m_dir / "file", m_dir / "autostart");
    EXPECT_EQ(onAFile.OpenKey(StoreKeyId::Program, kKeyReadWrite, true), nullptr);
}

TEST_F(FileProgramStoreTest, AKeyRefusesWhatItsAccessDoesNotGrant)
{
    ASSERT_TRUE(Open(kKeyReadWrite)->WriteString("PATH", "/opt"));

    auto writeOnly = Open(kKeyWrite, false);
    ASSERT_TRUE(writeOnly);
    EXPECT_EQ(writeOnly->ReadString("PATH"), std::nullopt);
    EXPECT_EQ(writeOnly->ReadDword("PATH"), std::nullopt);
    EXPECT_EQ(writeOnly->ReadBinary("PATH", 10), std::nullopt);
    EXPECT_FALSE(writeOnly->HasValue("PATH"));
    EXPECT_TRUE(writeOnly->WriteString("PATH", "/usr"));

    auto readOnly = Open(kKeyRead, false);
    ASSERT_TRUE(readOnly);
    EXPECT_FALSE(readOnly->WriteString("PATH", "/tmp"));
    EXPECT_FALSE(readOnly->WriteDword("Svc", 1));
    EXPECT_FALSE(readOnly->WriteBinary("sysdata", {1}));
    EXPECT_FALSE(readOnly->DeleteValue("PATH"));
    EXPECT_EQ(readOnly->ReadString("PATH"), "/usr");
}

// Root passes every permission check, so the child becomes nobody.
TEST_F(FileProgramStoreTest, WriteAccessFollowsTheDirectorysPermissions)
{
    ASSERT_TRUE(Open(kKeyReadWrite));
    chmod(m_root.c_str(), 0555);
    EXPECT_EXIT(
        {
            BecomeUnprivileged();
            const bool writeRefused = Open(kKeyWrite, false) == nullptr && Open(kKeyReadWrite, false) == nullptr;
            _exit(writeRefused && Open(kKeyRead, false) != nullptr ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    chmod(m_root.c_str(), 0777);
    EXPECT_EXIT(
        {
            BecomeUnprivileged();
            auto key = Open(kKeyWrite, false);
            _exit(key && key->WriteDword("Svc", 1) ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(FileProgramStoreTest, ReadAccessNeedsAReadableDirectory)
{
    ASSERT_TRUE(Open(kKeyReadWrite));
    chmod(m_root.c_str(), 0333);
    EXPECT_EXIT(
        {
            BecomeUnprivileged();
            _exit(Open(kKeyRead, false) == nullptr && Open(kKeyWrite, false) != nullptr ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    chmod(m_root.c_str(), 0755);
}

// Every user's monitor reads the store: whatever was at a value's place, the value written
// is a regular file of the writer with mode 0644.
TEST_F(FileProgramStoreTest, ValuesAlwaysGetTheirFixedModeWhateverWasThere)
{
    auto key = Open(kKeyReadWrite);
    ASSERT_TRUE(key && key->WriteString("PATH", "/opt"));
    chmod((m_root + "/PATH.sz").c_str(), 04600);
    ASSERT_TRUE(key->WriteString("PATH", "/usr"));
    EXPECT_EQ(ModeOf(m_root + "/PATH.sz"), 0644u);
    EXPECT_EQ(ReadText(m_root + "/PATH.sz"), "/usr");
}

TEST_F(FileProgramStoreTest, AValueWrittenThroughAPlantedLinkReplacesTheLink)
{
    if (geteuid() != 0) {
        GTEST_SKIP() << "the victim is root";
    }
    ASSERT_TRUE(Open(kKeyReadWrite));
    ASSERT_EQ(chmod(m_root.c_str(), 0777), 0); // a store the attacker can write into
    const std::string attackersFile = testing::MakeAttackerDirectory(m_dir / "theirs") + "/private";
    ASSERT_TRUE(testing::AsAttacker([&] {
        testing::WriteText(attackersFile, "theirs");
        return chmod(attackersFile.c_str(), 0600) == 0 &&
               symlink(attackersFile.c_str(), (m_root + "/sysdata.bin").c_str()) == 0;
    }));
    const auto before = testing::FactsOf(attackersFile);

    ASSERT_TRUE(Open(kKeyWrite, false)->WriteBinary("sysdata", {1, 2, 3}));
    struct stat st = {};
    ASSERT_EQ(lstat((m_root + "/sysdata.bin").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(st.st_mode & 07777, 0644u); // readable by every user's monitor
    EXPECT_EQ(testing::FactsOf(attackersFile), before);
}

} // namespace
} // namespace calventa::platform::linux_backend
