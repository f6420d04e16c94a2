// A second process for the Windows back end's tests:
//   hold-mutex NAME READY-EVENT MS   take the named mutex, signal, hold it MS, release it
//   abandon-mutex NAME READY-EVENT   take it, signal, end without releasing it
//   crash-before-rename PATH TEXT    save TEXT over PATH and die between write and rename
#include "platform/windows/win_api.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/windows/win_text.h"
#include "platform/windows/windows_file_system.h"
#include "platform/windows/windows_mutex.h"

namespace {

using namespace calventa::platform::windows_backend;

void SetReady(const char* name)
{
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, WideFromUtf8(name).c_str());
    SetEvent(event);
    CloseHandle(event);
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if ((mode == "hold-mutex" && argc == 5) || (mode == "abandon-mutex" && argc == 4)) {
        HANDLE mutex = CreateMutexW(nullptr, FALSE, WideFromUtf8(argv[2]).c_str());
        if (mutex == nullptr || WaitForSingleObject(mutex, 10000) != WAIT_OBJECT_0) {
            return 3;
        }
        SetReady(argv[3]);
        if (mode == "abandon-mutex") {
            ExitProcess(0); // the system abandons the mutex with its owner thread
        }
        Sleep(static_cast<DWORD>(std::atoi(argv[4])));
        ReleaseMutex(mutex);
        CloseHandle(mutex);
        return 0;
    }
    if (mode == "crash-before-rename" && argc == 4) {
        WindowsFileSystem files([](const std::string&) { TerminateProcess(GetCurrentProcess(), 7); });
        const std::string text = argv[3];
        files.ReplaceFile(argv[2],
                          std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
        return 0; // not reached: the hook ends the process
    }
    std::fprintf(stderr, "windows_test_helper: unknown mode\n");
    return 2;
}
