#include "core/program_store_access.h"

#include <gtest/gtest.h>

#include "case_name.h"

#include "core/fakes.h"

namespace calventa::core {
namespace {

using platform::StoreKeyId;
using Store = fake::FakeProgramStore;

constexpr const char* kDefaultDir = "/home/user/.config/calventa";

// ---- ReadProgramPath ---------------------------------------------------------------------

struct PathCase
{
    const char* What;
    std::optional<Store::Value> Path; // nullopt: no "PATH" value
    bool KeyExists;
    bool KeyReadable;
    const char* Expected;
};

class ReadProgramPathTest : public ::testing::TestWithParam<PathCase>
{
};

TEST_P(ReadProgramPathTest, FallsBackToTheDefaultDirectory)
{
    Store store;
    fake::FakeSystemFacts facts;
    facts.DefaultDirectory = kDefaultDir;
    Store::Key& key = store.Keys[StoreKeyId::Program];
    key.Exists = GetParam().KeyExists;
    key.ReadAllowed = GetParam().KeyReadable;
    if (GetParam().Path) {
        key.Values[kPathValue] = *GetParam().Path;
    }

    EXPECT_EQ(ReadProgramPath(store, facts), GetParam().Expected) << GetParam().What;

    ASSERT_EQ(store.Opens.size(), 1u);
    EXPECT_EQ(store.Opens[0].Id, StoreKeyId::Program);
    EXPECT_EQ(store.Opens[0].Access, platform::kKeyRead);
    EXPECT_FALSE(store.Opens[0].Create);
    EXPECT_EQ(store.Keys[StoreKeyId::Program].Exists, GetParam().KeyExists);
    EXPECT_EQ(store.LiveKeys, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Store, ReadProgramPathTest,
    ::testing::Values(PathCase{"set", std::string("/opt/calventa"), true, true, "/opt/calventa"},
                      PathCase{"trailing slash", std::string("/opt/calventa/"), true, true, "/opt/calventa"},
                      PathCase{"trailing backslash", std::string("C:\\Calventa\\"), true, true, "C:\\Calventa"},
                      PathCase{"only one separator goes", std::string("/opt//"), true, true, "/opt/"},
                      PathCase{"root", std::string("/"), true, true, "/"},
                      PathCase{"drive root", std::string("C:\\"), true, true, "C:\\"},
                      PathCase{"empty", std::string(""), true, true, kDefaultDir},
                      PathCase{"written with echo", std::string("/opt/calventa\n"), true, true, "/opt/calventa"},
                      PathCase{"CR LF", std::string("/opt/calventa\r\n"), true, true, "/opt/calventa"},
                      PathCase{"separator and newline", std::string("/opt/calventa/\n"), true, true, "/opt/calventa"},
                      PathCase{"only a newline", std::string("\n"), true, true, kDefaultDir},
                      PathCase{"missing value", std::nullopt, true, true, kDefaultDir},
                      PathCase{"not a string", Store::Value(uint32_t{1}), true, true, kDefaultDir},
                      PathCase{"binary", Store::Value(std::vector<uint8_t>{'/', 'x'}), true, true, kDefaultDir},
                      PathCase{"missing key", std::nullopt, false, true, kDefaultDir},
                      PathCase{"unreadable key", std::string("/opt/calventa"), true, false, kDefaultDir}),
    [](const ::testing::TestParamInfo<PathCase>& info) {
        const auto& c = info.param;
        (void)c;
        return calventa::testnames::CaseName(c.What);
    });

TEST(ReadProgramPath, DefaultDirectoryLosesItsTrailingSeparatorToo)
{
    Store store;
    fake::FakeSystemFacts facts;
    facts.DefaultDirectory = "/root/.config/calventa/";
    EXPECT_EQ(ReadProgramPath(store, facts), "/root/.config/calventa");
}

// ---- Autorun -----------------------------------------------------------------------------

class AutorunTest : public ::testing::Test
{
protected:
    Store::Key& Autorun() { return m_store.Keys[StoreKeyId::Autorun]; }

    Store m_store;
    fake::FakeSystemFacts m_facts;
};

TEST_F(AutorunTest, EnabledWhenTheEntryExists)
{
    EXPECT_FALSE(AutorunEnabled(m_store));
    Autorun().Values[kAutorunValue] = std::string("/usr/bin/calventa");
    EXPECT_TRUE(AutorunEnabled(m_store));
    Autorun().Exists = false;
    EXPECT_FALSE(AutorunEnabled(m_store));
    for (const auto& open : m_store.Opens) {
        EXPECT_EQ(open.Access, platform::kKeyRead);
        EXPECT_FALSE(open.Create);
    }
}

TEST_F(AutorunTest, ProbeOfAWritableKeyLeavesNoTemp)
{
    Autorun().Values[kAutorunValue] = std::string("/usr/bin/calventa");
    EXPECT_TRUE(AutorunWritable(m_store));
    EXPECT_FALSE(Autorun().Values.contains(kAutorunProbeValue));
    EXPECT_TRUE(Autorun().Values.contains(kAutorunValue));

    ASSERT_EQ(m_store.Opens.size(), 2u);
    EXPECT_EQ(m_store.Opens[0].Access, platform::kKeyWrite);
    EXPECT_EQ(m_store.Opens[1].Access, platform::kKeyReadWrite);
    for (const auto& open : m_store.Opens) {
        EXPECT_EQ(open.Id, StoreKeyId::Autorun);
        EXPECT_FALSE(open.Create);
    }
    EXPECT_EQ(m_store.LiveKeys, 0);
}

TEST_F(AutorunTest, ProbeFailsWithoutWriteRight)
{
    Autorun().WriteAllowed = false;
    EXPECT_FALSE(AutorunWritable(m_store));
    EXPECT_FALSE(Autorun().Values.contains(kAutorunProbeValue));
}

TEST_F(AutorunTest, ProbeFailsWhenWritesFail)
{
    Autorun().FailWrites = true;
    EXPECT_FALSE(AutorunWritable(m_store));
}

TEST_F(AutorunTest, ProbeNeverCreatesTheKey)
{
    Autorun().Exists = false;
    EXPECT_FALSE(AutorunWritable(m_store));
    EXPECT_FALSE(Autorun().Exists);
}

TEST_F(AutorunTest, OnNamesTheRunningExecutableOffDeletes)
{
    m_facts.DefaultDirectory = "/home/user/.config/calventa";
    m_facts.Executable = "/usr/lib/calventa/calventa";

    EXPECT_TRUE(SetAutorun(m_store, m_facts, true));
    EXPECT_EQ(std::get<std::string>(Autorun().Values.at(kAutorunValue)), "/usr/lib/calventa/calventa");
    EXPECT_TRUE(AutorunEnabled(m_store));

    EXPECT_TRUE(SetAutorun(m_store, m_facts, false));
    EXPECT_FALSE(AutorunEnabled(m_store));
    EXPECT_EQ(m_store.Opens[0].Access, platform::kKeyWrite);
    EXPECT_EQ(m_store.LiveKeys, 0);
}

TEST_F(AutorunTest, ReportsAFailedWriteOrDelete)
{
    Autorun().WriteAllowed = false;
    EXPECT_FALSE(SetAutorun(m_store, m_facts, true));
    EXPECT_FALSE(Autorun().Values.contains(kAutorunValue));

    Autorun().WriteAllowed = true;
    Autorun().FailWrites = true;
    EXPECT_FALSE(SetAutorun(m_store, m_facts, true));

    Autorun().FailWrites = false;
    Autorun().Exists = false;
    EXPECT_FALSE(SetAutorun(m_store, m_facts, true));
    EXPECT_FALSE(Autorun().Exists);
}

} // namespace
} // namespace calventa::core
