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

}  // namespace quorvel
