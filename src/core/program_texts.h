#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace calventa::core {

// The desktop the program's own words are written for. The Windows build keeps its words
// ("Run with Windows", "AboutForm", …); the Linux build names what a Linux user sees instead.
// The presenters take the choice as a value, so both sets are tested on either build.
enum class TextPlatform { Windows, Linux };

#ifdef _WIN32
inline constexpr TextPlatform kBuildTextPlatform = TextPlatform::Windows;
#else
inline constexpr TextPlatform kBuildTextPlatform = TextPlatform::Linux;
#endif

// The program's version, from the build's one version number.
std::string_view ProgramVersion();

// The General page's "start with the system" box.
std::string RunAtStartText(TextPlatform platform);

// The About window's words. An empty address has no row of its own.
struct AboutTexts
{
    std::string Caption;
    std::string Title;
    std::string HomepageAddress;
    std::string SupportAddress;
    std::string MailSubject;
};
AboutTexts AboutTextsFor(TextPlatform platform);
// The About window's read-only text field, one entry per line.
std::vector<std::string> AboutBodyLines();

// The non-administrator notice: how a user gets disk temperatures without the rights.
std::vector<std::string> AdminNoticeLines(TextPlatform platform);

} // namespace calventa::core
