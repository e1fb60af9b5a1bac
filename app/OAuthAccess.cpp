#include "app/OAuthAccess.h"

#include <chrono>
#include <optional>

#include "app/AccountCheck.h"
#include "core/Exception.h"
#include "net/HttpClient.h"
#include "net/OAuthFlow.h"
#include "net/RedirectListener.h"
#include "settings/Account.h"
#include "settings/OAuthProvider.h"
#include "settings/SecretStore.h"

namespace quorvel {

namespace {

TOAuthClient ClientOf(const TAccount& Account) {
    const std::optional<TOAuthClient> client = OAuthClientFor(Account);
    if (!client) throw Exception("OAuth: unknown provider \"" + Account.OAuthProvider + "\"");
    if (client->ClientId.empty()) {
        throw Exception(
            "OAuth: a client id is needed: set one for the account (OAuthClientId) or build with "
            "QUORVEL_OAUTH_MICROSOFT_CLIENT_ID / QUORVEL_OAUTH_GOOGLE_CLIENT_ID "
            "(docs/OAUTH-CLIENT-IDS.md)");
    }
    return *client;
}

}  // namespace

std::int64_t SystemWallClock() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

TOAuthAccess::TOAuthAccess(ISecretStore& Store, IHttpClient& Http, IEventLoop* Loop, TWallClock Now)
    : FStore(Store), FHttp(Http), FLoop(Loop), FNow(std::move(Now)) {}

std::string TOAuthAccess::Current(const TAccount& Account) {
    return Obtain(Account, false);
}

std::string TOAuthAccess::Renewed(const TAccount& Account) {
    return Obtain(Account, true);
}

std::string TOAuthAccess::Obtain(const TAccount& Account, bool Force) {
    std::string token;
    if (FLoop == nullptr) return ObtainNow(Account, Force);
    RunBesideLoop(*FLoop, [&] { token = ObtainNow(Account, Force); });
    return token;
}

std::string TOAuthAccess::ObtainNow(const TAccount& Account, bool Force) {
    const std::string name = AccountName(Account);
    const std::optional<std::string> text = FStore.Load(name);
    const std::optional<TTokenSet> stored = text ? TokenSetFromText(*text) : std::nullopt;
    if (!stored) throw Exception(SignInAgainText);
    if (!Force && !stored->AccessToken.empty() && stored->ExpiresAt - FNow() >= RefreshMarginSeconds) {
        return stored->AccessToken;
    }
    if (stored->RefreshToken.empty()) throw Exception(SignInAgainText);
    const TOAuthClient client = ClientOf(Account);
    const std::int64_t asked = FNow();
    const TTokenAnswer answer =
        ReadTokenAnswer(FHttp.PostForm(client.TokenUrl, RefreshGrantBody(client, stored->RefreshToken)), asked);
    if (!answer.Ok) {
        if (answer.Error == "invalid_grant") throw Exception(SignInAgainText);
        throw Exception(answer.Text);
    }
    TTokenSet fresh = answer.Tokens;
    // A provider that does not rotate keeps the refresh token it had.
    if (fresh.RefreshToken.empty()) fresh.RefreshToken = stored->RefreshToken;
    // Stored first: the old refresh token may be void already.
    FStore.Save(name, TokenSetText(fresh));
    return fresh.AccessToken;
}

void SignIn(IEventLoop& Loop, const TAccount& Account, ISecretStore& Store, IHttpClient& Http,
            const std::function<void(const std::string& Url)>& OpenBrowser,
            const std::function<void(const std::string&)>& Tell, TWallClock Now) {
    if (Account.Auth != TAuthMethod::OAuth) throw Exception("the account does not sign in with OAuth 2.0");
    const TOAuthClient client = ClientOf(Account);
    if (!IsAllowedTokenUrl(client.TokenUrl)) {
        throw Exception("OAuth: " + client.TokenUrl + " is refused: only https:// (or http:// on this computer)");
    }
    const std::string name = AccountName(Account);
    // Asked first, so that a missing store is told before the browser opens.
    RunBesideLoop(Loop, [&] { Store.Load(name); });

    const TPkce pkce = MakePkce();
    TRedirectListener listener(Loop, pkce.State);
    const std::string url = AuthorizationUrl(client, listener.RedirectUri(), pkce, Account.UserID);
    Tell(url);
    OpenBrowser(url);
    const std::string code = listener.WaitForCode();

    TTokenAnswer answer;
    RunBesideLoop(Loop, [&] {
        answer = ReadTokenAnswer(
            Http.PostForm(client.TokenUrl, CodeGrantBody(client, code, pkce.Verifier, listener.RedirectUri())), Now());
    });
    if (!answer.Ok) throw Exception(answer.Text);
    RunBesideLoop(Loop, [&] { Store.Save(name, TokenSetText(answer.Tokens)); });
}

}  // namespace quorvel
