#include "app/AccountSignIn.h"

#include "app/AccountCheck.h"
#include "app/Browser.h"
#include "app/OAuthAccess.h"
#include "net/HttpClient.h"
#include "settings/SecretStore.h"

namespace quorvel {

bool TAccountSignIn::SignedIn(const TAccount& Account) {
    bool stored = false;
    const auto store = OpenSecretStore();
    RunBesideLoop(FLoop, [&] { stored = store->Load(AccountName(Account)).has_value(); });
    return stored;
}

void TAccountSignIn::SignIn(const TAccount& Account) {
    const auto store = OpenSecretStore();
    const auto http = MakeHttpClient();
    quorvel::SignIn(FLoop, Account, *store, *http, OpenInBrowser, [](const std::string&) {});
}

}  // namespace quorvel
