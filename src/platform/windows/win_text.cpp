#include "platform/windows/win_text.h"

#include "platform/windows/win_api.h"

#include <string>

namespace calventa::platform::windows_backend {

std::wstring WideFromUtf8(const std::string& text)
{
    if (text.empty()) {
        return {};
    }
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) {
        return {};
    }
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::string Utf8FromWide(const wchar_t* text, size_t length)
{
    if (text == nullptr || length == 0) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return {};
    }
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), narrow.data(), size, nullptr, nullptr);
    return narrow;
}

std::string Utf8FromWide(const std::wstring& text)
{
    return Utf8FromWide(text.data(), text.size());
}

std::string SystemErrorText(uint32_t error)
{
    std::string text = "error " + std::to_string(error);
    wchar_t buffer[512];
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                        buffer, static_cast<DWORD>(std::size(buffer)), nullptr);
    std::string message = Utf8FromWide(buffer, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
        message.pop_back();
    }
    if (!message.empty()) {
        text += " (" + message + ")";
    }
    return text;
}

} // namespace calventa::platform::windows_backend
