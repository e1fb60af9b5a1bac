// quorvel-check end to end: settings written the way the tray writes them,
// the built program run as a user would run it, a real Dovecot server.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "settings/Account.h"
#include "settings/RegistryStore.h"
#include "settings/Settings.h"
#include "tests/pop3server/ChildProcess.h"
#include "tests/pop3server/DovecotServer.h"
#include "tests/support/TempFolder.h"

#ifndef QUORVEL_CHECK_PROGRAM
#error "QUORVEL_CHECK_PROGRAM must name the built quorvel-check"
#endif

namespace quorvel {
namespace {

// The program's own limit is 60 s per wait; a run against loopback takes a
// few seconds at most.
constexpr std::chrono::seconds RunLimit{100};

TAccount& AddAccount(TAccounts& Accounts, const std::string& Host, std::int32_t Port, const std::string& User,
                     const std::string& Password, bool Enabled) {
    TAccount& Account = Accounts.Add();
    Account.Host = Host;
    Account.Port = Port;
    Account.UserID = User;
    Account.Password = Password;
    Account.Enabled = Enabled;
    return Account;
}

void SaveInto(const TTempFolder& Config, const TAccounts& Accounts) {
    std::filesystem::create_directories(Config.Path() / "Quorvel");
    TRegistryStore Store(Config.Path() / "Quorvel" / "registry.reg");
    SaveAccounts(Store, Accounts);
    SaveInterval(Store, 5 * 60000);
}

ChildResult RunCheck(const TTempFolder& Config) {
    return RunChild(QUORVEL_CHECK_PROGRAM, {}, {{"XDG_CONFIG_HOME", Config.Path().string()}},
                    std::chrono::duration_cast<std::chrono::milliseconds>(RunLimit));
}

TEST(QuorvelCheckTest, ReportsEveryEnabledAccountInOrder) {
    DovecotServer Gone({{"x", "p", 1}});
    const std::int32_t GonePort = Gone.Port();
    Gone.Stop();
    DovecotServer Server(
        {{"alice", "a-pass", 3}, {"bob", "b-pass", 0}, {"carol", "c-pass", 300}, {"dave", "d-pass", 7}});
    const std::string H = Server.Host();
    const std::int32_t P = Server.Port();
    TTempFolder Config;
    TAccounts Accounts;
    AddAccount(Accounts, H, GonePort, "x", "p", true);  // refused: the next account is still checked
    AddAccount(Accounts, H, P, "alice", "a-pass", true);
    AddAccount(Accounts, H, P, "dave", "d-pass", false);  // disabled: not checked, not printed
    AddAccount(Accounts, H, P, "bob", "b-pass", true);
    // Dovecot slows down every log-in from 127.0.0.1 for a few seconds after
    // a refused one (its authentication penalty); the run stays well within
    // the program's 60 s per wait.
    AddAccount(Accounts, H, P, "carol", "wrong", true);
    AddAccount(Accounts, H, P, "carol", "c-pass", true);
    SaveInto(Config, Accounts);

    const ChildResult Result = RunCheck(Config);
    ASSERT_TRUE(Result.Finished) << "quorvel-check overran " << RunLimit.count() << " s";
    const auto Line = [&](const std::string& User, const std::string& Text) {
        return User + "@" + H + ": " + Text + "\n";
    };
    EXPECT_EQ(Result.Output, Line("x", "failed: Connection Failed") + Line("alice", "3") + Line("bob", "0") +
                                 Line("carol", "failed: Authentication failed") + Line("carol", "300"))
        << Server.Log();
    EXPECT_EQ(Result.ExitStatus, 1);
}

TEST(QuorvelCheckTest, ExitsWithZeroWhenEveryAccountWasChecked) {
    // Passwords with blanks and with UTF-8 text survive the scrambled store
    // and reach the server byte for byte.
    DovecotServer Server(
        {{"alice", "a-pass", 1}, {"bob", "b pass with blanks", 12}, {"chiyo", "p\u00e4ss-\u65e5\u672c", 4}});
    const std::string H = Server.Host();
    TTempFolder Config;
    TAccounts Accounts;
    AddAccount(Accounts, H, Server.Port(), "bob", "b pass with blanks", true);
    AddAccount(Accounts, H, Server.Port(), "alice", "a-pass", true);
    AddAccount(Accounts, H, Server.Port(), "alice", "not checked", false);
    AddAccount(Accounts, H, Server.Port(), "chiyo", "p\u00e4ss-\u65e5\u672c", true);
    SaveInto(Config, Accounts);

    const ChildResult Result = RunCheck(Config);
    ASSERT_TRUE(Result.Finished);
    EXPECT_EQ(Result.Output, "bob@" + H + ": 12\nalice@" + H + ": 1\nchiyo@" + H + ": 4\n") << Server.Log();
    EXPECT_EQ(Result.ExitStatus, 0);
}

TEST(QuorvelCheckTest, NoAccountsPrintsNothing) {
    TTempFolder Config;
    TAccounts Accounts;
    SaveInto(Config, Accounts);
    const ChildResult Result = RunCheck(Config);
    ASSERT_TRUE(Result.Finished);
    EXPECT_EQ(Result.Output, "");
    EXPECT_EQ(Result.ExitStatus, 0);
}

}  // namespace
}  // namespace quorvel
