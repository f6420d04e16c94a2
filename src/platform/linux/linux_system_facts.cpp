#include "platform/linux/linux_system_facts.h"

#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <vector>

#include "platform/linux/file_io.h"

namespace calventa::platform::linux_backend {

namespace {

constexpr mode_t kConfigDirectoryMode = 0700;
constexpr size_t kMaxFormattedLength = 256;

locale_t OpenLocale(const std::string& name)
{
    locale_t locale = newlocale(LC_ALL_MASK, name.c_str(), static_cast<locale_t>(0));
    if (locale == static_cast<locale_t>(0)) {
        locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    }
    return locale;
}

tm TmOf(const LocalDateTime& when)
{
    tm fields = {};
    fields.tm_year = when.year - 1900;
    fields.tm_mon = when.month - 1;
    fields.tm_mday = when.day;
    fields.tm_hour = when.hour;
    fields.tm_min = when.minute;
    fields.tm_sec = when.second;
    // The weekday and day of the year, for formats that name them.
    tm normalised = fields;
    timegm(&normalised);
    fields.tm_wday = normalised.tm_wday;
    fields.tm_yday = normalised.tm_yday;
    return fields;
}

bool IsAbsolute(const char* path)
{
    return path != nullptr && path[0] == '/';
}

// Root makes no directory inside one that another user could change (an XDG_CONFIG_HOME
// kept by sudo -E): the start-up refuses such a directory anyway, and the user's tree then
// holds nothing of root's.
bool MayCreateAsRoot(const std::string& directory)
{
    std::string existing = directory;
    struct stat st = {};
    while (stat(existing.c_str(), &st) != 0) {
        if (errno != ENOENT || existing == "/" || existing == ".") {
            return false;
        }
        existing = DirectoryOf(existing);
    }
    std::string why;
    return existing == directory || TrustedDirectoryPath(existing, 0, why).has_value();
}

} // namespace

LinuxSystemFacts::LinuxSystemFacts(std::string programDirectory, const std::string& localeName)
    : m_programDirectory(std::move(programDirectory)), m_locale(OpenLocale(localeName))
{
}

LinuxSystemFacts::~LinuxSystemFacts()
{
    if (m_locale != static_cast<locale_t>(0)) {
        freelocale(m_locale);
    }
}

std::string LinuxSystemFacts::Format(const LocalDateTime& when, int item) const
{
    if (m_locale == static_cast<locale_t>(0)) {
        return {};
    }
    const char* format = nl_langinfo_l(static_cast<nl_item>(item), m_locale);
    const tm fields = TmOf(when);
    char text[kMaxFormattedLength];
    const size_t length = strftime_l(text, sizeof text, format, &fields, m_locale);
    return std::string(text, length);
}

std::string LinuxSystemFacts::FormatShortDate(const LocalDateTime& when) const
{
    return Format(when, D_FMT);
}

std::string LinuxSystemFacts::FormatLongTime(const LocalDateTime& when) const
{
    return Format(when, T_FMT);
}

std::string LinuxSystemFacts::DecimalSeparator() const
{
    const char* radix = m_locale == static_cast<locale_t>(0) ? nullptr : nl_langinfo_l(RADIXCHAR, m_locale);
    return radix == nullptr || radix[0] == '\0' ? "." : radix;
}

std::string LinuxSystemFacts::DefaultProgramDirectory() const
{
    // A directory that cannot be made is still returned: the files in it then fail one by
    // one, silently, as any unwritable program directory does.
    if (geteuid() != 0 || MayCreateAsRoot(m_programDirectory)) {
        MakeDirectories(m_programDirectory, kConfigDirectoryMode);
    }
    return m_programDirectory;
}

std::string LinuxSystemFacts::ExecutablePath() const
{
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) {
            return {};
        }
        if (static_cast<size_t>(length) < buffer.size()) {
            return std::string(buffer.data(), static_cast<size_t>(length));
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string LinuxSystemFacts::JoinPath(const std::string& directory, const std::string& name) const
{
    if (directory.empty()) {
        return name;
    }
    const bool directoryEnds = directory.back() == '/';
    const bool nameStarts = !name.empty() && name.front() == '/';
    if (directoryEnds && nameStarts) {
        return directory + name.substr(1);
    }
    return directoryEnds || nameStarts ? directory + name : directory + "/" + name;
}

std::string ProgramDirectoryFor(const char* xdgConfigHome, const char* home, const std::string& currentDirectory)
{
    if (IsAbsolute(xdgConfigHome)) {
        return std::string(xdgConfigHome) + "/calventa";
    }
    if (IsAbsolute(home)) {
        return std::string(home) + "/.config/calventa";
    }
    return currentDirectory;
}

} // namespace calventa::platform::linux_backend
