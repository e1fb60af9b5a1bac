#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

// How an account's connection is protected. The numbers are what the
// settings store; an account stored without a value is None.
enum class TConnectionSecurity : std::int32_t {
    None = 0,         // plaintext, as every account stored before the value existed
    Stls = 1,         // STLS right after the greeting (RFC 2595); failing it fails the account
    ImplicitTls = 2,  // TLS from the first byte (RFC 8314)
};

// The security a stored number names; nothing for a number outside 0 .. 2.
std::optional<TConnectionSecurity> SecurityFromNumber(std::int64_t Number);

// The port servers usually use for Security: 110, or 995 for implicit TLS.
std::int32_t UsualPort(TConnectionSecurity Security);

// A SHA-256 certificate fingerprint as the program keeps it: 64 lowercase hex
// digits. Accepts upper case and the usual ':' or blank separators between
// digit pairs; nothing for any other text.
std::optional<std::string> NormalizeFingerprint(std::string_view Text);

}  // namespace quorvel
