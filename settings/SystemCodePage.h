#pragma once

#include <string>
#include <string_view>

namespace quorvel {

// Text inside the program is UTF-8. Stored passwords are scrambled over the
// bytes of the system code page, as the settings of earlier versions hold
// them (Shift-JIS on Japanese Windows; UTF-8 on Linux, where both are the
// identity).

// The UTF-8 text as bytes of the system code page. Raises quorvel::Exception
// when the text is not valid UTF-8 or holds a character that the code page
// cannot hold; nothing is replaced by a look-alike or a "?".
std::string ToSystemCodePage(std::string_view Utf8);
// Bytes of the system code page as UTF-8. Raises quorvel::Exception when
// they are not valid text in that code page.
std::string FromSystemCodePage(std::string_view Bytes);

}  // namespace quorvel
