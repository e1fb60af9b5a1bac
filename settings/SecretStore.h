#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/Exception.h"

namespace quorvel {

class TAccounts;

// The system's secret store holds what must not be in the settings file:
// the OAuth tokens of each account, keyed by the account's name (user@host).
class ISecretStore {
public:
    virtual ~ISecretStore() = default;
    // The secret kept for Account; nothing when none is.
    virtual std::optional<std::string> Load(const std::string& Account) = 0;
    // Replaces the secret kept for Account.
    virtual void Save(const std::string& Account, const std::string& Secret) = 0;
    // Forgets Account's secret; nothing happens when there is none.
    virtual void Delete(const std::string& Account) = 0;
};

// No secret store answers in this session. Every call raises it, with
// NoSecretStoreText (each platform's own words) as the message.
class ESecretStoreUnavailable : public Exception {
public:
    using Exception::Exception;
};
extern const char* const NoSecretStoreText;

// The user's secret store: the Secret Service (GNOME Keyring, KWallet) over
// D-Bus on Linux; the Credential Manager on Windows. Opening it asks
// nothing: a missing store is found at the first call.
std::unique_ptr<ISecretStore> OpenSecretStore();

// The names (user@host) of the OAuth accounts in Accounts.
std::vector<std::string> OAuthAccountNames(const TAccounts& Accounts);
// Deletes the tokens of every name in Before that is no longer an OAuth
// account of After (an account removed, renamed or set back to password).
// A store that cannot be reached is left as it is.
void ForgetRemovedTokens(ISecretStore& Store, const std::vector<std::string>& Before, const TAccounts& After);

}  // namespace quorvel
