#include "core/program_texts.h"

#include "calventa_version.h"

namespace calventa::core {

std::string_view ProgramVersion()
{
    return kCalventaVersion;
}

std::string RunAtStartText(TextPlatform platform)
{
    return platform == TextPlatform::Windows ? "Run with Windows" : "Run with the session";
}

AboutTexts AboutTextsFor(TextPlatform platform)
{
    if (platform == TextPlatform::Windows) {
        return {"AboutForm", "Calventa Beta 1.0 ", "https://calventa.example.org", "support@calventa.example.org",
                "Calventa-beta-1.0"};
    }
    // No address is better than a made-up one: the link rows stay empty until the project has
    // real ones.
    const std::string name = "Calventa " + std::string(ProgramVersion());
    return {"About Calventa", name, "", "", name};
}

std::vector<std::string> AboutBodyLines()
{
    return {"If you will find any bugs, please send e-mail about it. In ",
            "addition, if the program not finds hardware monitoring chips, ",
            "send the name of your motherboard and we shall add ", "support of your monitoring chips."};
}

std::vector<std::string> AdminNoticeLines(TextPlatform platform)
{
    std::vector<std::string> lines = {
        "The program starts with non-administrative privileges.",
        "To receive temperature of hard disks in this mode it is necessary to install service.",
        "For example:\t",
    };
    if (platform == TextPlatform::Windows) {
        lines.insert(lines.end(), {
                                      "  1. Log in Windows with administrative privileges.",
                                      "  2. Start Calventa (if not start automatically).",
                                      "  3. Click right button of mouse on tray icon and select \"Install Service\".",
                                  });
    } else {
        lines.insert(lines.end(), {
                                      "  1. Log in as root, or start Calventa with sudo.",
                                      "  2. Start Calventa (if not start automatically).",
                                      "  3. Right-click the tray icon and select \"Install Service\".",
                                  });
    }
    return lines;
}

} // namespace calventa::core
