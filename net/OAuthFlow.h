#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quorvel {

struct THttpResponse;

// Where and how an account signs in with OAuth 2.0.
struct TOAuthClient {
    std::string AuthorizeUrl;
    std::string TokenUrl;
    std::string Scope;
    std::string ClientId;
    std::string ClientSecret;  // sent only when not empty
};

// What the secret store keeps for an account.
struct TTokenSet {
    std::string AccessToken;
    std::string RefreshToken;
    std::int64_t ExpiresAt = 0;  // seconds since 1970 (UTC)
};

// The proof key of one authorization (RFC 7636, S256) and its state.
struct TPkce {
    std::string Verifier;   // 43 characters of base64url
    std::string Challenge;  // base64url(SHA-256(Verifier))
    std::string State;      // a random value the redirect must bring back
};
TPkce MakePkce();
// base64url(SHA-256(Verifier)).
std::string PkceChallenge(const std::string& Verifier);

// Percent-encoding for form and query values (RFC 3986 unreserved kept).
std::string UrlEncode(const std::string& Text);

// The address the browser opens.
std::string AuthorizationUrl(const TOAuthClient& Client, const std::string& RedirectUri, const TPkce& Pkce,
                             const std::string& LoginHint);
// Form bodies of the two token requests.
std::string CodeGrantBody(const TOAuthClient& Client, const std::string& Code, const std::string& Verifier,
                          const std::string& RedirectUri);
std::string RefreshGrantBody(const TOAuthClient& Client, const std::string& RefreshToken);

// A token endpoint's answer: the tokens, or the error it gave.
struct TTokenAnswer {
    bool Ok = false;
    TTokenSet Tokens;   // with Ok; RefreshToken empty when none was sent
    std::string Error;  // without Ok: the OAuth error code ("invalid_grant"), else empty
    std::string Text;   // without Ok: what to tell the user
};
TTokenAnswer ReadTokenAnswer(const THttpResponse& Response, std::int64_t Now);

// The tokens as the secret store keeps them (JSON), and back; nothing for
// text that is not such a record.
std::string TokenSetText(const TTokenSet& Tokens);
std::optional<TTokenSet> TokenSetFromText(const std::string& Text);

// The query values of the redirect's request target ("/?code=..&state=..").
struct TRedirectQuery {
    std::string Code;
    std::string State;
    std::string Error;  // the provider's "error", when the user refused
};
TRedirectQuery ReadRedirectTarget(const std::string& Target);

}  // namespace quorvel
