#pragma once

#include <cstdint>
#include <string>

namespace calventa::platform::windows_backend {

// The program works in UTF-8; the system's wide calls take UTF-16. Invalid input becomes
// U+FFFD rather than failing, so that no text can stop a call.
std::wstring WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const std::wstring& text);
std::string Utf8FromWide(const wchar_t* text, size_t length);

// "error 5 (Access is denied.)": a system error number with the system's text, one line.
std::string SystemErrorText(uint32_t error);

} // namespace calventa::platform::windows_backend
