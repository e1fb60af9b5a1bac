#pragma once

#include <cstdint>
#include <string>

namespace quorvel {

class TAccount;
class TOAuthAccess;
class TPop3Client;

// Limit of each single network wait of a check. A server that accepts the
// connection and then never answers fails that account after this long
// instead of holding up every later check.
constexpr std::int32_t CheckTimeOutMs = 60000;

struct TAccountCheckResult {
    bool Succeeded = false;
    bool Counted = false;  // the server gave a message count (also when QUIT failed)
    std::int32_t Count = 0;
    std::string Message;  // the failure's message, without its line end
};

// Checks one account the way the tray does: log in, STAT, QUIT. Never throws
// for a failure of the account; the failure's message is in the result.
// An OAuth account logs in with the token OAuth gives (without one it
// fails); a token the server refuses is renewed once and tried again.
TAccountCheckResult CheckAccount(TPop3Client& Client, const TAccount& Account, TOAuthAccess* OAuth = nullptr);

// The account as the tray's summary names it: UserID "@" Host.
std::string AccountName(const TAccount& Account);

}  // namespace quorvel
