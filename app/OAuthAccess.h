#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace quorvel {

class IEventLoop;
class IHttpClient;
class ISecretStore;
class TAccount;
struct TTokenSet;

// An access token with less than this left is renewed before a log-in.
inline constexpr std::int64_t RefreshMarginSeconds = 5 * 60;
// What an account says when only a new sign-in can help.
inline constexpr const char* SignInAgainText = "OAuth: sign in again";

// Seconds since 1970 (UTC).
using TWallClock = std::function<std::int64_t()>;
std::int64_t SystemWallClock();

// The token rules of a check: the stored access token while it has five
// minutes left, else one refreshed with the refresh token; a refreshed
// token and a rotated refresh token are stored before they are used. A
// refused refresh token (invalid_grant), or no tokens at all, fails with
// SignInAgainText: a check never opens the browser by itself.
//
// With a Loop, the secret store and the token calls run beside it, so the
// program goes on handling its events while they wait (each call bounded).
class TOAuthAccess {
public:
    TOAuthAccess(ISecretStore& Store, IHttpClient& Http, IEventLoop* Loop, TWallClock Now = SystemWallClock);

    // The access token to log in with. Raises quorvel::Exception.
    std::string Current(const TAccount& Account);
    // The server refused the last token: a fresh one, refreshed now.
    std::string Renewed(const TAccount& Account);

private:
    std::string Obtain(const TAccount& Account, bool Force);
    std::string ObtainNow(const TAccount& Account, bool Force);

    ISecretStore& FStore;
    IHttpClient& FHttp;
    IEventLoop* FLoop;
    TWallClock FNow;
};

// The whole sign-in of Account: the browser opens the provider's page with
// a PKCE challenge and a redirect to a listener on 127.0.0.1; the code that
// comes back is exchanged at once and the tokens are stored. Nothing is
// stored when any step fails (quorvel::Exception says which); a missing
// client id or secret store is found before the browser opens. Tell gets
// the address the browser is sent to, for the user to open by hand.
void SignIn(IEventLoop& Loop, const TAccount& Account, ISecretStore& Store, IHttpClient& Http,
            const std::function<void(const std::string& Url)>& OpenBrowser,
            const std::function<void(const std::string&)>& Tell, TWallClock Now = SystemWallClock);

}  // namespace quorvel
