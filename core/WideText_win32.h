#pragma once

#include <string>
#include <string_view>

namespace quorvel {

// UTF-8 inside the program, UTF-16 at the Win32 boundary. Both raise
// quorvel::Exception on text that is not valid in its encoding (nothing is
// replaced).
std::wstring WideFromUtf8(std::string_view Utf8);
std::string Utf8FromWide(std::wstring_view Wide);

// The system's own words for the error number Error (GetLastError), without
// the trailing line break; empty when the system has none.
std::string SystemErrorText(unsigned long Error);

}  // namespace quorvel
