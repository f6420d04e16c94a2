#include "platform/windows/windows_system_facts.h"

#include "platform/windows/win_api.h"

#include "platform/windows/win_text.h"

namespace calventa::platform::windows_backend {

namespace {

using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);

SYSTEMTIME SystemTimeOf(const LocalDateTime& when)
{
    SYSTEMTIME time = {};
    time.wYear = static_cast<WORD>(when.year);
    time.wMonth = static_cast<WORD>(when.month);
    time.wDay = static_cast<WORD>(when.day);
    time.wHour = static_cast<WORD>(when.hour);
    time.wMinute = static_cast<WORD>(when.minute);
    time.wSecond = static_cast<WORD>(when.second);
    return time;
}

} // namespace

WindowsVersion QueryWindowsVersion()
{
    WindowsVersion version;
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    // GetVersionEx answers what the manifest allows; the kernel's own call tells the truth.
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto rtlGetVersion =
        ntdll != nullptr
            ? reinterpret_cast<RtlGetVersionFunction>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
            : nullptr;
    bool known = rtlGetVersion != nullptr && rtlGetVersion(&info) == 0;
    if (!known) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        known = GetVersionExW(&info) != 0;
#pragma GCC diagnostic pop
    }
    if (known) {
        version.family =
            info.dwPlatformId == VER_PLATFORM_WIN32_NT ? PlatformFamily::NtFamily : PlatformFamily::Windows9x;
        version.major = info.dwMajorVersion;
        version.minor = info.dwMinorVersion;
        version.build = info.dwBuildNumber;
    }
    return version;
}

std::string CurrentExecutablePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 6; ++attempt) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            return Utf8FromWide(path);
        }
        path.resize(path.size() * 2);
    }
    return {};
}

std::string FolderOf(const std::string& path)
{
    const size_t separator = path.find_last_of("\\/");
    if (separator == std::string::npos) {
        return ".";
    }
    // "C:\calventa.exe" lives in "C:\", not in "C:".
    if (separator == 2 && path.size() > 1 && path[1] == ':') {
        return path.substr(0, 3);
    }
    return path.substr(0, separator);
}

WindowsSystemFacts::WindowsSystemFacts() : m_version(QueryWindowsVersion()) {}

ScreenSize WindowsSystemFacts::PrimaryScreen() const
{
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    if (width <= 0 || height <= 0) {
        return {};
    }
    return {width, height};
}

std::string WindowsSystemFacts::FormatShortDate(const LocalDateTime& when) const
{
    const SYSTEMTIME time = SystemTimeOf(when);
    wchar_t text[128];
    const int length = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, text, 128);
    return length > 1 ? Utf8FromWide(text, static_cast<size_t>(length - 1)) : std::string();
}

std::string WindowsSystemFacts::FormatLongTime(const LocalDateTime& when) const
{
    const SYSTEMTIME time = SystemTimeOf(when);
    wchar_t text[128];
    const int length = GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &time, nullptr, text, 128);
    return length > 1 ? Utf8FromWide(text, static_cast<size_t>(length - 1)) : std::string();
}

std::string WindowsSystemFacts::DecimalSeparator() const
{
    wchar_t text[8];
    const int length = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, text, 8);
    return length > 1 ? Utf8FromWide(text, static_cast<size_t>(length - 1)) : std::string(".");
}

std::string WindowsSystemFacts::DefaultProgramDirectory() const
{
    const std::string executable = CurrentExecutablePath();
    return executable.empty() ? std::string(".") : FolderOf(executable);
}

std::string WindowsSystemFacts::ExecutablePath() const
{
    return CurrentExecutablePath();
}

std::string WindowsSystemFacts::JoinPath(const std::string& directory, const std::string& name) const
{
    if (directory.empty()) {
        return name;
    }
    const char last = directory.back();
    return last == '\\' || last == '/' ? directory + name : directory + "\\" + name;
}

LocalDateTime WindowsClock::Now()
{
    // One reading of UTC turned into local time, so that the offset is the one of this instant.
    FILETIME utcFile = {};
    GetSystemTimeAsFileTime(&utcFile);
    SYSTEMTIME utc = {};
    SYSTEMTIME local = {};
    FILETIME localFile = {};
    if (!FileTimeToSystemTime(&utcFile, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local) ||
        !SystemTimeToFileTime(&local, &localFile)) {
        GetLocalTime(&local);
        return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
    }
    const auto ticks = [](const FILETIME& file) {
        return static_cast<int64_t>((static_cast<uint64_t>(file.dwHighDateTime) << 32) | file.dwLowDateTime);
    };
    // 100 ns ticks; the local reading lost the sub-millisecond part, so round to the second.
    const int64_t offset =
        (ticks(localFile) - ticks(utcFile) + (ticks(localFile) >= ticks(utcFile) ? 5000000 : -5000000)) / 10000000;
    return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond, static_cast<int>(offset)};
}

void WindowsClock::SleepMs(uint32_t milliseconds)
{
    Sleep(milliseconds);
}

} // namespace calventa::platform::windows_backend
