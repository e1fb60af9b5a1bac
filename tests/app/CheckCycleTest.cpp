// The check cycle against a real Dovecot (counts, hints, icons, sound) and a
// scripted server (a list changed while the cycle waits on the network).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/AccountCheck.h"
#include "app/CheckCycle.h"
#include "app/TickClock.h"
#include "net/PollEventLoop.h"
#include "net/Pop3Client.h"
#include "settings/Account.h"
#include "tests/app/ScriptedClock.h"
#include "tests/net/ScriptedPop3Server.h"
#include "tests/pop3server/DovecotServer.h"

namespace quorvel {
namespace {

// Everything the cycle told the window, in order.
class RecordingView final : public ICheckCycleView {
public:
    std::vector<std::string> Calls;
    std::string StatusHint, NewMailHint;
    int StatusPicture = -1;
    bool NewMailShown = false;
    int Sounds = 0;

    void SetConnectEnabled(bool Enabled) override { Calls.push_back(Enabled ? "enable" : "disable"); }
    void SetStatusHint(const std::string& Hint) override {
        Calls.push_back("hint " + Hint);
        StatusHint = Hint;
    }
    void StartAnimation() override { Calls.push_back("animate"); }
    void StopAnimation() override { Calls.push_back("still"); }
    void SetStatusPicture(int Index) override {
        Calls.push_back("status " + std::to_string(Index));
        StatusPicture = Index;
    }
    void SetNewMailPicture(int Index) override {
        Calls.push_back("newmail " + std::to_string(Index));
        NewMailShown = true;
    }
    void SetNewMailHint(const std::string& Hint) override {
        Calls.push_back("newmail hint");
        NewMailHint = Hint;
    }
    void RemoveNewMail() override {
        Calls.push_back("newmail removed");
        NewMailShown = false;
    }
    void PlayNewMailSound() override {
        Calls.push_back("sound");
        ++Sounds;
    }
};

class CheckCycleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Server = new DovecotServer({{"alice", "secret-a", 3}, {"bob", "secret-b", 0}}); }
    static void TearDownTestSuite() {
        delete Server;
        Server = nullptr;
    }

    TAccount& AddAccount(const std::string& User, const std::string& Password, bool Enabled = true) {
        TAccount& account = Accounts.Add();
        account.Host = Server->Host();
        account.Port = Server->Port();
        account.UserID = User;
        account.Password = Password;
        account.Enabled = Enabled;
        return account;
    }
    TCycleOutcome Cycle() { return RunCheckCycle(Accounts, Client, Clock, View, Level); }

    static DovecotServer* Server;
    TPollEventLoop Loop;
    TPop3Client Client{Loop};
    TAccounts Accounts;
    test::ScriptedClock Clock;
    RecordingView View;
    std::int32_t Level = -1;
};

DovecotServer* CheckCycleTest::Server = nullptr;

TEST_F(CheckCycleTest, NoEnabledAccountAsksForOneAndConnectsNowhere) {
    AddAccount("alice", "secret-a", false);
    const auto outcome = Cycle();
    EXPECT_EQ(outcome.Visited, 0);
    EXPECT_EQ(Level, 0);
    const std::vector<std::string> expected = {"disable",         "hint Quorvel - チェック中...",
                                               "animate",         "hint Quorvel - アカウントを設定してください",
                                               "still",           "status 9",
                                               "newmail removed", "enable"};
    EXPECT_EQ(View.Calls, expected);
}

TEST_F(CheckCycleTest, MailFoundShowsTheSummaryAndSoundsOnce) {
    AddAccount("alice", "secret-a");
    AddAccount("bob", "secret-b");
    Clock.Ticks = {0, 100, 100, 300};  // 100 ms and 200 ms: average 150
    Cycle();
    EXPECT_EQ(View.StatusHint, "Quorvel - 監視中");
    EXPECT_EQ(View.StatusPicture, 13);
    EXPECT_EQ(View.NewMailHint, "alice@127.0.0.1 3通");
    EXPECT_EQ(View.Sounds, 1);
    EXPECT_EQ(Accounts.Items(0).LastCount, 3);
    const std::vector<std::string> tail(View.Calls.end() - 5, View.Calls.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"status 13", "newmail 8", "newmail hint", "sound", "enable"}));
}

// Counts over successive checks of one real mailbox whose content changes.
TEST_F(CheckCycleTest, SoundOnlyWhenACountRisesAboveTheLastOneSeen) {
    struct Step {
        int Count;
        bool Shown;
        bool Sound;
        int LastCount;
    };
    const Step steps[] = {{3, true, true, 3}, {3, true, false, 3}, {0, false, false, 3}, {2, true, false, 2},
                          {4, true, true, 4}, {5, true, true, 5},  {2, true, false, 2}};
    AddAccount("bob", "secret-b");
    for (const Step& step : steps) {
        Server->SetMessageCount("bob", step.Count);
        View = RecordingView();
        Cycle();
        SCOPED_TRACE("count " + std::to_string(step.Count));
        EXPECT_EQ(View.NewMailShown, step.Shown);
        EXPECT_EQ(View.Sounds, step.Sound ? 1 : 0);
        EXPECT_EQ(Accounts.Items(0).LastCount, step.LastCount);
        if (step.Shown) {
            EXPECT_EQ(View.NewMailHint, "bob@127.0.0.1 " + std::to_string(step.Count) + "通");
        }
    }
    Server->SetMessageCount("bob", 0);
}

TEST_F(CheckCycleTest, OneFailureMarksTheCycleButKeepsTheOthersMail) {
    AddAccount("alice", "secret-a").Port = 1;  // refused
    AddAccount("", "");                        // fails without a connection
    AddAccount("alice", "secret-a");
    Cycle();
    EXPECT_EQ(View.StatusHint, "Quorvel - チェックできませんでした");
    EXPECT_EQ(Level, 0);
    EXPECT_EQ(View.StatusPicture, 9);
    EXPECT_EQ(View.NewMailHint, "alice@127.0.0.1 3通");
    EXPECT_EQ(View.Sounds, 1);

    // All failing takes the new-mail icon away, shown as it was.
    Accounts.Items(2).Password = "";
    View.Calls.clear();
    Cycle();
    EXPECT_FALSE(View.NewMailShown);
    EXPECT_EQ(View.Calls[View.Calls.size() - 2], "newmail removed");
}

TEST_F(CheckCycleTest, LevelFollowsTheAveragePerVisitedAccount) {
    struct Row {
        std::uint32_t Start, End;
        int Level;
    };
    // The tick wraps at 2^32; only differences count.
    const Row rows[] = {{0, 700, 4},  {0, 701, 3},  {0, 2000, 3},          {0, 2001, 2},
                        {0, 5000, 2}, {0, 5001, 1}, {0xFFFFFF00u, 444, 4}, {10, 10, 4}};
    AddAccount("bob", "secret-b");
    AddAccount("alice", "secret-a", false);  // not visited: adds no time and no visit
    for (const Row& row : rows) {
        Clock.Ticks = {row.Start, row.End, 99999};
        Cycle();
        EXPECT_EQ(Level, row.Level) << row.Start << " .. " << row.End;
        EXPECT_EQ(View.StatusPicture, 9 + row.Level);
    }
}

// The account dialog can change the list while the cycle waits on a slow
// server: removed accounts are never touched, added ones wait for the next
// cycle, and no position past the end is used.
TEST(CheckCycleSnapshot, AListChangedDuringTheWaitIsNeverOverrun) {
    using namespace quorvel::test;
    ScriptedPop3Server slow({Pause(300), Say("+OK ready\r\n"), Hear(), Say("+OK\r\n"), Hear(), Say("+OK\r\n"), Hear(),
                             Say("+OK 4 400\r\n"), Hear(), Say("+OK bye\r\n")});
    TPollEventLoop loop;
    TPop3Client client(loop);
    client.SetTimeOut(3000);
    TAccounts accounts;
    for (const char* user : {"first", "second", "third"}) {
        TAccount& account = accounts.Add();
        account.Host = "127.0.0.1";
        account.Port = accounts.Count() == 1 ? slow.Port() : 1;  // the later ones are refused
        account.UserID = user;
        account.Password = "pw";
        account.Enabled = true;
    }
    auto editor = loop.CreateTimer([&accounts] {
        if (accounts.Count() != 3) return;
        accounts.Delete(0);  // the account being checked
        accounts.Delete(0);
        accounts.Add().Enabled = true;
    });
    editor->Start(50);
    TMonotonicTickClock clock;
    RecordingView view;
    std::int32_t level = 0;
    const auto outcome = RunCheckCycle(accounts, client, clock, view, level);
    editor->Stop();
    EXPECT_EQ(outcome.Visited, 2);   // "second" was removed before its turn
    EXPECT_EQ(outcome.Summary, "");  // the mail of "first", removed meanwhile, is not shown
    EXPECT_TRUE(outcome.Failed);     // "third" was refused
    EXPECT_NE(slow.Received().find("USER first\r\n"), std::string::npos);
    EXPECT_EQ(accounts.Count(), 2);
    EXPECT_EQ(accounts.Items(0).LastCount, 0);
    EXPECT_EQ(accounts.Items(1).LastCount, 0);
}

}  // namespace
}  // namespace quorvel
