#include "core/program_texts.h"

#include <gtest/gtest.h>

#include <string>

#include "core/notice_presenter.h"

namespace calventa::core {
namespace {

std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\n";
    }
    return text;
}

// The Windows build keeps its own words exactly.
TEST(ProgramTexts, WindowsWordsStayAsTheWindowsProgramWritesThem)
{
    EXPECT_EQ(RunAtStartText(TextPlatform::Windows), "Run with Windows");
    const AboutTexts about = AboutTextsFor(TextPlatform::Windows);
    EXPECT_EQ(about.Caption, "AboutForm");
    EXPECT_EQ(about.Title, "Calventa Beta 1.0 ");
    const auto notice = NoticeContentOf(NoticeKind::AdminNotice, platform::PlatformFamily::NtFamily,
                                        TextPlatform::Windows);
    ASSERT_EQ(notice.Lines.size(), 6u);
    EXPECT_EQ(notice.Lines[3], "  1. Log in Windows with administrative privileges.");
    EXPECT_EQ(notice.Lines[5], "  3. Click right button of mouse on tray icon and select \"Install Service\".");
}

// On Linux nothing speaks of Windows, points at a made-up address or shows a second version.
TEST(ProgramTexts, LinuxWordsNameTheSessionRootTheTrayAndTheOneVersion)
{
    EXPECT_EQ(RunAtStartText(TextPlatform::Linux), "Run with the session");

    const AboutTexts about = AboutTextsFor(TextPlatform::Linux);
    EXPECT_EQ(about.Caption, "About Calventa");
    EXPECT_EQ(about.Title, "Calventa " + std::string(ProgramVersion()));
    EXPECT_EQ(about.Title.find("Beta"), std::string::npos);
    for (const std::string& address : {about.HomepageAddress, about.SupportAddress}) {
        EXPECT_EQ(address.find("example"), std::string::npos) << address;
    }

    const auto notice = NoticeContentOf(NoticeKind::AdminNotice, platform::PlatformFamily::NtFamily,
                                        TextPlatform::Linux);
    const std::string text = Joined(notice.Lines);
    EXPECT_EQ(text.find("Windows"), std::string::npos) << text;
    EXPECT_EQ(text.find("right button"), std::string::npos) << text;
    EXPECT_NE(text.find("root"), std::string::npos) << text;
    EXPECT_NE(text.find("Right-click the tray icon"), std::string::npos) << text;
    EXPECT_NE(text.find("\"Install Service\""), std::string::npos) << text;
    // The lines before the steps are the same on both desktops.
    EXPECT_EQ(notice.Lines[0], "The program starts with non-administrative privileges.");
}

TEST(ProgramTexts, TheBuildSpeaksLinuxOnLinux)
{
#ifndef _WIN32
    EXPECT_EQ(kBuildTextPlatform, TextPlatform::Linux);
    EXPECT_EQ(NoticeContentOf(NoticeKind::AdminNotice, platform::PlatformFamily::NtFamily).Lines,
              NoticeContentOf(NoticeKind::AdminNotice, platform::PlatformFamily::NtFamily, TextPlatform::Linux).Lines);
#endif
    EXPECT_FALSE(ProgramVersion().empty());
}

} // namespace
} // namespace calventa::core
