#pragma once

#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/system_facts.h"

namespace calventa::core {

// debug.txt: a trace of the start-up, written only in debug mode. Lines are
// "<short date>   <long time>     <message>" ended by CR LF.
class StartupLog
{
public:
    StartupLog(platform::FileSystem& files, platform::Clock& clock, const platform::SystemFacts& facts);

    // In debug mode creates the file anew and writes "Log opened". When the file cannot be
    // created the start goes on without a log.
    void OpenLog(const std::string& path, bool debugMode);
    // The same for the file called name in directory.
    void OpenLog(platform::Directory& directory, const std::string& name, bool debugMode);
    void WriteLog(const std::string& message);
    void CloseLog();

    bool IsOpen() const { return m_file != nullptr; }
    // The last OpenLog was in debug mode and could not create the file.
    bool CreationFailed() const { return m_creationFailed; }

    // The line WriteLog writes, without the line end.
    std::string FormatLine(const platform::LocalDateTime& when, const std::string& message) const;

private:
    template <typename Create> void Open(bool debugMode, Create create);

    platform::FileSystem& m_files;
    platform::Clock& m_clock;
    const platform::SystemFacts& m_facts;
    std::unique_ptr<platform::TextFile> m_file;
    bool m_creationFailed = false;
};

} // namespace calventa::core
