#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/ConnectionSecurity.h"

namespace quorvel {

// How an account logs in. The numbers are what the settings store as "Auth".
enum class TAuthMethod : std::int32_t {
    Password = 0,  // USER and PASS, as every account stored before the value existed
    OAuth = 1,     // AUTH XOAUTH2 with a bearer token; only over TLS
};

// One POP3 mailbox. The fields are read and written directly by the settings
// store, the account dialogs and the check cycle.
class TAccount {
public:
    std::string Host;            // server name or address as typed
    std::int32_t Port = 0;       // TCP port of the server
    std::string Password;        // plain text, in memory only
    std::string UserID;          // login name
    bool Enabled = false;        // whether the check cycle visits this account
    std::int32_t LastCount = 0;  // count found by the last check with mail; never stored
    // How the connection is protected; stored only when not None or when a
    // fingerprint is set, so accounts without it round-trip unchanged.
    TConnectionSecurity Security = TConnectionSecurity::None;
    // SHA-256 of the one certificate trusted although the normal check
    // fails it (NormalizeFingerprint form), set by the user; empty: none.
    std::string CertFingerprint{};
    // OAuth 2.0 instead of the password; the values below are stored only
    // for such accounts. The tokens live in the system's secret store,
    // never here.
    TAuthMethod Auth = TAuthMethod::Password;
    std::string OAuthProvider{};      // "microsoft", "google" or "custom"
    std::string OAuthClientId{};      // empty: the build's default for the provider
    std::string OAuthClientSecret{};  // only for clients that are issued one (Google "Desktop app")
    std::string OAuthAuthorizeUrl{};  // custom provider only
    std::string OAuthTokenUrl{};      // custom provider only
    std::string OAuthScope{};         // custom provider only
};

// The ordered account list. Items keep their addresses for their whole life,
// so a dialog row may hold a reference to its account.
class TAccounts {
public:
    TAccounts() = default;
    TAccounts(const TAccounts&) = delete;
    TAccounts& operator=(const TAccounts&) = delete;

    // Appends a freshly initialised account and returns it.
    TAccount& Add();
    // The account at Index; raises quorvel::Exception
    // "List index out of bounds (Index)" outside 0 .. Count() - 1.
    TAccount& Items(std::int32_t Index);
    const TAccount& Items(std::int32_t Index) const;
    std::int32_t Count() const;
    // Destroys the account at Index; later accounts move down.
    // Raises the same index error as Items.
    void Delete(std::int32_t Index);
    // Destroys the given account if it belongs to this list; otherwise nothing.
    void Remove(const TAccount& Account);
    // A handle on the account at Index that expires when the account is
    // destroyed, so a caller that runs the event loop (the check cycle) can
    // tell afterwards whether the account still exists. Same index error.
    std::weak_ptr<TAccount> Track(std::int32_t Index) const;
    // Position of Account in the list, or -1 when it is not in it.
    std::int32_t IndexOf(const TAccount& Account) const;
    void Clear();

private:
    void CheckIndex(std::int32_t Index) const;

    std::vector<std::shared_ptr<TAccount>> FItems;
};

}  // namespace quorvel
