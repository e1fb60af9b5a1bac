// quorvel-check run as a user runs it, against scripted servers and settings
// that are unreadable or partly unusable.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/Account.h"
#include "settings/RegistryStore.h"
#include "settings/Settings.h"
#include "tests/net/ScriptedPop3Server.h"
#include "tests/pop3server/ChildProcess.h"
#include "tests/support/TempFolder.h"

#ifndef QUORVEL_CHECK_PROGRAM
#error "QUORVEL_CHECK_PROGRAM must name the built quorvel-check"
#endif

using namespace quorvel;
using test::Close;
using test::Hear;
using test::Say;

namespace {

struct TRun {
    int ExitStatus = -1;
    std::string Out;
    std::string Err;
};

// Runs quorvel-check with the settings under Config; stderr goes to a file.
TRun RunCheck(const TTempFolder& Config, const std::vector<std::string>& Arguments = {}) {
    const std::string errors = (Config / "stderr").string();
    std::vector<std::string> shell = {"-c", "errors=$1; shift; exec \"$0\" \"$@\" 2>\"$errors\"", QUORVEL_CHECK_PROGRAM,
                                      errors};
    shell.insert(shell.end(), Arguments.begin(), Arguments.end());
    const ChildResult result =
        RunChild("/bin/sh", shell, {{"XDG_CONFIG_HOME", Config.Path().string()}}, std::chrono::seconds(50));
    EXPECT_TRUE(result.Finished);
    return {result.ExitStatus, result.Output, ReadText(errors)};
}

std::filesystem::path SettingsFile(const TTempFolder& Config) {
    return Config / "Quorvel" / "registry.reg";
}

void SaveAccount(const TTempFolder& Config, std::int32_t Port) {
    TAccounts accounts;
    TAccount& account = accounts.Add();
    account.Host = "127.0.0.1";
    account.Port = Port;
    account.UserID = "alice";
    account.Password = "pw";
    account.Enabled = true;
    TRegistryStore store(SettingsFile(Config));
    SaveAccounts(store, accounts);
}

}  // namespace

TEST(QuorvelCheckFaults, UnreadableSettingsExitWithTwoAndSayWhy) {
    TTempFolder config;
    std::filesystem::create_directories(SettingsFile(config));  // a folder in the file's place
    const TRun run = RunCheck(config);
    EXPECT_EQ(run.ExitStatus, 2);
    EXPECT_EQ(run.Out, "");
    EXPECT_EQ(run.Err, "quorvel-check: " + SettingsFile(config).string() + " cannot be read: it is a folder\n");
}

TEST(QuorvelCheckFaults, ServerTextReachesTheTerminalEscaped) {
    test::ScriptedPop3Server server({Say("-ERR \x1b]0;owned\x07\x1b[2J\xc2\x9b"
                                         "1m\r\n"),
                                     Hear(), Say("+OK\r\n")});
    TTempFolder config;
    SaveAccount(config, server.Port());
    const TRun run = RunCheck(config);
    EXPECT_EQ(run.Out, "alice@127.0.0.1: failed: -ERR \\x1b]0;owned\\x07\\x1b[2J\\u009b1m\n");
    EXPECT_EQ(run.ExitStatus, 1);
}

TEST(QuorvelCheckFaults, CountIsShownWhenOnlyQuitFails) {
    test::ScriptedPop3Server server({Say("+OK\r\n"), Hear(), Say("+OK\r\n"), Hear(), Say("+OK\r\n"), Hear(),
                                     Say("+OK 7 700\r\n"), Hear(), Close()});
    TTempFolder config;
    SaveAccount(config, server.Port());
    const TRun run = RunCheck(config);
    EXPECT_EQ(run.Out, "alice@127.0.0.1: 7 (QUIT failed: 10057:Socket is not connected)\n");
    EXPECT_EQ(run.ExitStatus, 1);
}

TEST(QuorvelCheckFaults, DroppedAccountsAreNamedAndFailTheRun) {
    TTempFolder config;
    std::filesystem::create_directories(SettingsFile(config).parent_path());
    WriteText(SettingsFile(config),
              "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Ombrask\\Quorvel\\Accounts\\0]\n\"Password\"=\"zz\"\n"
              "[HKEY_CURRENT_USER\\Software\\Ombrask\\Quorvel\\Accounts\\1]\n\"Enabled\"=\"0\"\n");
    const TRun run = RunCheck(config);
    EXPECT_EQ(run.Out, "");
    EXPECT_EQ(run.Err,
              "quorvel-check: account \\Software\\Ombrask\\Quorvel\\Accounts\\0 not loaded: "
              "'zz' is not a valid hexadecimal pair\n"
              "quorvel-check: no account is set up and enabled\n");
    EXPECT_EQ(run.ExitStatus, 1);
}

TEST(QuorvelCheckFaults, DamagedSettingsAreNamedWithTheirLineAndFailTheRun) {
    const std::string unclosed = "[HKEY_CURRENT_USER\\Software\\Ombrask\\Quorvel\\Accounts\\0";
    const std::string text = "REGEDIT4\n\n" + unclosed + "\n\"Host\"=\"127.0.0.1\"\n\"Enabled\"=\"1\"\n";
    for (const std::vector<std::string>& arguments : {std::vector<std::string>{}, {"--tray"}}) {
        TTempFolder config;
        std::filesystem::create_directories(SettingsFile(config).parent_path());
        WriteText(SettingsFile(config), text);
        const TRun run = RunCheck(config, arguments);
        EXPECT_EQ(run.Err.rfind("quorvel-check: " + SettingsFile(config).string() +
                                    " is damaged; these parts could not be read and were skipped:\n"
                                    "quorvel-check: line 3: section without ]: the section " +
                                    unclosed +
                                    " with the 2 lines under it (lines 3-5)\n"
                                    "quorvel-check: The rest was loaded. The next save keeps the damaged file as "
                                    "registry.reg.damaged-<time>.\n",
                                0),
                  0u)
            << run.Err;
        EXPECT_EQ(run.ExitStatus, 1);
        EXPECT_EQ(ReadText(SettingsFile(config)), text);  // a load writes nothing
    }
}
