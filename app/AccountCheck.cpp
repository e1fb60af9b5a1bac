#include "app/AccountCheck.h"

#include <exception>

#include "net/Pop3Client.h"
#include "settings/Account.h"

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
    Client.UserID = Account.UserID;
    Client.Password = Account.Password;
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
