#pragma once

#include <optional>
#include <string>
#include <string_view>

// XDG desktop entries for the autorun entry: an Exec key names the program exactly, however
// odd its path.
namespace calventa::platform::linux_backend {

// The Exec value that starts programPath: quoted when it holds a reserved character, with
// the quoting escapes, "%%" for a literal percent sign, then the string-value escapes.
std::string DesktopExecValue(std::string_view programPath);

// The program (first argument) of an Exec value with all escaping undone; nullopt when it
// is empty or a quote is not closed.
std::optional<std::string> DesktopExecProgram(std::string_view execValue);

// A complete autostart entry that starts programPath without a terminal.
std::string DesktopEntryText(std::string_view programPath);

// The program of the Exec key in the [Desktop Entry] group; nullopt when there is none.
std::optional<std::string> DesktopEntryProgram(std::string_view entryText);

} // namespace calventa::platform::linux_backend
