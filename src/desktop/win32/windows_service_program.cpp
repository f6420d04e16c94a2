#include "desktop/win32/windows_service_program.h"

#include "platform/windows/win_text.h"

namespace calventa::app::win32 {

namespace {

using platform::windows_backend::SystemErrorText;
using platform::windows_backend::WideFromUtf8;

// One argument quoted for CommandLineToArgvW: backslashes before a quote doubled.
std::wstring Quoted(const std::wstring& argument)
{
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, L'\\');
    quoted += L'"';
    return quoted;
}

bool FileExists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesW(WideFromUtf8(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

} // namespace

WindowsServiceProgram::WindowsServiceProgram(std::string programPath) : m_programPath(std::move(programPath)) {}

WindowsServiceProgram::~WindowsServiceProgram()
{
    for (HANDLE child : m_children) {
        CloseHandle(child);
    }
}

bool WindowsServiceProgram::Run(const std::vector<std::string>& arguments)
{
    std::wstring commandLine = Quoted(WideFromUtf8(m_programPath));
    for (const std::string& argument : arguments) {
        commandLine += L" " + Quoted(WideFromUtf8(argument));
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    const std::wstring program = WideFromUtf8(m_programPath);
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &process)) {
        m_startFailure = m_programPath + " could not be started: " + SystemErrorText(GetLastError());
        return false;
    }
    CloseHandle(process.hThread);
    m_children.push_back(process.hProcess);
    return true;
}

std::string WindowsServiceProgram::CollectFailure()
{
    std::string failure = std::move(m_startFailure);
    m_startFailure.clear();
    std::vector<HANDLE> running;
    for (HANDLE child : m_children) {
        DWORD code = STILL_ACTIVE;
        if (GetExitCodeProcess(child, &code) && code == STILL_ACTIVE) {
            running.push_back(child);
            continue;
        }
        if (code != 0) {
            failure = "calventasvc ended with status " + std::to_string(code);
        }
        CloseHandle(child);
    }
    m_children = std::move(running);
    return failure;
}

std::string ServiceProgramBeside(const std::string& executablePath)
{
    const size_t slash = executablePath.find_last_of("\\/");
    const std::string directory = slash == std::string::npos ? std::string(".") : executablePath.substr(0, slash);
    const std::string beside = directory + "\\calventasvc.exe";
    const std::string inDrv = directory + "\\drv\\cvsvc.exe";
    if (!FileExists(beside) && FileExists(inDrv)) {
        return inDrv;
    }
    return beside;
}

} // namespace calventa::app::win32
