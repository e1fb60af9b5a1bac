#include "gui/win32/TrayHint_win32.h"

#include <windows.h>

namespace quorvel {

namespace {

bool IsContinuation(unsigned char Byte) {
    return (Byte & 0xC0) == 0x80;
}

// The length of the UTF-8 character at Text[At]: its lead byte's length when
// the continuation bytes are there, else 1.
std::size_t CharacterLength(const std::string& Text, std::size_t At) {
    const auto lead = static_cast<unsigned char>(Text[At]);
    std::size_t length = 1;
    if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
    } else if (lead >= 0xE0) {
        length = 3;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    }
    if (lead >= 0xF5 || At + length > Text.size()) return 1;
    for (std::size_t i = 1; i < length; ++i)
        if (!IsContinuation(static_cast<unsigned char>(Text[At + i]))) return 1;
    return length;
}

std::wstring LenientWide(const char* Data, std::size_t Size) {
    if (Size == 0) return {};
    const int size = static_cast<int>(Size);
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, Data, size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) ::MultiByteToWideChar(CP_UTF8, 0, Data, size, wide.data(), n);
    return wide;
}

std::size_t BytesIn(unsigned CodePage, const std::wstring& Wide) {
    const int n =
        ::WideCharToMultiByte(CodePage, 0, Wide.data(), static_cast<int>(Wide.size()), nullptr, 0, nullptr, nullptr);
    return n > 0 ? static_cast<std::size_t>(n) : 1;
}

}  // namespace

std::string CutToCodePageBytes(const std::string& Text, std::size_t MaxBytes, unsigned CodePage) {
    std::size_t at = 0;
    std::size_t bytes = 0;
    while (at < Text.size()) {
        const std::size_t length = CharacterLength(Text, at);
        bytes += BytesIn(CodePage, LenientWide(Text.data() + at, length));
        if (bytes > MaxBytes) break;
        at += length;
    }
    return Text.substr(0, at);
}

std::wstring HintToWide(const std::string& Text) {
    return LenientWide(Text.data(), Text.size());
}

}  // namespace quorvel
