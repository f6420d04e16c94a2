#pragma once

#include <windows.h>

namespace calventa::app::win32 {

// A console control event (Ctrl+C, the console closed, log-off or shutdown seen by a console
// program) ends the program through its normal close: the handler, which the system runs on
// a thread of its own, posts `message` to `window` and waits until the close has run (the
// system ends the process when the handler returns). One instance at a time.
class ConsoleEvents
{
public:
    ConsoleEvents(HWND window, UINT message);
    ~ConsoleEvents();
    ConsoleEvents(const ConsoleEvents&) = delete;
    ConsoleEvents& operator=(const ConsoleEvents&) = delete;

    // The close sequence has run: a waiting handler may return.
    void Closed();

private:
    static BOOL WINAPI Handler(DWORD event);
};

} // namespace calventa::app::win32
