#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "net/OAuthFlow.h"

namespace quorvel {

class TAccount;

// Names of the providers as "OAuthProvider" stores them.
inline constexpr std::string_view OAuthMicrosoft = "microsoft";
inline constexpr std::string_view OAuthGoogle = "google";
inline constexpr std::string_view OAuthCustom = "custom";

// Whether Name is one of the three provider names.
bool IsOAuthProvider(std::string_view Name);

// Where Account signs in: the built-in ones for Microsoft and
// Google, the account's own for "custom"; the client id and secret are the
// account's when set, else what the build was configured with
// (QUORVEL_OAUTH_MICROSOFT_CLIENT_ID, QUORVEL_OAUTH_GOOGLE_CLIENT_ID,
// QUORVEL_OAUTH_GOOGLE_CLIENT_SECRET). Nothing for an unknown provider.
std::optional<TOAuthClient> OAuthClientFor(const TAccount& Account);

// The POP3 server and port of a built-in provider (empty host for others).
struct TProviderServer {
    std::string Host;
    int Port = 0;
};
TProviderServer OAuthProviderServer(std::string_view Provider);

}  // namespace quorvel
