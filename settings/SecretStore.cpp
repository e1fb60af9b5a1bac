#include "settings/SecretStore.h"

#include <algorithm>

#include "settings/Account.h"

namespace quorvel {

std::vector<std::string> OAuthAccountNames(const TAccounts& Accounts) {
    std::vector<std::string> names;
    for (std::int32_t i = 0; i < Accounts.Count(); ++i) {
        const TAccount& account = Accounts.Items(i);
        if (account.Auth == TAuthMethod::OAuth) names.push_back(account.UserID + "@" + account.Host);
    }
    return names;
}

void ForgetRemovedTokens(ISecretStore& Store, const std::vector<std::string>& Before, const TAccounts& After) {
    const std::vector<std::string> now = OAuthAccountNames(After);
    for (const std::string& name : Before) {
        if (std::find(now.begin(), now.end(), name) != now.end()) continue;
        try {
            Store.Delete(name);
        } catch (const Exception&) {
            // Without a store there is nothing to delete.
        }
    }
}

}  // namespace quorvel
