#include "core/ConnectionSecurity.h"

namespace quorvel {

std::optional<TConnectionSecurity> SecurityFromNumber(std::int64_t Number) {
    if (Number < 0 || Number > 2) return std::nullopt;
    return static_cast<TConnectionSecurity>(Number);
}

std::int32_t UsualPort(TConnectionSecurity Security) {
    return Security == TConnectionSecurity::ImplicitTls ? 995 : 110;
}

std::optional<std::string> NormalizeFingerprint(std::string_view Text) {
    std::string digits;
    for (const char c : Text) {
        if (c == ':' || c == ' ') continue;
        if (c >= '0' && c <= '9') {
            digits += c;
        } else if (c >= 'a' && c <= 'f') {
            digits += c;
        } else if (c >= 'A' && c <= 'F') {
            digits += static_cast<char>(c - 'A' + 'a');
        } else {
            return std::nullopt;
        }
    }
    if (digits.size() != 64) return std::nullopt;
    return digits;
}

}  // namespace quorvel
