#include "settings/SystemCodePage_win32.h"

#include <windows.h>

#include "core/Exception.h"
#include "core/WideText_win32.h"
#include "settings/SystemCodePage.h"

namespace quorvel {

namespace {

unsigned TestCodePage = 0;

std::string CodePageName(unsigned CodePage) {
    return "code page " + std::to_string(CodePage == CP_ACP ? ::GetACP() : CodePage);
}

// UTF-16 as bytes of CodePage, or nothing when a character has no form there.
bool ToBytes(unsigned CodePage, const std::wstring& Wide, std::string& Bytes) {
    const int size = static_cast<int>(Wide.size());
    const bool utf = CodePage == CP_UTF8 || (CodePage == CP_ACP && ::GetACP() == CP_UTF8);
    // The UTF code pages take neither flag nor default-character test.
    const DWORD flags = utf ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = utf ? nullptr : &usedDefault;
    const int n = ::WideCharToMultiByte(CodePage, flags, Wide.data(), size, nullptr, 0, nullptr, usedDefaultOut);
    if (n <= 0 || usedDefault) return false;
    Bytes.assign(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CodePage, flags, Wide.data(), size, Bytes.data(), n, nullptr, nullptr);
    return true;
}

bool ToWide(unsigned CodePage, std::string_view Bytes, std::wstring& Wide) {
    const int size = static_cast<int>(Bytes.size());
    const int n = ::MultiByteToWideChar(CodePage, MB_ERR_INVALID_CHARS, Bytes.data(), size, nullptr, 0);
    if (n <= 0) return false;
    Wide.assign(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CodePage, MB_ERR_INVALID_CHARS, Bytes.data(), size, Wide.data(), n);
    return true;
}

}  // namespace

std::string ToCodePage(unsigned CodePage, std::string_view Utf8) {
    if (Utf8.empty()) return {};
    const std::wstring wide = WideFromUtf8(Utf8);
    std::string bytes;
    std::wstring back;
    // A character that maps to something else and back to another one (a
    // lossy mapping) is as unfit as one that does not map at all.
    if (!ToBytes(CodePage, wide, bytes) || !ToWide(CodePage, bytes, back) || back != wide) {
        throw Exception("the text holds a character that " + CodePageName(CodePage) + " cannot hold");
    }
    return bytes;
}

std::string FromCodePage(unsigned CodePage, std::string_view Bytes) {
    if (Bytes.empty()) return {};
    std::wstring wide;
    if (!ToWide(CodePage, Bytes, wide)) {
        throw Exception("the bytes are not valid text in " + CodePageName(CodePage));
    }
    return Utf8FromWide(wide);
}

unsigned SystemCodePage() {
    return TestCodePage;
}

void SetSystemCodePageForTesting(unsigned CodePage) {
    TestCodePage = CodePage;
}

std::string ToSystemCodePage(std::string_view Utf8) {
    return ToCodePage(SystemCodePage(), Utf8);
}

std::string FromSystemCodePage(std::string_view Bytes) {
    return FromCodePage(SystemCodePage(), Bytes);
}

}  // namespace quorvel
