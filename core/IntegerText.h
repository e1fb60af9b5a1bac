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

// Whether the whole text is one integer that fits in 64 bits: leading spaces,
// an optional sign, then decimal digits, or hexadecimal digits after "$",
// "0x" or "0X", and nothing after the digits. Decimal text must lie in the
// signed 64-bit range; hexadecimal text may use all 64 bits. The account and
// options dialogs check their number fields with it.
bool IsIntegerText(std::string_view Text);

}  // namespace quorvel
