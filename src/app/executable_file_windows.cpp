#include "app/executable_file.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <filesystem>

#include "platform/sim/std_file_system.h"

namespace calventa::app {

std::string ExecutableFile()
{
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            return sim::Utf8FromPath(std::filesystem::path(buffer));
        }
        buffer.resize(buffer.size() * 2); // cut short: try a longer buffer
    }
}

} // namespace calventa::app
