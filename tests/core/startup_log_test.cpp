#include "core/startup_log.h"

#include <gtest/gtest.h>

#include "core/fakes.h"

namespace calventa::core {
namespace {

constexpr const char* kPath = "/prog/debug.txt";

class StartupLogTest : public ::testing::Test
{
protected:
    fake::FakeFileSystem m_files;
    fake::FakeClock m_clock;
    fake::FakeSystemFacts m_facts;
    StartupLog m_log{m_files, m_clock, m_facts};
};

TEST_F(StartupLogTest, LineHasThreeThenFiveSpaces)
{
    EXPECT_EQ(m_log.FormatLine({2004, 12, 8, 14, 5, 33}, "Search start..."),
              "08.12.2004   14:05:33     Search start...");
}

TEST_F(StartupLogTest, DebugStartWritesOpenedMessagesClosedWithCrLf)
{
    m_log.OpenLog(kPath, true);
    EXPECT_TRUE(m_log.IsOpen());
    m_log.WriteLog("Start SMART init");
    m_clock.Current.second = 34;
    m_log.WriteLog("Search start...");
    m_log.CloseLog();
    EXPECT_FALSE(m_log.IsOpen());

    EXPECT_EQ(m_files.Text(kPath), "08.12.2004   14:05:33     Log opened\r\n"
                                   "08.12.2004   14:05:33     Start SMART init\r\n"
                                   "08.12.2004   14:05:34     Search start...\r\n"
                                   "08.12.2004   14:05:34     Log closed\r\n");

    // Nothing after the close reaches the file.
    m_log.WriteLog("late");
    m_log.CloseLog();
    EXPECT_EQ(m_files.Text(kPath).find("late"), std::string::npos);
}

TEST_F(StartupLogTest, DateAndTimeComeFromOneReadingOfTheClock)
{
    m_clock.TickOnEachCall = true;
    m_log.OpenLog(kPath, true);
    m_log.WriteLog("a");
    m_log.CloseLog();
    EXPECT_EQ(m_clock.NowCalls, 3);
    EXPECT_EQ(m_files.Text(kPath), "08.12.2004   14:05:33     Log opened\r\n"
                                   "08.12.2004   14:05:34     a\r\n"
                                   "08.12.2004   14:05:35     Log closed\r\n");
}

TEST_F(StartupLogTest, NormalStartTouchesNoFile)
{
    m_files.Files[kPath] = fake::FakeFileSystem::Bytes("older start\r\n");
    m_log.OpenLog(kPath, false);
    m_log.WriteLog("Search start...");
    m_log.CloseLog();
    EXPECT_FALSE(m_log.IsOpen());
    EXPECT_TRUE(m_files.Touched.empty());
    EXPECT_EQ(m_files.Text(kPath), "older start\r\n");
    EXPECT_EQ(m_clock.NowCalls, 0);
}

TEST_F(StartupLogTest, SecondDebugStartReplacesTheFile)
{
    m_log.OpenLog(kPath, true);
    EXPECT_FALSE(m_log.CreationFailed());
    m_log.WriteLog("first start");
    m_log.CloseLog();

    StartupLog second{m_files, m_clock, m_facts};
    second.OpenLog(kPath, true);
    second.WriteLog("second start");
    second.CloseLog();

    const std::string text = m_files.Text(kPath);
    EXPECT_EQ(text.find("first start"), std::string::npos);
    EXPECT_EQ(text.rfind("Log opened"), text.find("Log opened"));
    EXPECT_NE(text.find("second start"), std::string::npos);
}

TEST_F(StartupLogTest, UncreatableFileMeansNoLog)
{
    m_files.Uncreatable.insert(kPath);
    m_log.OpenLog(kPath, true);
    EXPECT_FALSE(m_log.IsOpen());
    EXPECT_TRUE(m_log.CreationFailed());
    m_log.WriteLog("Search start...");
    m_log.CloseLog();
    EXPECT_FALSE(m_files.Files.contains(kPath));

    m_log.OpenLog(kPath, false); // a normal start has nothing to fail
    EXPECT_FALSE(m_log.CreationFailed());
}

TEST_F(StartupLogTest, FailingWritesAreIgnored)
{
    m_files.FailTextWrites = true;
    m_log.OpenLog(kPath, true);
    m_log.WriteLog("Search start...");
    m_log.CloseLog();
    EXPECT_FALSE(m_log.IsOpen());
    EXPECT_EQ(m_files.Text(kPath), "");
}

} // namespace
} // namespace calventa::core
