// quorvel-check end to end: settings written the way the tray writes them,
// the built program run as a user would run it, a real Dovecot server.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "settings/Account.h"
#include "settings/RegistryStore.h"
#include "settings/Settings.h"
#include "tests/pop3server/ChildProcess.h"
#include "tests/pop3server/DovecotServer.h"

#ifndef QUORVEL_CHECK_PROGRAM
#error "QUORVEL_CHECK_PROGRAM must name the built quorvel-check"
#endif

namespace quorvel {
namespace {

// The program's own limit is 60 s per wait; a run against loopback takes a
// few seconds at most.
constexpr std::chrono::seconds RunLimit{100};

class ConfigFolder {
public:
    ConfigFolder() {
        std::string Pattern = (std::filesystem::temp_directory_path() / "quorvel-check-XXXXXX").string();
        if (::mkdtemp(Pattern.data()) == nullptr) {
            throw std::runtime_error("cannot create a temporary folder");
        }
        Path = Pattern;
    }
    ~ConfigFolder() {
        std::error_code Ignored;
        std::filesystem::remove_all(Path, Ignored);
    }
    std::filesystem::path Path;
};

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

void SaveInto(const ConfigFolder& Config, const TAccounts& Accounts) {
    std::filesystem::create_directories(Config.Path / "Quorvel");
    TRegistryStore Store(Config.Path / "Quorvel" / "registry.reg");
    SaveAccounts(Store, Accounts);
    SaveInterval(Store, 5 * 60000);
}

ChildResult RunCheck(const ConfigFolder& Config) {
    return RunChild(QUORVEL_CHECK_PROGRAM, {}, {{"XDG_CONFIG_HOME", Config.Path.string()}},
                    std::chrono::duration_cast<std::chrono::milliseconds>(RunLimit));
}

TEST(QuorvelCheckTest, ReportsEveryEnabledAccountInOrder) {
    DovecotServer Server(
        {{"alice", "a-pass", 3}, {"bob", "b-pass", 0}, {"carol", "c-pass", 300}, {"dave", "d-pass", 7}});
    const std::string H = Server.Host();
    const std::int32_t P = Server.Port();
    ConfigFolder Config;
    TAccounts Accounts;
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
    EXPECT_EQ(Result.Output, "alice@" + H +
                                 ": 3\n"
                                 "bob@" +
                                 H +
                                 ": 0\n"
                                 "carol@" +
                                 H +
                                 ": failed: Authentication failed\n"
                                 "carol@" +
                                 H + ": 300\n")
        << Server.Log();
    EXPECT_EQ(Result.ExitStatus, 1);
}

TEST(QuorvelCheckTest, ExitsWithZeroWhenEveryAccountWasChecked) {
    // Passwords with blanks and with UTF-8 text survive the scrambled store
    // and reach the server byte for byte.
    DovecotServer Server(
        {{"alice", "a-pass", 1}, {"bob", "b pass with blanks", 12}, {"chiyo", "p\u00e4ss-\u65e5\u672c", 4}});
    const std::string H = Server.Host();
    ConfigFolder Config;
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

TEST(QuorvelCheckTest, AnAccountWhoseServerIsGoneFailsAndTheRestAreChecked) {
    DovecotServer Gone({{"x", "p", 1}});
    const std::int32_t GonePort = Gone.Port();
    Gone.Stop();
    DovecotServer Server({{"alice", "a-pass", 2}});
    const std::string H = Server.Host();
    ConfigFolder Config;
    TAccounts Accounts;
    AddAccount(Accounts, H, GonePort, "x", "p", true);
    AddAccount(Accounts, H, Server.Port(), "alice", "a-pass", true);
    SaveInto(Config, Accounts);

    const ChildResult Result = RunCheck(Config);
    ASSERT_TRUE(Result.Finished);
    // A refused connection must not spoil the next account's connection.
    EXPECT_EQ(Result.Output, "x@" + H + ": failed: Connection Failed\nalice@" + H + ": 2\n") << Server.Log();
    EXPECT_EQ(Result.ExitStatus, 1);
}

TEST(QuorvelCheckTest, NoAccountsPrintsNothing) {
    ConfigFolder Config;
    TAccounts Accounts;
    SaveInto(Config, Accounts);
    const ChildResult Result = RunCheck(Config);
    ASSERT_TRUE(Result.Finished);
    EXPECT_EQ(Result.Output, "");
    EXPECT_EQ(Result.ExitStatus, 0);
}

}  // namespace
}  // namespace quorvel
