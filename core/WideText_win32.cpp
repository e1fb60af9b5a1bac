#include "core/WideText_win32.h"

#include <windows.h>

#include "core/Exception.h"

namespace quorvel {

std::wstring WideFromUtf8(std::string_view Utf8) {
    if (Utf8.empty()) return {};
    const int size = static_cast<int>(Utf8.size());
    const int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, Utf8.data(), size, nullptr, 0);
    if (n <= 0) throw Exception("the text is not valid UTF-8");
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, Utf8.data(), size, wide.data(), n);
    return wide;
}

std::string Utf8FromWide(std::wstring_view Wide) {
    if (Wide.empty()) return {};
    const int size = static_cast<int>(Wide.size());
    const int n = ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, Wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (n <= 0) throw Exception("the text is not valid UTF-16");
    std::string utf8(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, Wide.data(), size, utf8.data(), n, nullptr, nullptr);
    return utf8;
}

std::string SystemErrorText(unsigned long Error) {
    wchar_t* text = nullptr;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
                         nullptr, Error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message;
    try {
        if (length != 0) message = Utf8FromWide(std::wstring_view(text, length));
    } catch (const Exception&) {}
    if (text != nullptr) ::LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return message;
}

}  // namespace quorvel
