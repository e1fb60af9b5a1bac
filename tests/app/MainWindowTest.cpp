// The main window's start-up, its actions and dialogs, the options it
// stores and its end (the checks: MainWindowChecksTest.cpp).
#include <functional>
#include <tuple>

#include "tests/app/MainWindowRig.h"

namespace quorvel {
namespace {

TEST_F(MainWindowTest, StartUpShowsTheStatusIconThenTheFirstCheckThenRunsTheTimer) {
    StoreSettings({}, 10);
    TMainWindow& window = Start();
    const std::vector<std::string> expected = {"", "Quorvel - 未接続", "Quorvel - チェック中...",
                                               "Quorvel - アカウントを設定してください",
                                               "Quorvel - アカウントを設定してください"};
    ASSERT_EQ(Tips(StatusShell), expected);
    EXPECT_EQ(StatusShell.Notifies.front().Message, TNotifyIconMessage::NIM_ADD);
    EXPECT_EQ(StatusShell.Notifies.front().Data.Icon, TIcon::Of(ImageListPicture(9)));
    EXPECT_EQ(StatusShell.Notifies.back().Data.Icon, TIcon::Of(ImageListPicture(9)));
    EXPECT_TRUE(NewMailShell.Notifies.empty());
    EXPECT_EQ(std::tuple(window.CheckTimer.Interval(), window.CheckTimer.Running(), window.AnimationRunning(),
                         window.ConnectAction.Enabled()),
              std::tuple(600000u, true, false, true));
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
        Afresh();
        StoreSettings({{1, "alice"}}, 7);
        if (c.BadInterval) Around.Registry.WriteString(SettingsKeyPath, "Interval", "7", TRegDataType::ExpandString);
        if (c.Unreadable) Around.Registry.Unreadable = "registry.reg cannot be read";
        Around.Registry.Damage = c.Damage;
        TMainWindow& window = Start();
        EXPECT_EQ(Around.Reports, std::vector<std::string>{c.Report});
        EXPECT_EQ(window.CheckTimer.Running(), c.TimerRunning);
        EXPECT_EQ(window.StatusIcon.Hint(), c.Hint);
        EXPECT_EQ(window.AnimationRunning(), c.Animating);
        // A check by hand still works, stops the animation and reports nothing more.
        window.StatusIconClick();
        EXPECT_FALSE(window.AnimationRunning());
        EXPECT_EQ(window.StatusIcon.Hint(), c.HintAfterCheck);
        EXPECT_EQ(Around.Reports.size(), 1u);
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
        Afresh();
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

TEST_F(MainWindowTest, CloseEndsTheProgramWithoutWritingAndTheNewMailIconStartsTheMailProgram) {
    TMainWindow& window = Start();
    const auto before = Around.Registry.Stored;
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

}  // namespace
}  // namespace quorvel
