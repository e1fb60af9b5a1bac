#pragma once

#include <string>
#include <string_view>

namespace quorvel {

// Text from a server or from the settings file made safe to show on a
// terminal or in the tray: every control character is replaced by a visible
// escape, everything else stays as it is (a backslash included).
//   C0 controls (0x00..0x1F) except tab, and DEL (0x7F): "\x" and two
//   lower-case hexadecimal digits, e.g. ESC -> "\x1b", NUL -> "\x00".
//   C1 controls (U+0080..U+009F, written in UTF-8 as C2 80..C2 9F): "\u" and
//   four lower-case digits, e.g. CSI -> "\u009b".
//   A byte that is not part of valid UTF-8 (a Shift-JIS or Latin-1 byte, a
//   lone 0x9B): "\x" and its two digits, so no terminal can take it for C1.
std::string VisibleText(std::string_view Text);

// Whether Text holds a control character as VisibleText counts them: a C0
// control (tab included), DEL, or a C1 control in UTF-8.
bool HoldsControlCharacter(std::string_view Text);

}  // namespace quorvel
