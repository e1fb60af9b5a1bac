#pragma once

#include <cstddef>
#include <string>

namespace quorvel {

// The hint of a Windows tray icon. Windows shows at most 63 bytes of ANSI
// text there, so the hint is counted in bytes of a code page (the system's,
// see settings/SystemCodePage_win32.h) and cut only between characters.

// The longest start of the UTF-8 Text whose characters take at most MaxBytes
// bytes in CodePage. A character the code page cannot hold counts as the
// bytes of its stand-in ("?"); a byte that is no UTF-8 counts as one.
std::string CutToCodePageBytes(const std::string& Text, std::size_t MaxBytes, unsigned CodePage);

// The UTF-16 form of a hint for the notification area; a byte that is no
// UTF-8 becomes U+FFFD, so a hint is never refused.
std::wstring HintToWide(const std::string& Text);

}  // namespace quorvel
