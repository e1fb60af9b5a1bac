// quorvel.exe under Wine as a user meets it: on a private desktop with a
// real XEmbed tray (trayer), its icons docked by Wine, read through their
// pixels and Wine's traces, clicked with xdotool, checking a real Dovecot.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QStandardPaths>
#include <cstdio>
#include <memory>
#include <optional>
#include <set>

#include "core/ScopeExit.h"
#include "settings/Settings.h"
#include "tests/desktop/DesktopSession.h"
#include "tests/pop3server/DovecotServer.h"
#include "tests/pop3server/HoldingRelay.h"
#include "tests/pop3server/OAuthRig.h"
#include "tests/pop3server/TestPki.h"
#include "tests/support/TempFolder.h"
#include "tests/wine/WineDesktop.h"
#include "tests/wine/WineRunner.h"
#include "tray/Animation.h"
#include "tray/ImageList.h"

namespace quorvel {
namespace {

constexpr int DockMs = 30000;  // Wine docks more slowly than a Qt program
// The status icon after a check that succeeded: the aerial with as many bars
// (one to four) as the time the check took earns; CheckCycle decides how many.
constexpr int Bars = -1;
constexpr int CheckMs = 15000;
const char* const Program = "gui/win32/quorvel.exe";
const char* const SettingsKey = "HKEY_CURRENT_USER\\Software\\Ombrask\\Quorvel";

// A shape as rows of '#' and '.', for failure messages.
std::string Drawn(const PixelShape& Shape) {
    std::string rows;
    for (int y = 0; y < 18; ++y) {
        for (int x = 0; x < 18; ++x) rows += Shape.count({x, y}) ? '#' : '.';
        rows += '\n';
    }
    return rows;
}

// The status icon's menu as drawn; its first entry greyed while a check runs.
std::vector<DrawnMenuEntry> StatusMenu(bool Checking) {
    return {
        {"メールチェック(&C)", false, false, Checking},
        {"メーラーを開く(&M)", false, false, false},
        {"", true, false, false},
        {"設定(&S)", false, true, false},
        {"バージョン情報(&A)...", false, false, false},
        {"", true, false, false},
        {"終了(&X)", false, false, false},
    };
}

// The settings as regedit imports them: the interval, the new-mail notice
// (off unless asked for: its balloon would lie over the icons) and one account
// per port, each user "alice" with her password.
std::string SettingsText(const std::vector<std::int32_t>& Ports, unsigned Minutes = 5, bool Notify = false) {
    char interval[16];
    std::snprintf(interval, sizeof interval, "%08x", Minutes);
    std::string text = "REGEDIT4\r\n\r\n[-" + std::string(SettingsKey) + "]\r\n\r\n[" + SettingsKey +
                       "]\r\n\"Interval\"=dword:" + interval + "\r\n" +
                       (Notify ? "" : "\"Notify\"=dword:00000000\r\n") + "\r\n";
    for (std::size_t i = 0; i < Ports.size(); ++i) {
        char port[16];
        std::snprintf(port, sizeof port, "%08x", static_cast<unsigned>(Ports[i]));
        text += "[" + std::string(SettingsKey) + "\\Accounts\\" + std::to_string(i) +
                "]\r\n\"Host\"=\"127.0.0.1\"\r\n\"PortNo\"=dword:" + port +
                "\r\n\"UserID\"=\"alice\"\r\n\"Password\"=\"" + EncodePassword("alice-pass") +
                "\"\r\n\"Enabled\"=\"1\"\r\n\r\n";
    }
    return text;
}

// The default mail program: the mark program under a client name of its
// own, its command an expandable string with a %VAR% reference; or Wine's
// own registration back, which has no command.
std::string MailClientText(bool Marked) {
    const std::string clients = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\Mail";
    if (!Marked) {
        return "REGEDIT4\r\n\r\n[-" + clients + "\\QuorvelMark]\r\n\r\n[" + clients +
               "]\r\n@=\"Native Mail Client\"\r\n\r\n";
    }
    std::string hex;
    for (unsigned char c : std::string("\"%QUORVEL_MARK_DIR%\\quorvel-mail-mark.exe\" clicked")) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02x,", c);
        hex += byte;
    }
    return "REGEDIT4\r\n\r\n[" + clients + "]\r\n@=\"QuorvelMark\"\r\n\r\n[" + clients +
           "\\QuorvelMark\\shell\\open\\command]\r\n@=hex(2):" + hex + "00\r\n\r\n";
}

class WindowsTrayWine : public ::testing::Test {
protected:
    void SetUp() override {
        StartGuiApplication("windows_tray_wine_tests");
        if (const std::string reason = Runner.SkipReason(Program); !reason.empty()) GTEST_SKIP() << reason;
        for (const char* tool : {"trayer", "xdotool", "import"})
            if (QStandardPaths::findExecutable(tool).isEmpty()) GTEST_SKIP() << tool << " is not installed";
        Session = std::make_unique<DesktopSession>();
        if (!Session->Ok()) GTEST_SKIP() << Session->SkipReason().toStdString();
        // The tray first: Wine's shell docks into it as it starts.
        ASSERT_TRUE(Session->StartXEmbedTray()) << Session->TrayProblem().toStdString();
        Wine = std::make_unique<WineDesktop>(*Session, Runner, Temp.Path());
        std::string why;
        ASSERT_TRUE(Wine->StartSession(why)) << why;
    }
    void TearDown() override {
        if (Wine) Wine->Import(MailClientText(false));
        Wine.reset();
        Session.reset();
    }

    // Starts quorvel.exe and waits for Count icons and the end of the first check.
    QProcess* StartQuorvel(int Count) {
        QProcess* program =
            Wine->Start(Program, {{"QUORVEL_MARK_DIR", WineRunner::WindowsPath(Runner.BuildFolder() / "tests/wintray")},
                                  {"QUORVEL_MARK_FILE", WineRunner::WindowsPath(MarkFile())}});
        EXPECT_TRUE(WaitUntil([&] { return static_cast<int>(Wine->DockedIcons().size()) == Count; }, DockMs))
            << "icons docked: " << Wine->DockedIcons().size();
        return program;
    }

    // The docked icon that shows Picture (or, for Bars, the aerial with any
    // number of bars), once one does (a screenshot may catch an icon while
    // Wine paints it).
    std::optional<QString> IconShowing(int Picture) const {
        std::set<PixelShape> wanted;
        if (Picture != Bars) wanted.insert(ShapeOf(ImageListPicture(Picture)));
        for (int level = 1; level <= 4 && Picture == Bars; ++level) wanted.insert(ShapeOf(ImageListPicture(9 + level)));
        std::optional<QString> found;
        WaitUntil(
            [&] {
                for (const QString& window : Wine->DockedIcons())
                    if (wanted.count(Wine->ShownShape(window))) found = window;
                return found.has_value();
            },
            CheckMs);
        return found;
    }

    // What every docked icon shows, for a failure's message.
    std::string ShownIcons() const {
        std::string shown;
        for (const QString& window : Wine->DockedIcons()) shown += "\n" + Drawn(Wine->ShownShape(window));
        return shown;
    }

    // "終了(&X)" from the status icon's menu; how long the program took to end.
    qint64 ExitFromMenu(QProcess* Quorvel, const QString& Status) {
        Wine->ForgetMenus();
        Wine->Click(Status, 3);
        Wine->DrawnMenu(StatusMenu(false));
        QElapsedTimer clock;
        clock.start();
        Wine->MenuKeys({"x"});
        EXPECT_TRUE(Quorvel->waitForFinished(CheckMs));
        return clock.elapsed();
    }

    std::filesystem::path MarkFile() const { return Temp.Path() / "mail-mark.txt"; }

    TTempFolder Temp;
    WineRunner Runner;
    std::unique_ptr<DesktopSession> Session;
    std::unique_ptr<WineDesktop> Wine;
};

// What the icons show after the first check, and a clean exit from the menu.
TEST_F(WindowsTrayWine, IconsHintsAndExit) {
    DovecotOptions options;
    options.RawLog = true;
    DovecotServer server({{"alice", "alice-pass", 3}}, options);
    DovecotServer stopped({{"alice", "alice-pass", 3}});
    const std::int32_t stoppedPort = stopped.Port();
    stopped.Stop();

    struct Icon {
        int Picture;
        std::string Hint;
    };
    struct Case {
        const char* Name;
        std::vector<std::int32_t> Ports;
        std::vector<Icon> Icons;  // the status icon first
    };
    const Case cases[] = {
        {"one account with 3 messages",
         {server.Port()},
         {{Bars, "Quorvel - 監視中"}, {NewMailPicture, "alice@127.0.0.1 3通"}}},
        {"no account", {}, {{9, "Quorvel - アカウントを設定してください"}}},
        {"the server stopped", {stoppedPort}, {{9, "Quorvel - チェックできませんでした"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        ASSERT_TRUE(Wine->Import(SettingsText(c.Ports)));
        const std::string before = Wine->Export(SettingsKey);
        QProcess* quorvel = StartQuorvel(static_cast<int>(c.Icons.size()));
        Session->Screenshot(QDir::temp().filePath(QString("quorvel-wine-%1.png").arg(c.Icons.size())));
        std::optional<QString> status;
        for (const Icon& icon : c.Icons) {
            const std::optional<QString> window = IconShowing(icon.Picture);
            ASSERT_TRUE(window.has_value()) << "no icon shows picture " << icon.Picture << ShownIcons();
            if (!status) status = window;
            EXPECT_EQ(Wine->HoverHint(*window), icon.Hint);
        }
        const qint64 ms = ExitFromMenu(quorvel, *status);
        std::printf("[ figures  ] %s: ended %lld ms after 終了(&X)\n", c.Name, static_cast<long long>(ms));
        EXPECT_EQ(quorvel->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(quorvel->exitCode(), 0);
        EXPECT_TRUE(WaitUntil([&] { return Wine->DockedIcons().empty(); }, CheckMs));
        EXPECT_EQ(Wine->Export(SettingsKey), before);
    }
    EXPECT_EQ(CountOf(server.RawInput("alice"), "STAT\r\n"), 1);
}

// Clicks, the menu and its states, the mail program, a second copy, and an
// exit chosen while a check waits.
TEST_F(WindowsTrayWine, ClicksMenuMailProgramAndASecondCopy) {
    DovecotOptions options;
    options.RawLog = true;
    DovecotServer server({{"alice", "alice-pass", 3}}, options);
    HoldingRelay relay(server.Host(), server.Port());
    ASSERT_TRUE(Wine->Import(SettingsText({relay.Port()})));
    ASSERT_TRUE(Wine->Import(MailClientText(true)));
    QProcess* quorvel = StartQuorvel(2);
    auto checks = [&] { return CountOf(server.RawInput("alice"), "STAT\r\n"); };
    ASSERT_TRUE(WaitUntil([&] { return checks() == 1; }, CheckMs));
    const std::optional<QString> status = IconShowing(Bars);
    const std::optional<QString> mail = IconShowing(NewMailPicture);
    ASSERT_TRUE(status && mail) << ShownIcons();

    // The menu and its submenu, nothing greyed while no check runs.
    Wine->ForgetMenus();
    ASSERT_TRUE(Wine->Click(*status, 3));
    EXPECT_EQ(Wine->DrawnMenu(StatusMenu(false)), StatusMenu(false));
    Session->Screenshot(QDir::temp().filePath("quorvel-wine-menu.png"));
    Wine->MenuKeys({"s"});
    const std::vector<DrawnMenuEntry> submenu = {
        {"アカウントの設定(&A)...", false, false, false},
        {"オプション(&O)...", false, false, false},
    };
    EXPECT_EQ(Wine->DrawnMenu(submenu), submenu);
    Wine->MenuKeys({"Escape", "Escape"});
    ASSERT_TRUE(WaitUntil([&] { return Wine->OpenMenus() == 0; }, CheckMs));  // or the click closes it

    // A left click on the status icon checks exactly once.
    ASSERT_TRUE(Wine->Click(*status, 1));
    EXPECT_TRUE(WaitUntil([&] { return checks() == 2; }, CheckMs));
    WaitUntil([] { return false; }, 500);
    EXPECT_EQ(checks(), 2);

    // During a check: "メールチェック(&C)" greyed, a click starts nothing more.
    relay.Hold();
    const int accepted = relay.Accepted();
    ASSERT_TRUE(Wine->Click(*status, 1));
    ASSERT_TRUE(WaitUntil([&] { return relay.Accepted() == accepted + 1; }, CheckMs));
    // Meanwhile the status icon turns its aerial, with the bars of the last
    // check (as many as its time earned: any of the levels' frames).
    std::set<PixelShape> frames;
    for (int level = 1; level <= 4; ++level) {
        TAnimationPlanes planes;
        std::int32_t frame = 0;
        for (int i = 0; i < AnimationFrameCount; ++i) frames.insert(ShapeOf(AnimationTick(planes, frame, level).Image));
    }
    // Frame 0 is the level picture itself, so more than one frame must show.
    // A shot that catches the icon cleared for painting (nothing dark) tells nothing.
    std::set<PixelShape> shown;
    WaitUntil(
        [&] {
            const PixelShape picture = Wine->ShownShape(*status);
            if (frames.count(picture)) {
                shown.insert(picture);
            } else if (!picture.empty()) {
                ADD_FAILURE() << "not an animation frame:\n" << Drawn(picture);
                return true;
            }
            return shown.size() >= 2;
        },
        CheckMs);
    EXPECT_GE(shown.size(), 2u);
    Wine->ForgetMenus();
    ASSERT_TRUE(Wine->Click(*status, 3));
    EXPECT_EQ(Wine->DrawnMenu(StatusMenu(true)), StatusMenu(true));
    Wine->MenuKeys({"Escape"});
    ASSERT_TRUE(WaitUntil([&] { return Wine->OpenMenus() == 0; }, CheckMs));
    ASSERT_TRUE(Wine->Click(*status, 1));
    relay.Release();
    EXPECT_TRUE(WaitUntil([&] { return checks() == 3; }, CheckMs));
    WaitUntil([] { return false; }, 500);
    EXPECT_EQ(relay.Accepted(), accepted + 1);
    EXPECT_EQ(checks(), 3);

    // The new-mail icon starts the registered mail program; with none
    // registered (Wine's own entry has no command) nothing happens.
    ASSERT_TRUE(Wine->Click(*mail, 1));
    EXPECT_TRUE(WaitUntil([&] { return ReadText(MarkFile()) == "clicked|\n"; }, CheckMs)) << ReadText(MarkFile());
    ASSERT_TRUE(Wine->Import(MailClientText(false)));
    ASSERT_TRUE(Wine->Click(*mail, 1));
    WaitUntil([] { return false; }, 2000);
    EXPECT_EQ(ReadText(MarkFile()), "clicked|\n");

    // A second copy ends at once, silently, and leaves the first alone.
    const ChildResult second = Wine->Run(Program, std::chrono::seconds(20));
    EXPECT_TRUE(second.Finished);
    EXPECT_EQ(second.ExitStatus, 0);
    std::printf("[ figures  ] a second copy ended after %lld ms\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(second.Elapsed).count()));
    EXPECT_EQ(Wine->DockedIcons().size(), 2);
    EXPECT_EQ(quorvel->state(), QProcess::Running);

    // "終了(&X)" during a check: the check runs to its end, then the program ends.
    relay.Hold();
    ASSERT_TRUE(Wine->Click(*status, 1));
    ASSERT_TRUE(WaitUntil([&] { return relay.Accepted() == accepted + 2; }, CheckMs));
    Wine->ForgetMenus();
    ASSERT_TRUE(Wine->Click(*status, 3));
    Wine->DrawnMenu(StatusMenu(true));
    Wine->MenuKeys({"x"});
    EXPECT_FALSE(quorvel->waitForFinished(1000));
    relay.Release();
    EXPECT_TRUE(quorvel->waitForFinished(CheckMs));
    EXPECT_EQ(quorvel->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(quorvel->exitCode(), 0);
    EXPECT_EQ(checks(), 4);
    EXPECT_TRUE(WaitUntil([&] { return Wine->DockedIcons().empty(); }, CheckMs));
}

// A rise in the count shows the balloon; a click on it starts the mail
// program; waking from sleep brings a check within 20 s, though the interval
// is an hour. Wine's shell tells no click on its balloons: the test posts the
// NIN_BALLOONUSERCLICK of Windows' shell to both icons' windows.
TEST_F(WindowsTrayWine, BalloonAndWaking) {
    DovecotOptions options;
    options.RawLog = true;
    DovecotServer server({{"alice", "alice-pass", 3}}, options);
    ASSERT_TRUE(Wine->Import(SettingsText({server.Port()}, 60, true)));
    ASSERT_TRUE(Wine->Import(MailClientText(true)));
    QProcess* quorvel = StartQuorvel(2);
    auto checks = [&] { return CountOf(server.RawInput("alice"), "STAT\r\n"); };
    ASSERT_TRUE(WaitUntil([&] { return checks() == 1; }, CheckMs));
    EXPECT_EQ(Wine->NextBalloon(CheckMs),
              std::make_pair(std::string("新着メール"), std::string("alice@127.0.0.1 3通")));
    const auto post = [&](const std::vector<std::string>& Arguments) {
        return Wine->Run("tests/wintray/quorvel-window-post.exe", std::chrono::seconds(20), Arguments).ExitStatus == 0;
    };
    ASSERT_TRUE(post({"QuorvelTrayIcon", "0x400", "2", "0x405"}));
    EXPECT_TRUE(WaitUntil([&] { return ReadText(MarkFile()) == "clicked|\n"; }, CheckMs)) << ReadText(MarkFile());
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(post({"TMainForm", "0x218", "0x12", "0"}));  // WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC
    EXPECT_TRUE(WaitUntil([&] { return checks() == 2; }, 20000));
    std::printf("[ figures  ] a check %lld ms after the resume\n", static_cast<long long>(clock.elapsed()));
    ASSERT_TRUE(post({"TMainForm", "0x10", "0", "0"}));  // WM_CLOSE: the balloon may lie over the menu's icon
    EXPECT_TRUE(quorvel->waitForFinished(CheckMs));
    EXPECT_EQ(checks(), 2);
    EXPECT_EQ(ReadText(MarkFile()), "clicked|\n");
}

// An OAuth account that quorvel-check.exe signed in: the tray checks it with
// the tokens from the Credential Manager, no token call while they are
// fresh. The tray takes no CA file: the account trusts the server's
// certificate by its fingerprint, as the account dialog keeps it.
TEST_F(WindowsTrayWine, AnOAuthAccountSignedInIsChecked) {
    OAuthRig rig(false);
    const std::string settings =
        ReadText(rig.Config("alice", true, TestPki::Get().Sha256("good")) / "Quorvel" / "registry.reg");
    const std::string browserKey = "HKEY_CURRENT_USER\\Software\\Wine\\WineBrowser";
    const std::string credentialsKey = "HKEY_CURRENT_USER\\Software\\Wine\\Credential Manager";
    const std::string credentials = Wine->Export(credentialsKey);
    OnScopeExit cleanUp([&] {
        Wine->Import("REGEDIT4\r\n\r\n[-" + std::string(SettingsKey) + "]\r\n[-" + browserKey + "]\r\n[-" +
                     credentialsKey + "]\r\n");
        if (!credentials.empty()) Wine->Import(credentials);
    });
    ASSERT_TRUE(Wine->Import("REGEDIT4\r\n\r\n[-" + std::string(SettingsKey) + "]\r\n" +
                             settings.substr(settings.find('\n')) + "\r\n[" + browserKey + "]\r\n\"Browsers\"=\"" +
                             rig.Browser().string() + "\"\r\n"));
    const ChildResult signedIn =
        Wine->Run("app/quorvel-check.exe", std::chrono::seconds(60), {"--sign-in", "alice@127.0.0.1"});
    ASSERT_EQ(signedIn.ExitStatus, 0) << rig.BrowserLog();  // its output goes to no one here
    QProcess* quorvel = StartQuorvel(2);
    const std::optional<QString> status = IconShowing(Bars);
    const std::optional<QString> mail = IconShowing(NewMailPicture);
    ASSERT_TRUE(status && mail) << ShownIcons() << rig.Dovecot->Log();
    EXPECT_EQ(Wine->HoverHint(*mail), "alice@127.0.0.1 3通");
    EXPECT_EQ(rig.State()["token_calls"], 1);
    ExitFromMenu(quorvel, *status);
}

}  // namespace
}  // namespace quorvel
