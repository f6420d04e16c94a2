#pragma once

#include <string>

namespace calventa::app {

// The running program's full path (UTF-8), or empty when the system does not say. Kept out
// of the other files so that <windows.h>'s A/W macros (CopyFile, OpenService…) never meet
// the platform interfaces' names.
std::string ExecutableFile();

} // namespace calventa::app
