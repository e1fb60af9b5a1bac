// The main window's start-up, actions, timer rules and check results, with
// recording tray shells, an in-memory registry and scripted POP3 servers on
// loopback: the same tests on Linux and, under Wine, on Windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/MainWindow.h"
#include "app/TickClock.h"
#include "settings/Settings.h"
#include "tests/app/MemoryRegistry.h"
#include "tests/net/ScriptedPop3Server.h"
#include "tests/net/TestLoop.h"
#include "tests/tray/RecordingTrayShell.h"
#include "tray/ImageList.h"

namespace quorvel {
namespace {

using test::MemoryRegistry;
using test::ScriptedPop3Server;

// Each use of the settings opens the same registry held in memory.
class SharedRegistry final : public IRegistry {
public:
    explicit SharedRegistry(MemoryRegistry& Target) : R(Target) {}
    void BeginUpdate() override { R.BeginUpdate(); }
    void CommitUpdate() override { R.CommitUpdate(); }
    void EndUpdate() noexcept override { R.EndUpdate(); }
    void CheckReadable() override { R.CheckReadable(); }
    void CreateKey(std::string_view P) override { R.CreateKey(P); }
    bool KeyExists(std::string_view P) override { return R.KeyExists(P); }
    std::vector<std::string> GetKeyNames(std::string_view P) override { return R.GetKeyNames(P); }
    bool DeleteKey(std::string_view P) override { return R.DeleteKey(P); }
    std::optional<TRegDataType> GetDataType(std::string_view P, std::string_view N) override {
        return R.GetDataType(P, N);
    }
    std::string ReadString(std::string_view P, std::string_view N) override { return R.ReadString(P, N); }
    std::int32_t ReadInteger(std::string_view P, std::string_view N) override { return R.ReadInteger(P, N); }
    void WriteString(std::string_view P, std::string_view N, std::string_view V, TRegDataType T) override {
        R.WriteString(P, N, V, T);
    }
    void WriteInteger(std::string_view P, std::string_view N, std::int32_t V) override { R.WriteInteger(P, N, V); }
    std::string DamageReport() const override { return R.DamageReport(); }

private:
    MemoryRegistry& R;
};

// Everything around the window that is not a tray icon, recording what it
// was asked to do.
class Surroundings final : public IMainWindowHost,
                           public ISettingsPlace,
                           public IMainDialogs,
                           public INewMailSound,
                           public IMailProgram,
                           public INewMailNotice,
                           public ISystemState {
public:
    MemoryRegistry Registry;
    std::vector<std::string> Reports;
    int Ends = 0, Sounds = 0, MailStarts = 0;
    bool DialogsBuilt = true;
    bool RunAtStartup = false;
    // What a dialog does while it is shown; returns its OK.
    std::function<bool()> OnDialog = [] { return true; };
    std::vector<std::string> Dialogs;  // the dialogs shown, in order
    TOptionValues OptionsShown, OptionsGiven;
    std::vector<std::string> Notices;  // "title|body" shown, "-" withdrawn
    bool NetworkKnown = false, NetworkUp = true;

    void ReportError(const std::string& Message) override { Reports.push_back(Message); }
    void EndProgram() override { ++Ends; }
    std::unique_ptr<IRegistry> Open() override { return std::make_unique<SharedRegistry>(Registry); }
    bool IsRunAtStartup() override { return RunAtStartup; }
    void SetRunAtStartup(bool Registered) override { RunAtStartup = Registered; }
    bool Available() const override { return DialogsBuilt; }
    bool ShowAccountList(TAccounts&) override { return ShowDialog("accounts"); }
    bool ShowOptions(TOptionValues& Values) override {
        OptionsShown = Values;
        if (!ShowDialog("options")) return false;
        Values = OptionsGiven;
        return true;
    }
    void ShowAbout() override { ShowDialog("about"); }
    void Play() override { ++Sounds; }
    void Start() override { ++MailStarts; }
    void Show(const std::string& Title, const std::string& Body) override { Notices.push_back(Title + "|" + Body); }
    void Withdraw() override { Notices.push_back("-"); }
    bool KnowsNetwork() const override { return NetworkKnown; }
    bool Online() const override { return NetworkUp; }

private:
    bool ShowDialog(const std::string& Name) {
        Dialogs.push_back(Name);
        return OnDialog();
    }
};

class MainWindowTest : public ::testing::Test {
protected:
    // Stores the accounts and an interval the way a save of the dialogs does.
    void StoreSettings(const std::vector<std::pair<std::int32_t, std::string>>& PortsAndUsers, int Minutes) {
        TAccounts accounts;
        for (const auto& [port, user] : PortsAndUsers) {
            TAccount& account = accounts.Add();
            account.Host = "127.0.0.1";
            account.Port = port;
            account.UserID = user;
            account.Password = "secret";
            account.Enabled = true;
        }
        SaveAccounts(Around.Registry, accounts);
        SaveInterval(Around.Registry, MinutesToPeriod(static_cast<std::uint32_t>(Minutes)));
    }

    TMainWindow& Start() {
        Window = std::make_unique<TMainWindow>(TMainWindowParts{Loop, StatusShell, NewMailShell, Clock, Around, Around,
                                                                Around, Around, Around, Around, Around});
        Window->FormCreate();
        return *Window;
    }

    static std::vector<std::string> Tips(const RecordingTrayShell& Shell) {
        std::vector<std::string> tips;
        for (const auto& notify : Shell.Notifies) tips.push_back(notify.Data.Tip);
        return tips;
    }

    test::CountingLoop Loop;
    RecordingTrayShell StatusShell, NewMailShell;
    MonotonicTickClock Clock;
    Surroundings Around;
    std::unique_ptr<TMainWindow> Window;
};

// A server that holds Count messages, answering after PauseMs.
std::vector<test::ServerStep> Mailbox(int Count, int PauseMs = 0) {
    using namespace test;
    return {Pause(PauseMs), Say("+OK ready\r\n"), Hear(), Say("+OK\r\n"),
            Hear(),         Say("+OK\r\n"),       Hear(), Say("+OK " + std::to_string(Count) + " 100\r\n"),
            Hear(),         Say("+OK bye\r\n"),   Close()};
}

TEST_F(MainWindowTest, StartUpShowsTheStatusIconThenTheFirstCheckThenRunsTheTimer) {
    StoreSettings({}, 10);
    TMainWindow& window = Start();
    const std::vector<std::string> expected = {"", "Quorvel - 未接続", "Quorvel - チェック中...",
                                               "Quorvel - アカウントを設定してください",
                                               "Quorvel - アカウントを設定してください"};
    EXPECT_EQ(Tips(StatusShell), expected);
    ASSERT_FALSE(StatusShell.Notifies.empty());
    EXPECT_EQ(StatusShell.Notifies.front().Message, TNotifyIconMessage::NIM_ADD);
    EXPECT_EQ(StatusShell.Notifies.front().Data.Icon, TIcon::Of(ImageListPicture(9)));
    EXPECT_EQ(StatusShell.Notifies.back().Data.Icon, TIcon::Of(ImageListPicture(9)));
    EXPECT_TRUE(NewMailShell.Notifies.empty());
    EXPECT_EQ(window.CheckTimer.Interval(), 600000u);
    EXPECT_TRUE(window.CheckTimer.Running());
    EXPECT_FALSE(window.AnimationRunning());
    EXPECT_TRUE(window.ConnectAction.Enabled());
    EXPECT_TRUE(Around.Reports.empty());
    EXPECT_EQ(Around.Registry.Commits, 2);  // the two saves above; the start wrote nothing
}

// What start-up does with settings it cannot use.
TEST_F(MainWindowTest, StartUpFailures) {
    struct Case {
        const char* Name;
        bool BadInterval;
        bool Unreadable;
        const char* Damage;
        std::string Report;
        bool TimerRunning;
        std::string Hint;  // the status hint after start-up
        bool Animating;
        std::string HintAfterCheck;  // after a check by hand
    };
    const std::string failed = "Quorvel - チェックできませんでした";
    const std::string noAccount = "Quorvel - アカウントを設定してください";
    const Case cases[] = {
        // The rest of the start-up is skipped: no check, no timer, the animation runs on.
        {"interval of a bad type", true, false, "", "'Interval' のデータ型が不正です", false, "", true, failed},
        // Reported; the program goes on without accounts.
        {"unreadable settings", false, true, "", "registry.reg cannot be read", true, noAccount, false, noAccount},
        // Reported once; the program goes on with what was read (alice's server refuses).
        {"damaged parts", false, false, "line 6: section without ]", "line 6: section without ]", true, failed, false,
         failed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Around = Surroundings();
        StatusShell = RecordingTrayShell();
        StoreSettings({{1, "alice"}}, 7);
        if (c.BadInterval) Around.Registry.WriteString(SettingsKeyPath, "Interval", "7", TRegDataType::ExpandString);
        if (c.Unreadable) Around.Registry.Unreadable = "registry.reg cannot be read";
        Around.Registry.Damage = c.Damage;
        TMainWindow& window = Start();
        EXPECT_EQ(Around.Reports, std::vector<std::string>{c.Report});
        EXPECT_EQ(window.CheckTimer.Running(), c.TimerRunning);
        EXPECT_EQ(window.StatusIcon.Hint(), c.Hint);
        EXPECT_EQ(window.AnimationRunning(), c.Animating);
        EXPECT_EQ(StatusShell.Notifies.front().Data.Icon, TIcon::Of(ImageListPicture(9)));
        // A check by hand still works, stops the animation and reports nothing more.
        window.StatusIconClick();
        EXPECT_FALSE(window.AnimationRunning());
        EXPECT_EQ(window.StatusIcon.Hint(), c.HintAfterCheck);
        EXPECT_EQ(Around.Reports.size(), 1u);
        Window.reset();
    }
}

TEST_F(MainWindowTest, ActionsAndTheMenuInTheirOrder) {
    TMainWindow& window = Start();
    struct Row {
        TAction* Action;
        const char* Caption;
        int Image;
    };
    const Row rows[] = {
        {&window.AccountSettingAction, "アカウントの設定(&A)...", 3},
        {&window.OptionSettingAction, "オプション(&O)...", 5},
        {&window.SaveAction, "保存", 2},
        {&window.ConnectAction, "メールチェック(&C)", 6},
        {&window.CloseAction, "終了(&X)", 1},
        {&window.AboutAction, "バージョン情報(&A)...", 4},
        {&window.ExecuteMailClientAction, "メーラーを開く(&M)", 7},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.Action->Caption(), row.Caption);
        EXPECT_EQ(row.Action->ImageIndex(), row.Image);
        EXPECT_TRUE(row.Action->Enabled()) << row.Caption;
    }

    // The menu as text: captions, "-" for a separator, submenus indented.
    std::vector<std::string> lines;
    std::function<void(const TMenuModel&, const std::string&)> walk = [&](const TMenuModel& model,
                                                                          const std::string& indent) {
        for (const TMenuEntry& entry : model) {
            switch (entry.What) {
                case TMenuEntry::Kind::Item: lines.push_back(indent + entry.Action->Caption()); break;
                case TMenuEntry::Kind::Separator: lines.push_back(indent + "-"); break;
                case TMenuEntry::Kind::Submenu:
                    lines.push_back(indent + entry.Caption + " >");
                    walk(entry.Items, indent + "  ");
                    break;
            }
        }
    };
    walk(window.Menu(), "");
    const std::vector<std::string> expected = {
        "メールチェック(&C)",  "メーラーを開く(&M)",    "-", "設定(&S) >", "  アカウントの設定(&A)...",
        "  オプション(&O)...", "バージョン情報(&A)...", "-", "終了(&X)"};
    EXPECT_EQ(lines, expected);
}

TEST_F(MainWindowTest, WithoutDialogsTheirActionsStayGreyed) {
    Around.DialogsBuilt = false;
    TMainWindow& window = Start();
    for (TAction* action : {&window.AccountSettingAction, &window.OptionSettingAction, &window.AboutAction}) {
        EXPECT_FALSE(action->Enabled()) << action->Caption();
        action->Execute();
    }
    EXPECT_TRUE(Around.Dialogs.empty());
    EXPECT_TRUE(window.ConnectAction.Enabled());
    EXPECT_TRUE(window.ExecuteMailClientAction.Enabled());
}

// Each dialog action disables itself while its dialog is open, carries out
// what OK asks for, and is enabled again whatever happened.
TEST_F(MainWindowTest, DialogActions) {
    struct Case {
        const char* Name;
        TAction TMainWindow::*Action;
        std::string Dialog;
        int Outcome;  // 0 cancel, 1 OK, 2 the dialog fails
        int Commits;  // saves made
        std::string Report;
    };
    const Case cases[] = {
        {"accounts, closed", &TMainWindow::AccountSettingAction, "accounts", 1, 1, ""},
        {"accounts, cancelled", &TMainWindow::AccountSettingAction, "accounts", 0, 0, ""},
        {"accounts, failing", &TMainWindow::AccountSettingAction, "accounts", 2, 0, "dialog failed"},
        {"options, OK", &TMainWindow::OptionSettingAction, "options", 1, 1, ""},
        {"options, cancelled", &TMainWindow::OptionSettingAction, "options", 0, 0, ""},
        {"about", &TMainWindow::AboutAction, "about", 1, 0, ""},
        {"about, failing", &TMainWindow::AboutAction, "about", 2, 0, "dialog failed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Around = Surroundings();
        TMainWindow& window = Start();
        TAction& action = window.*c.Action;
        bool enabledWhileShown = true;
        Around.OnDialog = [&] {
            enabledWhileShown = action.Enabled();
            // A second start while it is open does nothing.
            action.Execute();
            if (c.Outcome == 2) throw Exception("dialog failed");
            return c.Outcome == 1;
        };
        const int commitsBefore = Around.Registry.Commits;
        action.Execute();
        EXPECT_EQ(Around.Dialogs, std::vector<std::string>{c.Dialog});
        EXPECT_FALSE(enabledWhileShown);
        EXPECT_TRUE(action.Enabled());
        EXPECT_EQ(Around.Registry.Commits - commitsBefore, c.Commits);
        EXPECT_EQ(Around.Reports, c.Report.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.Report});
        Window.reset();
    }
}

TEST_F(MainWindowTest, OptionsConfirmedSetTheTimerTheLogOnStartAndTheStoredInterval) {
    StoreSettings({}, 5);
    Around.RunAtStartup = true;
    TMainWindow& window = Start();
    Around.OptionsGiven = {12, false, false};
    window.OptionSettingAction.Execute();
    EXPECT_EQ(Around.OptionsShown.IntervalMinutes, 5u);
    EXPECT_TRUE(Around.OptionsShown.RunAtStartup);
    EXPECT_TRUE(Around.OptionsShown.NotifyNewMail);
    EXPECT_FALSE(window.NotifyNewMail);
    EXPECT_EQ(Around.Registry.ReadInteger(SettingsKeyPath, "Notify"), 0);
    EXPECT_EQ(window.CheckTimer.Interval(), 720000u);
    EXPECT_TRUE(window.CheckTimer.Running());
    EXPECT_FALSE(Around.RunAtStartup);
    EXPECT_EQ(Around.Registry.ReadInteger(SettingsKeyPath, "Interval"), 12);

    // 0 minutes: no periodic checks; checks by hand still run.
    Around.OptionsGiven = {0, false};
    window.OptionSettingAction.Execute();
    EXPECT_FALSE(window.CheckTimer.Running());
    window.ConnectAction.Execute();
    EXPECT_EQ(window.StatusIcon.Hint(), "Quorvel - アカウントを設定してください");
}

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

TEST_F(MainWindowTest, CloseEndsTheProgramWithoutWritingAndTheNewMailIconStartsTheMailProgram) {
    TMainWindow& window = Start();
    const MemoryRegistry::Keys before = Around.Registry.Stored;
    window.NewMailIconClick();
    window.ExecuteMailClientAction.Execute();
    Around.OnOpen();  // a click on the notice
    EXPECT_EQ(Around.MailStarts, 3);
    EXPECT_FALSE(window.CloseRequested());
    window.CloseAction.Execute();
    EXPECT_TRUE(window.CloseRequested());
    EXPECT_EQ(Around.Ends, 1);
    Window.reset();
    EXPECT_EQ(Around.Registry.Stored, before);
    // Both icons left the notification area with the window.
    EXPECT_EQ(StatusShell.Notifies.back().Message, TNotifyIconMessage::NIM_DELETE);
}

// Checks through the window against scripted servers: what the icons show.
TEST_F(MainWindowTest, CheckResultsOnTheIcons) {
    ScriptedPop3Server server(Mailbox(3, 300));
    ScriptedPop3Server empty(Mailbox(0));
    ScriptedPop3Server refusing({test::Say("-ERR not now\r\n"), test::Close()});
    StoreSettings({{server.Port(), "alice"}}, 5);
    TMainWindow& window = Start();

    EXPECT_EQ(window.StatusIcon.Hint(), "Quorvel - 監視中");
    EXPECT_EQ(window.SignalLevel, 4);
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

    // The mailbox emptied: the new-mail icon goes; no sound.
    window.Accounts.Items(0).Port = empty.Port();
    window.ConnectAction.Execute();
    EXPECT_EQ(NewMailShell.Notifies.back().Message, TNotifyIconMessage::NIM_DELETE);
    EXPECT_EQ(window.StatusIcon.Hint(), "Quorvel - 監視中");

    // A server that refuses: the failure hint and the level-0 picture.
    window.Accounts.Items(0).Port = refusing.Port();
    window.CheckTimerTimer();
    EXPECT_EQ(window.StatusIcon.Hint(), "Quorvel - チェックできませんでした");
    EXPECT_EQ(window.SignalLevel, 0);
    EXPECT_EQ(StatusShell.Notifies.back().Data.Icon, TIcon::Of(ImageListPicture(9)));
    EXPECT_EQ(Around.Sounds, 1);
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
        Around = Surroundings();
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
        Window.reset();
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
        Around = Surroundings();
        Around.NetworkKnown = c.Known;
        Around.NetworkUp = c.UpAtStart;
        StatusShell = RecordingTrayShell();
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
        Window.reset();
    }
}

}  // namespace
}  // namespace quorvel
