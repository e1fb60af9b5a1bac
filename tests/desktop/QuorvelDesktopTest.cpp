// The tray program on both kinds of tray host, end to end (the rig:
// QuorvelDesktop.h). New tests of the tray program go at the end of this file.
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <set>

#include "tests/desktop/QuorvelDesktop.h"
#include "tests/pop3server/HoldingRelay.h"
#include "tray/Animation.h"

namespace quorvel {
namespace {

const QString StatusTip = QStringLiteral("Quorvel - ");

TEST_F(QuorvelDesktop, WithoutAccountsOnlyTheStatusIconAndExitLeavesNoTrace) {
    SniHost host(Session->BusAddress());
    ASSERT_TRUE(host.Ok());
    StartQuorvel();
    const QString status = WaitForItem(host, "Quorvel - アカウントを設定してください");
    ASSERT_FALSE(status.isEmpty());
    EXPECT_EQ(Shown(host.ReadItem(status)), ToImage(ImageListPicture(9)));
    EXPECT_EQ(host.Items().size(), 1);
    host.ClickMenu(status, MenuId(host.ReadMenu(status), "終了(_X)"));
    ASSERT_TRUE(Program->waitForFinished(AppearMs));
    EXPECT_EQ(Program->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(Program->exitCode(), 0);
    EXPECT_TRUE(WaitUntil([&] { return host.Items().isEmpty(); }, AppearMs));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(SettingsFile())));  // nothing is written at exit
}

TEST_F(QuorvelDesktop, MailShowsTheLevelAndTheSummaryAndEveryClickChecksOnce) {
    DovecotServer server({{"alice", "alice-pass", 3}}, RawLog());
    Save(server, {{"alice", 0}});
    const QString started = InstallMailProgram();

    // The sound goes through ALSA's default device, here a file.
    const QString sound = Folder("home/sound.raw");
    QDir().mkpath(Folder("home"));
    QFile alsa(Folder("home/.asoundrc"));
    ASSERT_TRUE(alsa.open(QIODevice::WriteOnly));
    alsa.write("pcm.!default { type file; slave.pcm \"null\"; file \"" + sound.toUtf8() + "\"; format \"raw\" }\n");
    alsa.close();
    Session->SetEnvironment("HOME", Folder("home"));

    SniHost host(Session->BusAddress());
    StartQuorvel();
    const QString status = WaitForItem(host, "Quorvel - 監視中");
    const QString mail = WaitForItem(host, "alice@");
    ASSERT_FALSE(status.isEmpty());
    ASSERT_FALSE(mail.isEmpty());
    // The new-mail sound played, and libcanberra was unloaded after it.
    auto mapsCanberra = [&] {
        QFile maps(QStringLiteral("/proc/%1/maps").arg(Program->processId()));
        return !maps.open(QIODevice::ReadOnly) || maps.readAll().contains("libcanberra");
    };
    // The sanitizer run plays through libcanberra's null driver: no sound
    // data, but the library still comes and goes.
    const bool silent = qEnvironmentVariable("CANBERRA_DRIVER") == QLatin1String("null");
    EXPECT_TRUE(WaitUntil([&] { return (silent || QFileInfo(sound).size() > 0) && !mapsCanberra(); }, AppearMs));
    // The aerial with as many bars as the time the check took earns
    // (CheckCycle decides how many).
    EXPECT_GE(Bars(host, status), 1);
    EXPECT_EQ(host.ReadItem(mail).ToolTipTitle, "alice@127.0.0.1 3通");
    EXPECT_EQ(Shown(host.ReadItem(mail)), ToImage(ImageListPicture(8)));

    ASSERT_TRUE(WaitUntil([&] { return Checks(server) == 1; }, AppearMs));
    host.Activate(status);
    EXPECT_TRUE(WaitUntil([&] { return Checks(server) == 2; }, AppearMs));
    host.ClickMenu(status, MenuId(host.ReadMenu(status), "メールチェック(_C)"));
    EXPECT_TRUE(WaitUntil([&] { return Checks(server) == 3; }, AppearMs));
    WaitUntil([] { return false; }, 500);
    EXPECT_EQ(Checks(server), 3);

    host.Activate(mail);
    EXPECT_TRUE(WaitUntil([&] { return QFile::exists(started); }, AppearMs));

    // Every account failing takes the new-mail icon away.
    server.Stop();
    host.Activate(status);
    EXPECT_TRUE(WaitForStatus(host, status, "Quorvel - チェックできませんでした"));
    EXPECT_TRUE(WaitUntil([&] { return host.Items().size() == 1; }, AppearMs));
}

// Each dialog action greys its own entry while its dialog is open; only the
// account list's "閉じる" writes the settings.
TEST_F(QuorvelDesktop, DialogsOpenFromTheMenuAndGreyTheirEntryMeanwhile) {
    if (QStandardPaths::findExecutable("xdotool").isEmpty()) GTEST_SKIP() << "xdotool is not installed";
    SniHost host(Session->BusAddress());
    StartQuorvel();
    const QString status = WaitForItem(host, StatusTip + "アカウント");
    ASSERT_FALSE(status.isEmpty());
    struct Row {
        const char* Entry;
        const char* Title;
        const char* Key;  // closes it; none: its "閉じる" button
    };
    for (const Row& row : {Row{"オプション(_O)...", "オプション", "Escape"},
                           Row{"バージョン情報(_A)...", "quorvelのバージョン情報", "Return"},
                           Row{"アカウントの設定(_A)...", "Accounts", nullptr}}) {
        SCOPED_TRACE(row.Entry);
        auto entryEnabled = [&] { return Entry(host.ReadMenu(status), row.Entry).Enabled; };
        host.ClickMenu(status, MenuId(host.ReadMenu(status), row.Entry));
        QString window;
        ASSERT_TRUE(WaitUntil(
            [&] {
                window = Session->Run("xdotool", {"search", "--onlyvisible", "--name", row.Title}).trimmed();
                return !window.isEmpty();
            },
            AppearMs));
        EXPECT_TRUE(WaitUntil([&] { return !entryEnabled(); }, AppearMs));
        Session->Screenshot(QDir::temp().filePath(QString("quorvel-dialog-%1.png").arg(row.Title)));
        // Closed as each allows: the list by its "閉じる" button at the bottom
        // right, which saves; options by Esc (cancel); About by Enter.
        window = window.section('\n', 0, 0);
        if (row.Key) {
            Session->Run("xdotool", {"windowfocus", "--sync", window});
            Session->Run("xdotool", {"key", row.Key});
        } else {
            const QRect place = Session->WindowGeometry(window);
            Session->Run("xdotool", {"mousemove", QString::number(place.right() - 30),
                                     QString::number(place.bottom() - 14), "click", "1"});
        }
        EXPECT_TRUE(WaitUntil([&] { return entryEnabled(); }, AppearMs));
        EXPECT_EQ(QFile::exists(QString::fromStdString(SettingsFile())), row.Key == nullptr);
    }
}

TEST_F(QuorvelDesktop, StartedBeforeThePanelItsIconAppearsWithThePanel) {
    StartQuorvel();
    // It waits for a panel that is not there yet.
    ASSERT_TRUE(
        WaitUntil([&] { return Session->Watches(Program->processId(), "org.kde.StatusNotifierWatcher"); }, AppearMs));
    ASSERT_EQ(Program->state(), QProcess::Running);
    SniHost host(Session->BusAddress());
    EXPECT_FALSE(WaitForItem(host, StatusTip).isEmpty());
}

// At a sway log-in waybar may start twice (from sway's config and as a user
// unit), the second taking the watcher name over as the first gets its host.
TEST_F(QuorvelDesktop, OnSwayBothIconsStayWithTheWaybarThatHoldsTheWatcher) {
    if (!Session->StartSway()) GTEST_SKIP() << "sway or waybar is not installed (scripts/deps.sh installs them)";
    DovecotServer server({{"alice", "alice-pass", 3}});
    Save(server, {{"alice", 0}});
    StartQuorvel();
    QProcess* panels[] = {Session->StartWaybar(), Session->StartWaybar()};
    QDBusConnection bus = QDBusConnection::connectToBus(Session->BusAddress(), "waybar-watch");
    const QString name = "org.kde.StatusNotifierWatcher";
    auto holders = [&] { return bus.interface()->call("ListQueuedOwners", name).arguments().value(0).toStringList(); };
    auto items = [&] {
        QDBusMessage get =
            QDBusMessage::createMethodCall(name, "/StatusNotifierWatcher", "org.freedesktop.DBus.Properties", "Get");
        const QDBusMessage reply = bus.call(get << name << "RegisteredStatusNotifierItems", QDBus::Block, 2000);
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    };
    EXPECT_TRUE(WaitUntil([&] { return holders().size() == 2 && items().toStringList().size() == 2; }, AppearMs));
    // The one holding the name ends, and the name goes back to the other.
    const uint holder = bus.interface()->servicePid(name).value();
    for (QProcess* panel : panels)
        if (panel->processId() == holder) DesktopSession::Kill(panel);
    EXPECT_TRUE(WaitUntil([&] { return holders().size() == 1 && items().toStringList().size() == 2; }, AppearMs));
    QDBusConnection::disconnectFromBus("waybar-watch");
}

// The checking animation seen from outside: a check held open (a relay in
// front of Dovecot keeps the server silent) turns the aerial with the bars of
// the previous check.
TEST_F(QuorvelDesktop, ACheckHeldOpenAnimatesWithThePreviousBars) {
    DovecotServer server({{"alice", "alice-pass", 3}});
    HoldingRelay relay(server.Host(), server.Port());
    Save(server, {{"alice", relay.Port()}});
    SniHost host(Session->BusAddress());
    StartQuorvel();
    const QString status = WaitForItem(host, "Quorvel - 監視中");
    ASSERT_FALSE(status.isEmpty());
    // The level the first check found (its bars depend on the time it took).
    const int level = Bars(host, status);
    ASSERT_GE(level, 1);

    relay.Hold();
    std::vector<QImage> frames;
    TAnimationPlanes planes;
    std::int32_t frame = 0;
    for (int i = 0; i < 6; ++i) frames.push_back(ToImage(AnimationTick(planes, frame, level).Image));
    std::set<int> seen;
    bool foreign = false;
    host.Activate(status);
    ASSERT_TRUE(WaitForStatus(host, status, "Quorvel - チェック中..."));
    WaitUntil(
        [&] {
            const SniItemState state = host.ReadItem(status);
            if (state.ToolTipTitle != "Quorvel - チェック中...") return true;
            const auto at = std::find(frames.begin(), frames.end(), Shown(state));
            if (at != frames.end()) {
                seen.insert(static_cast<int>(at - frames.begin()));
            } else if (Shown(state) != ToImage(ImageListPicture(9 + level))) {
                foreign = true;
            }
            return seen.size() >= 3 || foreign;
        },
        AppearMs);
    relay.Release();
    EXPECT_GE(seen.size(), 3u);
    EXPECT_FALSE(foreign);
    EXPECT_TRUE(WaitForStatus(host, status, "Quorvel - 監視中"));
}

TEST_F(QuorvelDesktop, OnAnXEmbedTrayBothIconsDockAndAClickChecks) {
    for (const char* tool : {"trayer", "xdotool", "import"})
        if (QStandardPaths::findExecutable(tool).isEmpty()) GTEST_SKIP() << tool << " is not installed";
    DovecotServer server({{"alice", "alice-pass", 3}}, RawLog());
    Save(server, {{"alice", 0}});
    ASSERT_TRUE(Session->StartXEmbedTray()) << Session->TrayProblem().toStdString();
    StartQuorvel();
    ASSERT_TRUE(WaitUntil([&] { return Session->FindWindows("quorvel").size() == 2; }, AppearMs))
        << Session->FindWindows("quorvel").join(' ').toStdString();
    ASSERT_TRUE(WaitUntil([&] { return Checks(server) == 1; }, AppearMs));
    Session->Screenshot(QDir::temp().filePath("quorvel-program-xembed.png"));
    // One of the two is the status icon: clicking both checks exactly once
    // (the other opens the mail program, of which none is set up here).
    for (const QString& window : Session->FindWindows("quorvel")) ASSERT_TRUE(Session->Click(window));
    EXPECT_TRUE(WaitUntil([&] { return Checks(server) == 2; }, AppearMs));
    WaitUntil([] { return false; }, 500);
    EXPECT_EQ(Checks(server), 2);
}

}  // namespace
}  // namespace quorvel
