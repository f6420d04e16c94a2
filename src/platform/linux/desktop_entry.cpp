#include "platform/linux/desktop_entry.h"

namespace calventa::platform::linux_backend {

namespace {

constexpr std::string_view kReservedInExec = " \t\n\"'\\><~|&;$*?#()`";
constexpr std::string_view kEscapedInQuotes = "\"`$\\";

// The string-value escapes, undone before the Exec quoting. An unknown escape is kept as
// written, so that a hand-written "\$" still means a quoted dollar sign.
std::string UnescapeString(std::string_view value)
{
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        switch (value[i + 1]) {
        case 's':
            out += ' ';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        case '\\':
            out += '\\';
            break;
        default:
            out += '\\';
            out += value[i + 1];
            break;
        }
        ++i;
    }
    return out;
}

std::string EscapeString(std::string_view value)
{
    std::string out;
    for (const char c : value) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
            break;
        }
    }
    return out;
}

} // namespace

std::string DesktopExecValue(std::string_view programPath)
{
    std::string argument;
    if (programPath.empty() || programPath.find_first_of(kReservedInExec) != std::string_view::npos) {
        argument += '"';
        for (const char c : programPath) {
            if (kEscapedInQuotes.find(c) != std::string_view::npos) {
                argument += '\\';
            }
            argument += c;
        }
        argument += '"';
    } else {
        argument = programPath;
    }
    // Field codes are expanded after unquoting, so a percent sign is doubled even in quotes.
    std::string withFieldCodes;
    for (const char c : argument) {
        withFieldCodes += c;
        if (c == '%') {
            withFieldCodes += '%';
        }
    }
    return EscapeString(withFieldCodes);
}

std::optional<std::string> DesktopExecProgram(std::string_view execValue)
{
    const std::string command = UnescapeString(execValue);
    size_t i = command.find_first_not_of(' ');
    if (i == std::string::npos) {
        return std::nullopt;
    }
    std::string argument;
    if (command[i] == '"') {
        bool closed = false;
        for (++i; i < command.size(); ++i) {
            if (command[i] == '"') {
                closed = true;
                break;
            }
            if (command[i] == '\\' && i + 1 < command.size() &&
                kEscapedInQuotes.find(command[i + 1]) != std::string::npos) {
                ++i;
            }
            argument += command[i];
        }
        if (!closed) {
            return std::nullopt;
        }
    } else {
        argument = command.substr(i, command.find(' ', i) - i);
    }
    std::string program;
    for (size_t k = 0; k < argument.size(); ++k) {
        program += argument[k];
        if (argument[k] == '%' && k + 1 < argument.size() && argument[k + 1] == '%') {
            ++k;
        }
    }
    if (program.empty()) {
        return std::nullopt;
    }
    return program;
}

std::string DesktopEntryText(std::string_view programPath)
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Calventa\n"
           "Comment=Motherboard temperatures, voltages and fan speeds in the tray\n"
           "Exec=" +
           DesktopExecValue(programPath) +
           "\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

std::optional<std::string> DesktopEntryProgram(std::string_view entryText)
{
    bool inMainGroup = false;
    while (!entryText.empty()) {
        const size_t end = entryText.find('\n');
        std::string_view line = entryText.substr(0, end);
        entryText.remove_prefix(end == std::string_view::npos ? entryText.size() : end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.starts_with('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inMainGroup || !line.starts_with("Exec")) {
            continue;
        }
        const size_t equals = line.find_first_not_of(' ', 4);
        if (equals == std::string_view::npos || line[equals] != '=') {
            continue; // another key such as "ExecStart"
        }
        const size_t valueStart = line.find_first_not_of(' ', equals + 1);
        return DesktopExecProgram(valueStart == std::string_view::npos ? "" : line.substr(valueStart));
    }
    return std::nullopt;
}

} // namespace calventa::platform::linux_backend
