#include "app/AccountCheck.h"

#include <exception>

#include "core/Exception.h"
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

AccountCheckResult CheckAccount(TPop3Client& Client, const TAccount& Account) {
    AccountCheckResult result;
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
