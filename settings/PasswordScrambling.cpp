#include <string>

#include "core/Exception.h"
#include "settings/Settings.h"

namespace quorvel {

namespace {

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string HexEncode(std::string_view Text) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string result;
    result.reserve(Text.size() * 2);
    for (char c : Text) {
        const auto b = static_cast<unsigned char>(c);
        result += Digits[b >> 4];
        result += Digits[b & 0x0F];
    }
    return result;
}

std::string ReverseText(std::string_view Text) {
    return std::string(Text.rbegin(), Text.rend());
}

std::string HexDecode(std::string_view Text) {
    std::string result;
    result.reserve(Text.size() / 2);
    for (std::size_t i = 0; i + 1 < Text.size(); i += 2) {
        const int high = HexDigitValue(Text[i]);
        const int low = HexDigitValue(Text[i + 1]);
        if (high < 0 || low < 0) {
            throw Exception("'" + std::string(Text.substr(i, 2)) + "' is not a valid hexadecimal pair");
        }
        result += static_cast<char>(high * 16 + low);
    }
    return result;
}

std::string EncodePassword(std::string_view Plain) {
    return ReverseText(HexEncode(ReverseText(HexEncode(Plain))));
}

std::string DecodePassword(std::string_view Stored) {
    return HexDecode(ReverseText(HexDecode(ReverseText(Stored))));
}

}  // namespace quorvel
