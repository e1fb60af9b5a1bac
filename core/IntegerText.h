#pragma once

#include <cstdint>
#include <string_view>

namespace quorvel {

// Reads a 32-bit integer written as text: leading blanks, an optional sign,
// then decimal digits, or hexadecimal digits after "$", "x" or "0x" (x in
// either case), and nothing after the digits. Decimal text must lie in the
// signed 32-bit range; hexadecimal text may use all 32 bits (FFFFFFFF is -1).
bool TryStrToInt(std::string_view text, std::int32_t& value);

// TryStrToInt, or Default when the text is not such an integer.
std::int32_t StrToIntDef(std::string_view text, std::int32_t Default);

}  // namespace quorvel
