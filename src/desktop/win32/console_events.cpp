#include "desktop/win32/console_events.h"

#include <atomic>

namespace calventa::app::win32 {

namespace {

constexpr DWORD kCloseWaitMs = 4500; // the system allows a handler about five seconds

// A handler runs on a thread of the system's and can reach nothing but process-wide state,
// set while a ConsoleEvents object lives.
std::atomic<HWND> g_window{nullptr};
std::atomic<UINT> g_message{0};
std::atomic<HANDLE> g_closed{nullptr};

} // namespace

ConsoleEvents::ConsoleEvents(HWND window, UINT message)
{
    g_closed.store(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    g_message.store(message);
    g_window.store(window);
    SetConsoleCtrlHandler(&ConsoleEvents::Handler, TRUE);
}

ConsoleEvents::~ConsoleEvents()
{
    SetConsoleCtrlHandler(&ConsoleEvents::Handler, FALSE);
    g_window.store(nullptr);
    if (const HANDLE closed = g_closed.exchange(nullptr)) {
        SetEvent(closed); // a handler still waiting goes on
        CloseHandle(closed);
    }
}

void ConsoleEvents::Closed()
{
    if (const HANDLE closed = g_closed.load()) {
        SetEvent(closed);
    }
}

BOOL WINAPI ConsoleEvents::Handler(DWORD)
{
    const HWND window = g_window.load();
    if (window == nullptr || !PostMessageW(window, g_message.load(), 0, 0)) {
        return FALSE;
    }
    if (const HANDLE closed = g_closed.load()) {
        WaitForSingleObject(closed, kCloseWaitMs);
    }
    return TRUE;
}

} // namespace calventa::app::win32
