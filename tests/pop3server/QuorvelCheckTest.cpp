// quorvel-check end to end: settings written the way the tray writes them,
// the built program run as a user would run it, a real Dovecot server.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

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

struct Row {
    const char* User;
    const char* Password;
    std::int32_t Port = 0;  // 0: the server's
    bool Enabled = true;
};

// Saves the accounts on Server, then runs quorvel-check with Arguments. The
// program's own limit is 60 s per wait; a run against loopback takes a few
// seconds at most.
ChildResult RunCheck(const DovecotServer& Server, const std::vector<Row>& Rows,
                     const std::vector<std::string>& Arguments = {}) {
    TTempFolder Config;
    TAccounts Accounts;
    for (const Row& R : Rows) {
        TAccount& Account = Accounts.Add();
        Account.Host = Server.Host();
        Account.Port = R.Port ? R.Port : Server.Port();
        Account.UserID = R.User;
        Account.Password = R.Password;
        Account.Enabled = R.Enabled;
    }
    std::filesystem::create_directories(Config.Path() / "Quorvel");
    TRegistryStore Store(Config.Path() / "Quorvel" / "registry.reg");
    SaveAccounts(Store, Accounts);
    SaveInterval(Store, 5 * 60000);
    const ChildResult Result = RunChild(QUORVEL_CHECK_PROGRAM, Arguments, {{"XDG_CONFIG_HOME", Config.Path().string()}},
                                        std::chrono::milliseconds(100000));
    EXPECT_TRUE(Result.Finished) << "quorvel-check overran";
    return Result;
}

TEST(QuorvelCheckTest, ReportsEveryEnabledAccountInOrder) {
    DovecotServer Gone({{"x", "p", 1}});
    const std::int32_t GonePort = Gone.Port();
    Gone.Stop();
    DovecotServer Server(
        {{"alice", "a-pass", 3}, {"bob", "b-pass", 0}, {"carol", "c-pass", 300}, {"dave", "d-pass", 7}});
    // Dovecot slows down every log-in from 127.0.0.1 for a few seconds after
    // a refused one (its authentication penalty); the run stays well within
    // the program's 60 s per wait.
    const ChildResult Result = RunCheck(Server, {{"x", "p", GonePort},  // refused: the next account is still checked
                                                 {"alice", "a-pass"},
                                                 {"dave", "d-pass", 0, false},  // disabled: not checked, not printed
                                                 {"bob", "b-pass"},
                                                 {"carol", "wrong"},
                                                 {"carol", "c-pass"}});
    const auto Line = [](const std::string& User, const std::string& Text) {
        return User + "@127.0.0.1: " + Text + "\n";
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
    const ChildResult Result = RunCheck(Server, {{"bob", "b pass with blanks"},
                                                 {"alice", "a-pass"},
                                                 {"alice", "not checked", 0, false},
                                                 {"chiyo", "p\u00e4ss-\u65e5\u672c"}});
    EXPECT_EQ(Result.Output, "bob@127.0.0.1: 12\nalice@127.0.0.1: 1\nchiyo@127.0.0.1: 4\n") << Server.Log();
    EXPECT_EQ(Result.ExitStatus, 0);

    const ChildResult None = RunCheck(Server, {});  // no accounts: nothing printed
    EXPECT_EQ(None.Output, "");
    EXPECT_EQ(None.ExitStatus, 0);
}

// --tray: what the tray would show after one cycle.
TEST(QuorvelCheckTest, TrayPrintsTheHintTheLevelAndTheSummary) {
    DovecotServer Server({{"alice", "a-pass", 3}, {"bob", "b-pass", 0}, {"carol", "c-pass", 12}});
    const auto Ok = RunCheck(Server, {{"alice", "a-pass"}, {"bob", "b-pass"}, {"carol", "c-pass"}}, {"--tray"});
    EXPECT_EQ(Ok.ExitStatus, 0);
    // The level depends on how fast the server answered: any of 1 to 4.
    const std::string Head = "Quorvel - 監視中\nlevel: ";
    ASSERT_EQ(Ok.Output.substr(0, Head.size()), Head);
    const char Level = Ok.Output.at(Head.size());
    EXPECT_TRUE(Level >= '1' && Level <= '4') << Ok.Output;
    EXPECT_EQ(Ok.Output.substr(Head.size() + 1), "\nalice@127.0.0.1 3通\ncarol@127.0.0.1 12通\n");

    const auto Failed = RunCheck(Server, {{"alice", "a-pass", 1}, {"carol", "c-pass"}}, {"--tray"});
    EXPECT_EQ(Failed.ExitStatus, 1);
    EXPECT_EQ(Failed.Output, "Quorvel - チェックできませんでした\nlevel: 0\ncarol@127.0.0.1 12通\n");
}

}  // namespace
}  // namespace quorvel
