#include "app/AccountCheck.h"

#include <exception>

#include "app/OAuthAccess.h"
#include "core/Exception.h"
#include "core/ScopeExit.h"
#include "net/Pop3Client.h"
#include "settings/Account.h"
#include "settings/SystemCodePage.h"

namespace quorvel {

namespace {

std::string WithoutLineEnd(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

}  // namespace

std::string AccountName(const TAccount& Account) {
    return Account.UserID + "@" + Account.Host;
}

TAccountCheckResult CheckAccount(TPop3Client& Client, const TAccount& Account, TOAuthAccess* OAuth) {
    TAccountCheckResult result;
    // The token and its renewal belong to this account alone.
    OnScopeExit forget([&Client] {
        Client.AccessToken.clear();
        Client.OnAuthenticationFailed = nullptr;
    });
    if (Account.Auth == TAuthMethod::OAuth) {
        if (Account.Security == TConnectionSecurity::None) {
            result.Message = "OAuth 2.0 needs TLS";
            return result;
        }
        if (OAuth == nullptr) {
            result.Message = "OAuth 2.0 is not available here";
            return result;
        }
        try {
            Client.AccessToken = OAuth->Current(Account);
        } catch (const std::exception& error) {
            result.Message = error.what();
            return result;
        }
        Client.OnAuthenticationFailed = [&Client, &Account, OAuth](bool& Handled) {
            Client.AccessToken = OAuth->Renewed(Account);
            Handled = true;
        };
    }
    // The server gets the user ID and the password as bytes of the system
    // code page, as earlier versions sent them (Shift-JIS on Japanese
    // Windows; UTF-8, unchanged, on Linux). One that the code page cannot
    // hold fails here, before any connection: a look-alike would be a wrong
    // password.
    try {
        Client.UserID = ToSystemCodePage(Account.UserID);
        Client.Password = ToSystemCodePage(Account.Password);
    } catch (const Exception& error) {
        result.Message = std::string("user ID or password: ") + error.what();
        return result;
    }
    Client.Host = Account.Host;
    Client.Port = Account.Port;
    Client.Security = Account.Security;
    Client.TlsPinnedSha256 = Account.CertFingerprint;
    try {
        Client.Connect();
        result.Counted = true;
        result.Count = Client.MessageCount();
        Client.Disconnect();
        result.Succeeded = true;
    } catch (const std::exception& error) {
        result.Message = WithoutLineEnd(error.what());
        if (result.Message.empty()) result.Message = "(empty reply)";
    }
    return result;
}

}  // namespace quorvel
