#pragma once

#include <string>
#include <string_view>

namespace quorvel {

// Bytes as base64 (RFC 4648 §4, with padding), or with UrlSafe as base64url
// without padding (§5), as PKCE and JSON Web Tokens use it.
std::string Base64Encode(std::string_view Bytes, bool UrlSafe = false);

}  // namespace quorvel
