// Checks through the main window: what the icons show, the new-mail notice,
// waking and the network.
#include <algorithm>

#include "tests/app/MainWindowRig.h"

namespace quorvel {
namespace {

using test::ScriptedPop3Server;

// A tick, a click or the menu during a check starts no second check.
TEST_F(MainWindowTest, NothingStartsASecondCheckWhileOneRuns) {
    TMainWindow& window = Start();
    std::vector<bool> states;
    int nested = 0;
    window.ConnectAction.AddChangeListener([&](const TAction& action) {
        states.push_back(action.Enabled());
        if (action.Enabled() || nested++ > 0) return;
        window.CheckTimerTimer();
        window.StatusIconClick();
        window.ConnectAction.Execute();
    });
    const std::size_t before = StatusShell.Notifies.size();
    window.StatusIconClick();
    const std::vector<std::string> tips = Tips(StatusShell);
    EXPECT_EQ(std::count(tips.begin() + static_cast<std::ptrdiff_t>(before), tips.end(), "Quorvel - チェック中..."), 1);
    EXPECT_EQ(states, (std::vector<bool>{false, true}));
    EXPECT_EQ(nested, 1);
}

// Checks through the window against scripted servers: what the icons show.
TEST_F(MainWindowTest, CheckResultsOnTheIcons) {
    ScriptedPop3Server server(Mailbox(3, 300));
    ScriptedPop3Server empty(Mailbox(0));
    StoreSettings({{server.Port(), "alice"}}, 5);
    TMainWindow& window = Start();

    EXPECT_EQ(window.StatusIcon.Hint(), "Quorvel - 監視中");
    EXPECT_EQ(StatusShell.Notifies.back().Data.Icon, TIcon::Of(ImageListPicture(13)));
    // The animation ran while the server kept the check waiting: frames of
    // the bare aerial (no level yet) between the "checking" hint and the end.
    TAnimationPlanes planes;
    std::int32_t frame = 0;
    const TIcon firstFrame = AnimationTick(planes, frame, 0);
    int animated = 0;
    for (const auto& notify : StatusShell.Notifies) animated += notify.Data.Icon == firstFrame ? 1 : 0;
    EXPECT_GE(animated, 1);
    ASSERT_EQ(NewMailShell.Notifies.size(), 2u);  // added with its picture, then its hint
    EXPECT_EQ(NewMailShell.Notifies[0].Message, TNotifyIconMessage::NIM_ADD);
    EXPECT_EQ(NewMailShell.Notifies[1].Data.Tip, "alice@127.0.0.1 3通");
    EXPECT_EQ(NewMailShell.Notifies[1].Data.Icon, TIcon::Of(ImageListPicture(8)));
    EXPECT_EQ(Around.Sounds, 1);

    // The mailbox emptied: the new-mail icon goes.
    window.Accounts.Items(0).Port = empty.Port();
    window.ConnectAction.Execute();
    EXPECT_EQ(NewMailShell.Notifies.back().Message, TNotifyIconMessage::NIM_DELETE);
    EXPECT_EQ(window.StatusIcon.Hint(), "Quorvel - 監視中");
    EXPECT_TRUE(Around.Reports.empty());
}

// The notice goes with the new-mail sound and leaves with the new-mail icon.
TEST_F(MainWindowTest, NewMailNotice) {
    struct Case {
        const char* Name;
        bool Notify;
        std::vector<std::vector<int>> Checks;  // the counts of alice and bob, check by check
        std::vector<std::string> Notices;
    };
    const std::string both = "新着メール|alice@127.0.0.1 3通\nbob@127.0.0.1 1通";
    const Case cases[] = {
        {"rise, stay, fall, none left", true, {{0, 0}, {3, 1}, {3, 1}, {2, 0}, {0, 0}}, {"-", both, "-"}},
        {"a second rise", true, {{0, 1}, {3, 1}}, {"新着メール|bob@127.0.0.1 1通", both}},
        {"turned off", false, {{3, 1}, {0, 0}}, {"-"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Afresh();
        std::vector<std::unique_ptr<ScriptedPop3Server>> servers;
        for (const auto& counts : c.Checks) {
            for (int count : counts) servers.push_back(std::make_unique<ScriptedPop3Server>(Mailbox(count)));
        }
        StoreSettings({{servers[0]->Port(), "alice"}, {servers[1]->Port(), "bob"}}, 5);
        if (!c.Notify) Around.Registry.WriteInteger(SettingsKeyPath, "Notify", 0);
        TMainWindow& window = Start();
        for (std::size_t i = 1; i < c.Checks.size(); ++i) {
            window.Accounts.Items(0).Port = servers[2 * i]->Port();
            window.Accounts.Items(1).Port = servers[2 * i + 1]->Port();
            window.ConnectAction.Execute();
        }
        EXPECT_EQ(Around.Notices, c.Notices);
    }
}

// Waking and the network, through a stand-in system state: when checks run and
// what the status icon shows.
TEST_F(MainWindowTest, ResumeAndOffline) {
    struct Case {
        const char* Name;
        bool Known, UpAtStart;
        std::string Events;  // R resumed, G the grace after it ends, D network down, U up, C a check by hand
        // After each event: the checks so far, "o" for the offline hint, "+" when the
        // interval started again (it counts from a check after waking or reconnecting).
        std::string Steps;
        bool TimerRunning;
    };
    const Case cases[] = {
        {"network unknown: after the grace", false, true, "RG", "1 2+", true},
        {"known online: once it says so after waking", true, true, "URUG", "1 1 2+ 2", true},
        {"down after waking: once it is back", true, true, "RDGU", "1 1o 1o 2+", true},
        {"offline: paused, by hand as usual", true, true, "DCU", "1o 2 3+", true},
        {"going offline", true, true, "D", "1o", false},
        {"offline at start", true, false, "RG", "0o 0o", false},
        {"offline at start, then up", true, false, "U", "1+", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Afresh();
        Around.NetworkKnown = c.Known;
        Around.NetworkUp = c.UpAtStart;
        TMainWindow& window = Start();
        std::string steps;
        for (char event : c.Events) {
            const int timerStarts = Loop.Starts(300000);
            if (event == 'R') window.SystemResumed();
            if (event == 'G') Loop.Fire(15000);
            if (event == 'D' || event == 'U') window.NetworkChanged(Around.NetworkUp = event == 'U');
            if (event == 'C') window.StatusIconClick();
            const std::vector<std::string> tips = Tips(StatusShell);
            steps += (steps.empty() ? "" : " ") + std::to_string(std::count(tips.begin(), tips.end(), HintChecking));
            if (window.StatusIcon.Hint() == HintOffline) steps += "o";
            if (Loop.Starts(300000) > timerStarts) steps += "+";
        }
        EXPECT_EQ(steps, c.Steps);
        EXPECT_EQ(window.CheckTimer.Running(), c.TimerRunning);
        EXPECT_FALSE(Loop.Fire(15000));  // the grace timer is gone
        if (window.Offline()) {
            EXPECT_EQ(StatusShell.Notifies.back().Data.Icon, TIcon::Of(ImageListPicture(9)));
        }
    }
}

}  // namespace
}  // namespace quorvel
