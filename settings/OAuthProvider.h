#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

class TAccount;

// Names of the providers as "OAuthProvider" stores them.
inline constexpr std::string_view OAuthMicrosoft = "microsoft";
inline constexpr std::string_view OAuthGoogle = "google";
inline constexpr std::string_view OAuthCustom = "custom";

// Where and how an account signs in with OAuth 2.0.
struct TOAuthEndpoints {
    std::string AuthorizeUrl;
    std::string TokenUrl;
    std::string Scope;
    std::string ClientId;      // the account's own, else the build's default; may be empty
    std::string ClientSecret;  // sent only when not empty
};

// Whether Name is one of the three provider names.
bool IsOAuthProvider(std::string_view Name);

// The endpoints of Account's provider: the built-in ones for Microsoft and
// Google, the account's own for "custom"; the client id and secret are the
// account's when set, else what the build was configured with
// (QUORVEL_OAUTH_MICROSOFT_CLIENT_ID, QUORVEL_OAUTH_GOOGLE_CLIENT_ID,
// QUORVEL_OAUTH_GOOGLE_CLIENT_SECRET). Nothing for an unknown provider.
std::optional<TOAuthEndpoints> OAuthEndpointsFor(const TAccount& Account);

// The POP3 server and port of a built-in provider (empty host for others).
struct TProviderServer {
    std::string Host;
    int Port = 0;
};
TProviderServer OAuthProviderServer(std::string_view Provider);

}  // namespace quorvel
