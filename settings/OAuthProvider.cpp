#include "settings/OAuthProvider.h"

#include "settings/Account.h"

#ifndef QUORVEL_OAUTH_MICROSOFT_CLIENT_ID
#define QUORVEL_OAUTH_MICROSOFT_CLIENT_ID ""
#endif
#ifndef QUORVEL_OAUTH_GOOGLE_CLIENT_ID
#define QUORVEL_OAUTH_GOOGLE_CLIENT_ID ""
#endif
#ifndef QUORVEL_OAUTH_GOOGLE_CLIENT_SECRET
#define QUORVEL_OAUTH_GOOGLE_CLIENT_SECRET ""
#endif

namespace quorvel {

bool IsOAuthProvider(std::string_view Name) {
    return Name == OAuthMicrosoft || Name == OAuthGoogle || Name == OAuthCustom;
}

std::optional<TOAuthClient> OAuthClientFor(const TAccount& Account) {
    TOAuthClient endpoints;
    std::string defaultId;
    std::string defaultSecret;
    if (Account.OAuthProvider == OAuthMicrosoft) {
        endpoints.AuthorizeUrl = "https://login.microsoftonline.com/common/oauth2/v2.0/authorize";
        endpoints.TokenUrl = "https://login.microsoftonline.com/common/oauth2/v2.0/token";
        endpoints.Scope = "https://outlook.office.com/POP.AccessAsUser.All offline_access";
        defaultId = QUORVEL_OAUTH_MICROSOFT_CLIENT_ID;
    } else if (Account.OAuthProvider == OAuthGoogle) {
        endpoints.AuthorizeUrl = "https://accounts.google.com/o/oauth2/v2/auth";
        endpoints.TokenUrl = "https://oauth2.googleapis.com/token";
        endpoints.Scope = "https://mail.google.com/";
        defaultId = QUORVEL_OAUTH_GOOGLE_CLIENT_ID;
        defaultSecret = QUORVEL_OAUTH_GOOGLE_CLIENT_SECRET;
    } else if (Account.OAuthProvider == OAuthCustom) {
        endpoints.AuthorizeUrl = Account.OAuthAuthorizeUrl;
        endpoints.TokenUrl = Account.OAuthTokenUrl;
        endpoints.Scope = Account.OAuthScope;
    } else {
        return std::nullopt;
    }
    // A secret belongs to its client id: the build's secret goes only with
    // the build's id.
    if (Account.OAuthClientId.empty()) {
        endpoints.ClientId = defaultId;
        endpoints.ClientSecret = defaultSecret;
    } else {
        endpoints.ClientId = Account.OAuthClientId;
        endpoints.ClientSecret = Account.OAuthClientSecret;
    }
    return endpoints;
}

TProviderServer OAuthProviderServer(std::string_view Provider) {
    if (Provider == OAuthMicrosoft) return {"outlook.office365.com", 995};
    if (Provider == OAuthGoogle) return {"pop.gmail.com", 995};
    return {};
}

}  // namespace quorvel
