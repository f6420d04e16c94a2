#pragma once

// Running programs and naming things in the Windows back end's tests (under Wine here).

#include "platform/windows/win_api.h"

#include <chrono>
#include <string>

#include "platform/windows/win_text.h"

namespace calventa::testwin {

// A path of the build machine as Windows sees it: Wine maps the root to drive Z:.
inline std::string WindowsPath(std::string path)
{
    if (!path.empty() && path[0] == '/') {
        path = "Z:" + path;
    }
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

// A path in double quotes, as a command line needs it.
inline std::string Quoted(const std::string& path)
{
    std::string quoted(1, '"');
    quoted += path;
    quoted += '"';
    return quoted;
}

// A name no other test process uses at the same time.
inline std::string Unique(const std::string& stem)
{
    static int counter = 0;
    return stem + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter);
}

// A started program; waits for it (and closes it) when destroyed.
class Process
{
public:
    explicit Process(const std::string& commandLine)
    {
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        std::wstring line = platform::windows_backend::WideFromUtf8(commandLine);
        if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &m_info)) {
            CloseHandle(m_info.hThread);
            m_started = true;
        }
    }
    ~Process()
    {
        if (m_started) {
            Wait(60000);
            CloseHandle(m_info.hProcess);
        }
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool Started() const { return m_started; }
    // The exit code; -1 when it did not end in time.
    int Wait(DWORD timeoutMs)
    {
        if (!m_started || WaitForSingleObject(m_info.hProcess, timeoutMs) != WAIT_OBJECT_0) {
            return -1;
        }
        DWORD code = 0;
        GetExitCodeProcess(m_info.hProcess, &code);
        return static_cast<int>(code);
    }

private:
    PROCESS_INFORMATION m_info = {};
    bool m_started = false;
};

inline int Run(const std::string& commandLine, DWORD timeoutMs = 60000)
{
    Process process(commandLine);
    return process.Wait(timeoutMs);
}

// A manual-reset event another process sets to say it has reached a point.
class Signal
{
public:
    explicit Signal(const std::string& name)
        : m_handle(CreateEventW(nullptr, TRUE, FALSE, platform::windows_backend::WideFromUtf8(name).c_str()))
    {
    }
    ~Signal() { CloseHandle(m_handle); }
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;
    bool WaitMs(DWORD timeoutMs) { return WaitForSingleObject(m_handle, timeoutMs) == WAIT_OBJECT_0; }

private:
    HANDLE m_handle;
};

inline std::chrono::milliseconds Since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
}

} // namespace calventa::testwin
