#include <gtest/gtest.h>

#include "case_name.h"

#include "core/program_store_access.h"
#include "linux_test_support.h"
#include "platform/linux/desktop_entry.h"
#include "platform/linux/file_program_store.h"
#include "platform/linux/linux_system_facts.h"

namespace calventa::platform::linux_backend {
namespace {

using testing::BecomeUnprivileged;
using testing::Entries;
using testing::ModeOf;
using testing::ReadText;
using testing::TempDir;

struct ExecCase
{
    const char* path;
    const char* exec; // as it stands in the file
};

void PrintTo(const ExecCase& c, std::ostream* os)
{
    *os << c.exec;
}

class DesktopExec : public ::testing::TestWithParam<ExecCase>
{
};

TEST_P(DesktopExec, QuotesAndEscapesAsTheEntryFormatRequires)
{
    EXPECT_EQ(DesktopExecValue(GetParam().path), GetParam().exec);
    EXPECT_EQ(DesktopExecProgram(GetParam().exec), GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, DesktopExec,
    ::testing::Values(ExecCase{"/usr/bin/calventa", "/usr/bin/calventa"},
                      ExecCase{"/opt/my app/calventa", R"("/opt/my app/calventa")"},
                      ExecCase{"/opt/a$b/calventa", R"("/opt/a\\$b/calventa")"},
                      ExecCase{R"(/opt/back\slash)", R"("/opt/back\\\\slash")"},
                      ExecCase{R"(/opt/say "hi")", R"("/opt/say \\"hi\\"")"},
                      ExecCase{"/opt/`id`", R"("/opt/\\`id\\`")"}, ExecCase{"/opt/it's", R"("/opt/it's")"},
                      ExecCase{"/opt/100%/calventa", "/opt/100%%/calventa"},
                      ExecCase{"/opt/100% sure", R"("/opt/100%% sure")"},
                      ExecCase{"/opt/tab\there", R"("/opt/tab\there")"},
                      ExecCase{"/opt/line\nbreak", R"("/opt/line\nbreak")"},
                      ExecCase{"/opt/~me/a;b&c|d<e>f*g?h#i(j)", R"x("/opt/~me/a;b&c|d<e>f*g?h#i(j)")x"},
                      ExecCase{"/opt/grüße/calventa", "/opt/grüße/calventa"}),
    [](const ::testing::TestParamInfo<ExecCase>& info) {
        const auto& c = info.param;
        (void)c;
        return calventa::testnames::CaseName(c.path);
    });

TEST(DesktopExec, ProgramOfHandWrittenValues)
{
    EXPECT_EQ(DesktopExecProgram(R"("/opt/my app/calventa" --minimized %U)"), "/opt/my app/calventa");
    EXPECT_EQ(DesktopExecProgram("  /usr/bin/calventa %f"), "/usr/bin/calventa");
    EXPECT_EQ(DesktopExecProgram(R"("/opt/a\$b")"), "/opt/a$b");
    EXPECT_EQ(DesktopExecProgram(R"("/opt/unclosed)"), std::nullopt);
    EXPECT_EQ(DesktopExecProgram(R"("")"), std::nullopt);
    EXPECT_EQ(DesktopExecProgram("   "), std::nullopt);
    EXPECT_EQ(DesktopExecProgram(R"(\)"), R"(\)");
}

TEST(DesktopEntry, TheProgramComesFromTheMainGroupsExecKey)
{
    const std::string text = "# comment\r\n"
                             "[Desktop Action Quit]\n"
                             "Exec=/usr/bin/other\n"
                             "[Desktop Entry]\n"
                             "ExecStart=/usr/bin/not-this\n"
                             "Exec = \"/opt/my app/calventa\" %U\r\n"
                             "[X-Extra]\n"
                             "Exec=/usr/bin/nor-this\n";
    EXPECT_EQ(DesktopEntryProgram(text), "/opt/my app/calventa");
    EXPECT_EQ(DesktopEntryProgram("[Desktop Entry]\nName=Calventa\n"), std::nullopt);
    EXPECT_EQ(DesktopEntryProgram("Exec=/usr/bin/outside-any-group\n"), std::nullopt);
    EXPECT_EQ(DesktopEntryProgram(DesktopEntryText("/opt/a b/c")), "/opt/a b/c");
}

class AutorunKeyTest : public ::testing::Test
{
protected:
    AutorunKeyTest() { mkdir(m_autostart.c_str(), 0755); }

    std::unique_ptr<StoreKey> Open(uint32_t access) { return m_store.OpenKey(StoreKeyId::Autorun, access, false); }

    TempDir m_dir;
    std::string m_autostart = m_dir / "autostart";
    FileProgramStore m_store{m_dir / "registry", m_autostart};
    LinuxSystemFacts m_facts{m_dir / "config", "C"};
};

TEST_F(AutorunKeyTest, TheEntryIsADesktopFileThatStartsTheProgram)
{
    auto key = Open(kKeyWrite);
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->WriteString("Calventa", "/opt/my app/calventa"));

    EXPECT_EQ(Entries(m_autostart), std::vector<std::string>{"calventa.desktop"});
    EXPECT_EQ(ModeOf(m_autostart + "/calventa.desktop"), 0644u);
    const std::string text = ReadText(m_autostart + "/calventa.desktop");
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);
    for (const char* line : {"\nType=Application\n", "\nName=Calventa\n",
                             "\nComment=", "\nExec=\"/opt/my app/calventa\"\n", "\nTerminal=false\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line;
    }

    auto reader = Open(kKeyRead);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->ReadString("Calventa"), "/opt/my app/calventa");
    EXPECT_TRUE(reader->HasValue("Calventa"));
    EXPECT_TRUE(key->DeleteValue("Calventa"));
    EXPECT_FALSE(reader->HasValue("Calventa"));
    EXPECT_TRUE(Entries(m_autostart).empty());
}

TEST_F(AutorunKeyTest, HoldsOnlyItsTwoStringValues)
{
    auto key = Open(kKeyReadWrite);
    ASSERT_TRUE(key);
    EXPECT_FALSE(key->WriteString("Other", "/usr/bin/x"));
    EXPECT_FALSE(key->WriteDword("Calventa", 1));
    EXPECT_FALSE(key->WriteBinary("Calventa", {1}));
    EXPECT_FALSE(key->HasValue("calventa"));
    EXPECT_EQ(key->ReadDword("Calventa"), std::nullopt);

    ASSERT_TRUE(key->WriteString("Temp", "temp"));
    EXPECT_EQ(Entries(m_autostart), std::vector<std::string>{".calventa-autorun-probe"});
    EXPECT_EQ(key->ReadString("Temp"), "temp");
    EXPECT_FALSE(key->HasValue("Calventa"));
    EXPECT_TRUE(key->DeleteValue("Temp"));
    EXPECT_FALSE(key->DeleteValue("Temp"));
}

TEST_F(AutorunKeyTest, AMissingAutostartDirectoryIsNeverCreated)
{
    FileProgramStore store(m_dir / "registry", m_dir / "xdg/autostart");
    EXPECT_EQ(store.OpenKey(StoreKeyId::Autorun, kKeyReadWrite, true), nullptr);
    EXPECT_EQ(store.OpenKey(StoreKeyId::Autorun, kKeyRead, false), nullptr);
    EXPECT_FALSE(std::filesystem::exists(m_dir / "xdg"));
    EXPECT_FALSE(core::AutorunWritable(store));
    EXPECT_FALSE(core::AutorunEnabled(store));
}

// A normal user's entry goes to their own autostart directory, made when first written.
TEST_F(AutorunKeyTest, TheUsersOwnAutostartDirectoryIsMadeForWritingOnly)
{
    const std::string own = m_dir / "home/.config/autostart";
    FileProgramStore store(m_dir / "registry", own, {}, true);
    EXPECT_EQ(store.OpenKey(StoreKeyId::Autorun, kKeyRead, false), nullptr);
    EXPECT_FALSE(std::filesystem::exists(own));
    EXPECT_FALSE(core::AutorunEnabled(store));

    ASSERT_TRUE(core::AutorunWritable(store));
    EXPECT_TRUE(std::filesystem::is_directory(own));
    ASSERT_TRUE(core::SetAutorun(store, m_facts, true));
    EXPECT_TRUE(core::AutorunEnabled(store));
    EXPECT_EQ(Entries(own), std::vector<std::string>{"calventa.desktop"});
}

TEST(AutostartDirectory, RootUsesTheSystemOneAndAUserTheirOwn)
{
    EXPECT_EQ(AutostartDirectoryFor(true, "/home/ann/.cfg", "/home/ann"), "/etc/xdg/autostart");
    EXPECT_EQ(AutostartDirectoryFor(false, "/home/ann/.cfg", "/home/ann"), "/home/ann/.cfg/autostart");
    EXPECT_EQ(AutostartDirectoryFor(false, nullptr, "/home/ann"), "/home/ann/.config/autostart");
    EXPECT_EQ(AutostartDirectoryFor(false, "relative", "/home/ann"), "/home/ann/.config/autostart");
    EXPECT_EQ(AutostartDirectoryFor(false, "", ""), "");
    EXPECT_EQ(AutostartDirectoryFor(false, nullptr, nullptr), "");
}

TEST_F(AutorunKeyTest, OnAndOffThroughTheProgramsOwnCalls)
{
    ASSERT_TRUE(core::AutorunWritable(m_store));
    EXPECT_TRUE(Entries(m_autostart).empty()); // the probe leaves nothing behind
    EXPECT_FALSE(core::AutorunEnabled(m_store));

    ASSERT_TRUE(core::SetAutorun(m_store, m_facts, true));
    EXPECT_TRUE(core::AutorunEnabled(m_store));
    EXPECT_EQ(Open(kKeyRead)->ReadString("Calventa"), m_facts.ExecutablePath());

    ASSERT_TRUE(core::SetAutorun(m_store, m_facts, false));
    EXPECT_FALSE(core::AutorunEnabled(m_store));
    EXPECT_TRUE(Entries(m_autostart).empty());
}

TEST_F(AutorunKeyTest, AnUnwritableDirectoryFailsTheProbeAndLeavesNothing)
{
    chmod(m_autostart.c_str(), 0555);
    EXPECT_EXIT(
        {
            BecomeUnprivileged();
            const bool refused = !core::AutorunWritable(m_store) && !core::SetAutorun(m_store, m_facts, true);
            _exit(refused && Open(kKeyRead) != nullptr ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    chmod(m_autostart.c_str(), 0755);
    EXPECT_TRUE(Entries(m_autostart).empty());
}

TEST_F(AutorunKeyTest, APathThatNamesNoProgramIsReplacedByTheRunningOne)
{
    const std::string running = m_facts.ExecutablePath();
    FileProgramStore store(m_dir / "registry", m_autostart, [&] { return running; });
    auto key = store.OpenKey(StoreKeyId::Autorun, kKeyReadWrite, false);
    ASSERT_TRUE(key);

    ASSERT_TRUE(key->WriteString("Calventa", m_dir / "config/calventa"));
    EXPECT_EQ(key->ReadString("Calventa"), running);

    const std::string other = m_dir / "other program";
    testing::WriteText(other, "#!/bin/sh\n");
    chmod(other.c_str(), 0755);
    ASSERT_TRUE(key->WriteString("Calventa", other));
    EXPECT_EQ(key->ReadString("Calventa"), other);
}

// An autostart directory another user can write into (a misconfigured one, or one named by
// $CALVENTA_AUTOSTART_DIR): the entry root writes through their link must not become theirs,
// or they could edit what every session starts.
TEST_F(AutorunKeyTest, TheEntryAndTheProbeNeverGoThroughAPlantedLink)
{
    if (geteuid() != 0) {
        GTEST_SKIP() << "the victim is root";
    }
    ASSERT_EQ(chmod(m_autostart.c_str(), 0777), 0);
    const std::string attackersEntry = testing::MakeAttackerDirectory(m_dir / "theirs") + "/entry.desktop";
    const std::string rootsFile = m_dir / "roots";
    testing::WriteText(rootsFile, "root's");
    ASSERT_TRUE(testing::AsAttacker([&] {
        testing::WriteText(attackersEntry, "");
        return chmod(attackersEntry.c_str(), 0666) == 0 &&
               symlink(attackersEntry.c_str(), (m_autostart + "/calventa.desktop").c_str()) == 0 &&
               symlink(rootsFile.c_str(), (m_autostart + "/.calventa-autorun-probe").c_str()) == 0;
    }));
    const auto entryBefore = testing::FactsOf(attackersEntry);
    const auto rootsBefore = testing::FactsOf(rootsFile);

    EXPECT_TRUE(core::AutorunWritable(m_store));
    ASSERT_TRUE(core::SetAutorun(m_store, m_facts, true));
    struct stat st = {};
    ASSERT_EQ(lstat((m_autostart + "/calventa.desktop").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    EXPECT_EQ(testing::FactsOf(attackersEntry), entryBefore);
    EXPECT_EQ(testing::FactsOf(rootsFile), rootsBefore);
    EXPECT_EQ(Entries(m_autostart), std::vector<std::string>{"calventa.desktop"});
}

TEST(ProgramPath, ComesFromTheStoreOrTheDefaultDirectory)
{
    TempDir dir;
    FileProgramStore store(dir / "registry", dir / "autostart");
    LinuxSystemFacts facts(dir / "config/calventa", "C");
    EXPECT_EQ(core::ReadProgramPath(store, facts), dir / "config/calventa");
    EXPECT_TRUE(std::filesystem::is_directory(dir / "config/calventa"));

    ASSERT_TRUE(store.OpenKey(StoreKeyId::Program, kKeyWrite, true)->WriteString("PATH", "/opt/calventa"));
    EXPECT_EQ(core::ReadProgramPath(store, facts), "/opt/calventa");
}

} // namespace
} // namespace calventa::platform::linux_backend
