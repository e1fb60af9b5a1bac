#pragma once

#include <ostream>

namespace quorvel {

class TAccounts;
class TOAuthAccess;
class TPop3Client;

// Runs one check cycle over Accounts with the tray's own code and writes what
// the tray would show: the status hint, the signal level, then the new-mail
// summary, one line per account with mail. Returns true when the cycle failed.
bool ReportTrayCycle(TAccounts& Accounts, TPop3Client& Client, std::ostream& Out, TOAuthAccess* OAuth = nullptr);

}  // namespace quorvel
