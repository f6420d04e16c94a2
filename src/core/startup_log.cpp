#include "core/startup_log.h"

namespace calventa::core {

StartupLog::StartupLog(platform::FileSystem& files, platform::Clock& clock, const platform::SystemFacts& facts)
    : m_files(files), m_clock(clock), m_facts(facts)
{
}

void StartupLog::OpenLog(const std::string& path, bool debugMode)
{
    m_file.reset();
    m_creationFailed = false;
    if (!debugMode) {
        return;
    }
    // Nothing at start-up depends on the log: without the file every later call does nothing.
    m_file = m_files.CreateTextFile(path);
    m_creationFailed = m_file == nullptr;
    WriteLog("Log opened");
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
