// quorvel-check --tray end to end: what the tray would show after one cycle
// over real mailboxes.
#include <gtest/gtest.h>
#include <stdlib.h>

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

struct Row {
    const char* User;
    const char* Password;
    std::int32_t Port;  // 0: the server's
};

ChildResult RunTray(const DovecotServer& Server, std::initializer_list<Row> Rows) {
    TTempFolder config;
    TAccounts accounts;
    for (const Row& row : Rows) {
        TAccount& account = accounts.Add();
        account.Host = Server.Host();
        account.Port = row.Port ? row.Port : Server.Port();
        account.UserID = row.User;
        account.Password = row.Password;
        account.Enabled = true;
    }
    std::filesystem::create_directories(config.Path() / "Quorvel");
    TRegistryStore store(config.Path() / "Quorvel" / "registry.reg");
    SaveAccounts(store, accounts);
    return RunChild(QUORVEL_CHECK_PROGRAM, {"--tray"}, {{"XDG_CONFIG_HOME", config.Path().string()}},
                    std::chrono::milliseconds(60000));
}

TEST(QuorvelCheckTray, PrintsTheHintTheLevelAndTheSummary) {
    DovecotServer server({{"alice", "a-pass", 3}, {"bob", "b-pass", 0}, {"carol", "c-pass", 12}});
    const auto ok = RunTray(server, {{"alice", "a-pass", 0}, {"bob", "b-pass", 0}, {"carol", "c-pass", 0}});
    EXPECT_EQ(ok.ExitStatus, 0);
    // The level depends on how fast the server answered: any of 1 to 4.
    const std::string head = "Quorvel - 監視中\nlevel: ";
    ASSERT_EQ(ok.Output.substr(0, head.size()), head);
    const char level = ok.Output.at(head.size());
    EXPECT_TRUE(level >= '1' && level <= '4') << ok.Output;
    EXPECT_EQ(ok.Output.substr(head.size() + 1), "\nalice@127.0.0.1 3通\ncarol@127.0.0.1 12通\n");

    const auto failed = RunTray(server, {{"alice", "a-pass", 1}, {"carol", "c-pass", 0}});
    EXPECT_EQ(failed.ExitStatus, 1);
    EXPECT_EQ(failed.Output, "Quorvel - チェックできませんでした\nlevel: 0\ncarol@127.0.0.1 12通\n");
}

}  // namespace
}  // namespace quorvel
