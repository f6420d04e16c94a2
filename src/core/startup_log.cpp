#include "core/startup_log.h"

namespace calventa::core {

StartupLog::StartupLog(platform::FileSystem& files, platform::Clock& clock, const platform::SystemFacts& facts)
    : m_files(files), m_clock(clock), m_facts(facts)
{
}

template <typename Create> void StartupLog::Open(bool debugMode, Create create)
{
    m_file.reset();
    m_creationFailed = false;
    if (!debugMode) {
        return;
    }
    // Nothing at start-up depends on the log: without the file every later call does nothing.
    m_file = create();
    m_creationFailed = m_file == nullptr;
    WriteLog("Log opened");
}

void StartupLog::OpenLog(const std::string& path, bool debugMode)
{
    Open(debugMode, [&] { return m_files.CreateTextFile(path); });
}

void StartupLog::OpenLog(platform::Directory& directory, const std::string& name, bool debugMode)
{
    Open(debugMode, [&] { return directory.CreateTextFile(name); });
}

void StartupLog::WriteLog(const std::string& message)
{
    if (!m_file) {
        return;
    }
    // One reading of the clock, so a line cannot pair a date with a time across midnight.
    const platform::LocalDateTime now = m_clock.Now();
    m_file->Write(FormatLine(now, message) + "\r\n");
}

void StartupLog::CloseLog()
{
    if (!m_file) {
        return;
    }
    WriteLog("Log closed");
    m_file.reset();
}

std::string StartupLog::FormatLine(const platform::LocalDateTime& when, const std::string& message) const
{
    return m_facts.FormatShortDate(when) + "   " + m_facts.FormatLongTime(when) + "     " + message;
}

} // namespace calventa::core
