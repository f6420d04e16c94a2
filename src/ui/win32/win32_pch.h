// Precompiled for every Win32 view and the Win32 desktop wiring: <windows.h> alone costs
// more to compile than most of these files.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>
