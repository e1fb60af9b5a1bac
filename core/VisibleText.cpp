#include "core/VisibleText.h"

#include <cstdint>

namespace quorvel {

namespace {

constexpr char HexDigits[] = "0123456789abcdef";

void AppendByteEscape(std::string& out, unsigned char b) {
    out += "\\x";
    out += HexDigits[b >> 4];
    out += HexDigits[b & 0x0F];
}

// Length of the valid UTF-8 sequence at Text[i], or 0 when it is not one.
std::size_t Utf8Length(std::string_view Text, std::size_t i) {
    const auto b0 = static_cast<unsigned char>(Text[i]);
    std::size_t length = 0;
    std::uint32_t min = 0;
    std::uint32_t cp = 0;
    if (b0 < 0x80) return 1;
    if ((b0 & 0xE0) == 0xC0) {
        length = 2;
        min = 0x80;
        cp = b0 & 0x1Fu;
    } else if ((b0 & 0xF0) == 0xE0) {
        length = 3;
        min = 0x800;
        cp = b0 & 0x0Fu;
    } else if ((b0 & 0xF8) == 0xF0) {
        length = 4;
        min = 0x10000;
        cp = b0 & 0x07u;
    } else {
        return 0;
    }
    if (i + length > Text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto b = static_cast<unsigned char>(Text[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3Fu);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return length;
}

bool IsC1(std::string_view Text, std::size_t i) {
    return static_cast<unsigned char>(Text[i]) == 0xC2 && i + 1 < Text.size() &&
           static_cast<unsigned char>(Text[i + 1]) >= 0x80 && static_cast<unsigned char>(Text[i + 1]) <= 0x9F;
}

}  // namespace

std::string VisibleText(std::string_view Text) {
    std::string out;
    out.reserve(Text.size());
    std::size_t i = 0;
    while (i < Text.size()) {
        const auto b = static_cast<unsigned char>(Text[i]);
        if ((b < 0x20 && b != '\t') || b == 0x7F) {
            AppendByteEscape(out, b);
            ++i;
            continue;
        }
        const std::size_t length = Utf8Length(Text, i);
        if (length == 0) {
            AppendByteEscape(out, b);
            ++i;
        } else if (length == 2 && IsC1(Text, i)) {
            const auto c = static_cast<unsigned char>(Text[i + 1]);
            out += "\\u00";
            out += HexDigits[c >> 4];
            out += HexDigits[c & 0x0F];
            i += 2;
        } else {
            out.append(Text.substr(i, length));
            i += length;
        }
    }
    return out;
}

bool HoldsControlCharacter(std::string_view Text) {
    for (std::size_t i = 0; i < Text.size(); ++i) {
        const auto b = static_cast<unsigned char>(Text[i]);
        if (b < 0x20 || b == 0x7F || IsC1(Text, i)) return true;
    }
    return false;
}

}  // namespace quorvel
