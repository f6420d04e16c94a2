#pragma once

// <windows.h> for the back end's sources. The system headers turn some names into macros
// (ReplaceFile → ReplaceFileA) that are also method names of the platform interfaces; they
// are undone here, and the sources call the wide functions by their full names.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef ReplaceFile
#undef CopyFile
#undef OpenService
#undef CreateService
#undef StartService
#undef CreateFile
