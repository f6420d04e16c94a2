#include <gtest/gtest.h>

#include "core/program_store_access.h"
#include "platform/windows/windows_platform.h"
#include "windows_test_support.h"

namespace calventa::platform::windows_backend {
namespace {

using testwin::Unique;

// Keys of this test alone under HKEY_CURRENT_USER, removed afterwards.
class RegistryTest : public ::testing::Test
{
protected:
    RegistryTest()
    {
        m_keys.root = RegistryRoot::CurrentUser;
        m_base = "Software\\CalventaTest\\" + Unique("Registry");
        m_keys.programKey = m_base + "\\Program";
        m_keys.autorunKey = m_base + "\\Run\\";
    }
    ~RegistryTest() override { WindowsProgramStore::DeleteTree(RegistryRoot::CurrentUser, m_base); }

    // A value written behind the store's back, of any type and size.
    void SetRaw(const std::string& name, DWORD type, const void* data, DWORD size)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, WideFromUtf8(m_keys.programKey).c_str(), 0, nullptr, 0, KEY_WRITE,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(key, WideFromUtf8(name).c_str(), 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    DWORD TypeOf(const std::string& name)
    {
        DWORD type = 0;
        RegGetValueW(HKEY_CURRENT_USER, WideFromUtf8(m_keys.programKey).c_str(), WideFromUtf8(name).c_str(), RRF_RT_ANY,
                     &type, nullptr, nullptr);
        return type;
    }

    RegistryKeys m_keys;
    std::string m_base;
};

TEST_F(RegistryTest, KeepsEachValueWithItsRegistryType)
{
    WindowsProgramStore store(m_keys);
    EXPECT_EQ(store.OpenKey(StoreKeyId::Program, kKeyRead, false), nullptr); // not created by a read
    auto key = store.OpenKey(StoreKeyId::Program, kKeyReadWrite, true);
    ASSERT_NE(key, nullptr);
    EXPECT_TRUE(key->WriteString(core::kPathValue, "C:\\Program Files\\Calventa \xC3\xBC"));
    EXPECT_TRUE(key->WriteDword(core::kSvcValue, 1));
    const std::vector<uint8_t> image(610, 0x5A);
    EXPECT_TRUE(key->WriteBinary(core::kSysdataValue, image));

    EXPECT_EQ(TypeOf(core::kPathValue), static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(TypeOf(core::kSvcValue), static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(TypeOf(core::kSysdataValue), static_cast<DWORD>(REG_BINARY));

    auto reader = store.OpenKey(StoreKeyId::Program, kKeyRead, false);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->ReadString(core::kPathValue), "C:\\Program Files\\Calventa \xC3\xBC");
    EXPECT_EQ(reader->ReadDword(core::kSvcValue), 1u);
    EXPECT_EQ(reader->ReadBinary(core::kSysdataValue, 611), image);
    EXPECT_EQ(reader->ReadBinary(core::kSysdataValue, 601)->size(), 601u);
    EXPECT_TRUE(store.TakeNotes().empty());
}

TEST_F(RegistryTest, AKeyRefusesWhatItsAccessMaskDoesNotGrant)
{
    WindowsProgramStore store(m_keys);
    ASSERT_NE(store.OpenKey(StoreKeyId::Program, kKeyWrite, true), nullptr);
    auto writeOnly = store.OpenKey(StoreKeyId::Program, kKeyWrite, false);
    ASSERT_NE(writeOnly, nullptr);
    EXPECT_TRUE(writeOnly->WriteDword(core::kSvcValue, 1));
    EXPECT_FALSE(writeOnly->ReadDword(core::kSvcValue).has_value());
    EXPECT_FALSE(writeOnly->HasValue(core::kSvcValue));

    auto readOnly = store.OpenKey(StoreKeyId::Program, kKeyRead, false);
    ASSERT_NE(readOnly, nullptr);
    EXPECT_FALSE(readOnly->WriteDword(core::kSvcValue, 0));
    EXPECT_FALSE(readOnly->DeleteValue(core::kSvcValue));
    EXPECT_EQ(readOnly->ReadDword(core::kSvcValue), 1u);

    // The autorun key is never created: a missing one gives nothing to write to.
    EXPECT_EQ(store.OpenKey(StoreKeyId::Autorun, kKeyWrite, false), nullptr);
    EXPECT_FALSE(core::AutorunWritable(store));
}

TEST_F(RegistryTest, AValueOfTheWrongTypeOrSizeIsMissingAndNoted)
{
    const DWORD number = 7;
    SetRaw(core::kPathValue, REG_DWORD, &number, sizeof number);
    const wchar_t text[] = L"1";
    SetRaw(core::kSvcValue, REG_SZ, text, sizeof text);
    const uint8_t two[2] = {1, 0};
    SetRaw(core::kWakeDisksValue, REG_DWORD, two, sizeof two);
    SetRaw(core::kSysdataValue, REG_SZ, text, sizeof text);

    WindowsProgramStore store(m_keys);
    auto key = store.OpenKey(StoreKeyId::Program, kKeyRead, false);
    ASSERT_NE(key, nullptr);
    EXPECT_FALSE(key->ReadString(core::kPathValue).has_value());
    EXPECT_FALSE(key->ReadDword(core::kSvcValue).has_value());
    EXPECT_FALSE(key->ReadDword(core::kWakeDisksValue).has_value());
    EXPECT_FALSE(key->ReadBinary(core::kSysdataValue, 611).has_value());
    const std::vector<std::string> notes = store.TakeNotes();
    ASSERT_EQ(notes.size(), 4u);
    EXPECT_NE(notes[0].find("PATH is REG_DWORD instead of REG_SZ"), std::string::npos) << notes[0];
    EXPECT_NE(notes[2].find("WakeDisks is REG_DWORD of 2 bytes"), std::string::npos) << notes[2];

    // A "PATH" that is no string leaves the program in its own folder.
    WindowsSystemFacts facts;
    EXPECT_EQ(core::ReadProgramPath(store, facts), facts.DefaultProgramDirectory());
}

TEST_F(RegistryTest, AStringEndsAtItsFirstTerminatorAndAnOddSizeIsRefused)
{
    const wchar_t unterminated[] = {L'C', L':', L'\\', L'x'};
    SetRaw(core::kPathValue, REG_SZ, unterminated, sizeof unterminated);
    WindowsProgramStore store(m_keys);
    EXPECT_EQ(store.OpenKey(StoreKeyId::Program, kKeyRead, false)->ReadString(core::kPathValue), "C:\\x");

    const wchar_t embedded[] = L"C:\\a\0C:\\b";
    SetRaw(core::kPathValue, REG_SZ, embedded, sizeof embedded);
    EXPECT_EQ(store.OpenKey(StoreKeyId::Program, kKeyRead, false)->ReadString(core::kPathValue), "C:\\a");

    SetRaw(core::kPathValue, REG_SZ, "abc", 3);
    EXPECT_FALSE(store.OpenKey(StoreKeyId::Program, kKeyRead, false)->ReadString(core::kPathValue).has_value());
    EXPECT_EQ(store.TakeNotes().size(), 1u);
}

TEST_F(RegistryTest, SysdataOfAnyLengthIsReadWithinTheAskedBound)
{
    WindowsProgramStore store(m_keys);
    for (const size_t length : {0u, 1u, 600u, 601u, 602u, 610u, 611u, 5000u, 300000u}) {
        std::vector<uint8_t> value(length);
        for (size_t i = 0; i < length; ++i) {
            value[i] = static_cast<uint8_t>(i * 13);
        }
        ASSERT_TRUE(store.OpenKey(StoreKeyId::Program, kKeyWrite, true)->WriteBinary(core::kSysdataValue, value));
        const auto read = store.OpenKey(StoreKeyId::Program, kKeyRead, true)->ReadBinary(core::kSysdataValue, 611);
        ASSERT_TRUE(read.has_value()) << length;
        EXPECT_EQ(read->size(), std::min<size_t>(length, 611)) << length;
        EXPECT_TRUE(std::equal(read->begin(), read->end(), value.begin())) << length;
    }
}

TEST_F(RegistryTest, AutorunEntryIsWrittenAndRemovedAndTheProbeLeavesNothing)
{
    HKEY run = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, WideFromUtf8(m_keys.autorunKey).c_str(), 0, nullptr, 0, KEY_WRITE,
                              nullptr, &run, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(run);
    WindowsProgramStore store(m_keys);
    WindowsSystemFacts facts;
    EXPECT_TRUE(core::AutorunWritable(store));
    EXPECT_FALSE(store.OpenKey(StoreKeyId::Autorun, kKeyRead, false)->HasValue(core::kAutorunProbeValue));
    EXPECT_FALSE(core::AutorunEnabled(store));
    EXPECT_TRUE(core::SetAutorun(store, facts, true));
    EXPECT_TRUE(core::AutorunEnabled(store));
    const auto entry = store.OpenKey(StoreKeyId::Autorun, kKeyRead, false)->ReadString(core::kAutorunValue);
    ASSERT_TRUE(entry.has_value());
    EXPECT_NE(entry->find(".exe"), std::string::npos) << *entry;
    EXPECT_TRUE(core::SetAutorun(store, facts, false));
    EXPECT_FALSE(core::AutorunEnabled(store));
}

} // namespace
} // namespace calventa::platform::windows_backend
