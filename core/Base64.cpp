#include "core/Base64.h"

#include <cstdint>

namespace quorvel {

std::string Base64Encode(std::string_view Bytes, bool UrlSafe) {
    const char* const digits = UrlSafe ? "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"
                                       : "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve((Bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= Bytes.size(); i += 3) {
        const std::uint32_t group = static_cast<std::uint32_t>(static_cast<unsigned char>(Bytes[i])) << 16 |
                                    static_cast<std::uint32_t>(static_cast<unsigned char>(Bytes[i + 1])) << 8 |
                                    static_cast<unsigned char>(Bytes[i + 2]);
        for (int shift = 18; shift >= 0; shift -= 6) text += digits[(group >> shift) & 63];
    }
    const std::size_t rest = Bytes.size() - i;
    if (rest > 0) {
        std::uint32_t group = static_cast<std::uint32_t>(static_cast<unsigned char>(Bytes[i])) << 16;
        if (rest == 2) group |= static_cast<std::uint32_t>(static_cast<unsigned char>(Bytes[i + 1])) << 8;
        text += digits[(group >> 18) & 63];
        text += digits[(group >> 12) & 63];
        if (rest == 2) text += digits[(group >> 6) & 63];
        if (!UrlSafe) text.append(rest == 1 ? "==" : "=");
    }
    return text;
}

}  // namespace quorvel
