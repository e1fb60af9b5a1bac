#pragma once

#include <string>
#include <string_view>

namespace quorvel {

// Conversions between UTF-8 and the bytes of one Windows code page (932 is
// Shift-JIS). They raise quorvel::Exception when a character has no exact
// form in the target; a text that would not come back unchanged counts as
// such (no best-fit look-alikes, no "?").
std::string ToCodePage(unsigned CodePage, std::string_view Utf8);
std::string FromCodePage(unsigned CodePage, std::string_view Bytes);

// The code page that ToSystemCodePage and FromSystemCodePage use: CP_ACP
// (the system's ANSI code page) unless a test chose another; 0 restores it.
unsigned SystemCodePage();
void SetSystemCodePageForTesting(unsigned CodePage);

}  // namespace quorvel
