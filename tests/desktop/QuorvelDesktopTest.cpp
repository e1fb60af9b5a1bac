// The tray program end to end, as a user meets it: the real quorvel on a
// private X display and session bus, read and clicked the way a panel does
// (a StatusNotifierItem host, or a real XEmbed tray), checking a real Dovecot.
#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStandardPaths>
#include <algorithm>
#include <memory>
#include <set>

#include "settings/Account.h"
#include "settings/RegistryStore.h"
#include "settings/Settings.h"
#include "tests/desktop/DesktopSession.h"
#include "tests/desktop/SniHost.h"
#include "tests/pop3server/DovecotServer.h"
#include "tests/pop3server/HoldingRelay.h"
#include "tests/support/TempFolder.h"
#include "tray/Animation.h"
#include "tray/ImageList.h"
#include "tray/PanelImage.h"

namespace quorvel {
namespace {

constexpr int AppearMs = 15000;
const QString StatusTip = QStringLiteral("Quorvel - ");

QImage ToImage(const TPicture16& Picture) {
    const TPanelImage panel = RenderForPanel(Picture, 16);
    QImage image(16, 16, QImage::Format_ARGB32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) image.setPixel(x, y, panel.At(x, y));
    return image;
}

// The 16 x 16 picture a panel would draw for an item.
QImage Shown(const SniItemState& State) {
    for (const QImage& image : State.IconPixmaps)
        if (image.width() == 16) return image.convertToFormat(QImage::Format_ARGB32);
    return {};
}

int CountOf(const std::string& Text, const std::string& Word) {
    int n = 0;
    for (auto at = Text.find(Word); at != std::string::npos; at = Text.find(Word, at + 1)) ++n;
    return n;
}

// A stand-in for the desktop's notification service on a private bus: it
// keeps every call, numbers each notice anew and sends the signals it is told.
class NoticeService final : public QDBusVirtualObject {
public:
    explicit NoticeService(const QString& Address) : Bus(QDBusConnection::connectToBus(Address, "notices")) {
        Bus.registerVirtualObject(Path, this);
        Bus.registerService("org.freedesktop.Notifications");
    }
    ~NoticeService() override { QDBusConnection::disconnectFromBus("notices"); }
    bool handleMessage(const QDBusMessage& Call, const QDBusConnection& Connection) override {
        Calls.push_back(Call);
        Connection.send(Call.member() == "Notify" ? Call.createReply(++LastId) : Call.createReply());
        return true;
    }
    QString introspect(const QString&) const override { return {}; }
    std::vector<QDBusMessage> Named(const QString& Member) const {
        std::vector<QDBusMessage> named;
        for (const QDBusMessage& call : Calls)
            if (call.member() == Member) named.push_back(call);
        return named;
    }
    void Signal(const QString& Name, const QVariantList& Arguments) {
        QDBusMessage signal = QDBusMessage::createSignal(Path, "org.freedesktop.Notifications", Name);
        signal.setArguments(Arguments);
        Bus.send(signal);
    }

    QDBusConnection Bus;
    const QString Path = "/org/freedesktop/Notifications";
    std::vector<QDBusMessage> Calls;
    uint LastId = 40;
};

class QuorvelDesktop : public ::testing::Test {
protected:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "quorvel_desktop_tests";
        static char* argv[] = {name, nullptr};
        static QGuiApplication app(argc, argv);
        Session = std::make_unique<DesktopSession>();
        if (!Session->Ok()) GTEST_SKIP() << Session->SkipReason().toStdString();
        for (const char* sub : {"config/Quorvel", "run", "data/applications"}) QDir().mkpath(Folder(sub));
        QFile::setPermissions(Folder("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        Session->SetEnvironment("XDG_CONFIG_HOME", Folder("config"));
        Session->SetEnvironment("XDG_RUNTIME_DIR", Folder("run"));
        Session->SetEnvironment("XDG_DATA_HOME", Folder("data"));
    }

    QString Folder(const char* Sub) const { return QString::fromStdString((Temp.Path() / Sub).string()); }
    std::string SettingsFile() const { return (Temp.Path() / "config/Quorvel/registry.reg").string(); }

    void Save(const DovecotServer& Server, std::initializer_list<std::pair<const char*, std::int32_t>> Rows) {
        TAccounts accounts;
        for (const auto& [user, port] : Rows) {
            TAccount& account = accounts.Add();
            account.Host = Server.Host();
            account.Port = port ? port : Server.Port();
            account.UserID = user;
            account.Password = std::string(user) + "-pass";
            account.Enabled = true;
        }
        TRegistryStore store(SettingsFile());
        SaveAccounts(store, accounts);
    }

    QProcess* StartQuorvel() { return Program = Session->Start(QUORVEL_PROGRAM); }

    // The desktop's mail program: a test handler of mailto links that adds a
    // line to the file whose name it returns each time it starts.
    QString InstallMailProgram() {
        const QString started = Folder("mail-started");
        QFile handler(Folder("data/applications") + "/quorvel-test-mail.desktop");
        QFile mimeapps(Folder("config") + "/mimeapps.list");
        EXPECT_TRUE(handler.open(QIODevice::WriteOnly) && mimeapps.open(QIODevice::WriteOnly));
        handler.write(("[Desktop Entry]\nType=Application\nName=Test Mail\nExec=sh -c \"echo started >> " + started +
                       "\"\nMimeType=x-scheme-handler/mailto;\n")
                          .toUtf8());
        mimeapps.write("[Default Applications]\nx-scheme-handler/mailto=quorvel-test-mail.desktop\n");
        return started;
    }

    // The item whose tooltip starts with Tip, once there.
    QString WaitForItem(SniHost& Host, const QString& Tip) {
        QString found;
        WaitUntil(
            [&] {
                for (const QString& item : Host.Items())
                    if (Host.ReadItem(item).ToolTipTitle.startsWith(Tip)) found = item;
                return !found.isEmpty();
            },
            AppearMs);
        return found;
    }
    // Waits until the status item's tooltip is Tip (the end of a check).
    bool WaitForStatus(SniHost& Host, const QString& Item, const QString& Tip) {
        return WaitUntil([&] { return Host.ReadItem(Item).ToolTipTitle == Tip; }, AppearMs);
    }
    static int MenuId(const std::vector<SniMenuEntry>& Menu, const QString& Label) {
        for (const SniMenuEntry& entry : Menu) {
            if (entry.Label == Label) return entry.Id;
            if (int id = MenuId(entry.Children, Label)) return id;
        }
        return 0;
    }

    TTempFolder Temp;
    std::unique_ptr<DesktopSession> Session;
    QProcess* Program = nullptr;
};

TEST_F(QuorvelDesktop, WithoutAccountsOnlyTheStatusIconAndItsMenuAndExitLeavesNoTrace) {
    SniHost host(Session->BusAddress());
    ASSERT_TRUE(host.Ok());
    StartQuorvel();
    const QString status = WaitForItem(host, "Quorvel - アカウントを設定してください");
    ASSERT_FALSE(status.isEmpty());
    EXPECT_EQ(Shown(host.ReadItem(status)), ToImage(ImageListPicture(9)));
    EXPECT_EQ(host.Items().size(), 1);

    const auto menu = host.ReadMenu(status);
    QStringList labels;
    for (const SniMenuEntry& entry : menu) labels << (entry.Separator ? QString("-") : entry.Label);
    EXPECT_EQ(labels, QStringList({"メールチェック(_C)", "メーラーを開く(_M)", "-", "設定(_S)", "バージョン情報(_A)...",
                                   "-", "終了(_X)"}));
    ASSERT_EQ(menu.size(), 7u);
    ASSERT_EQ(menu[3].Children.size(), 2u);
    EXPECT_EQ(menu[3].Children[0].Label, "アカウントの設定(_A)...");
    EXPECT_EQ(menu[3].Children[1].Label, "オプション(_O)...");

    host.ClickMenu(status, MenuId(menu, "終了(_X)"));
    ASSERT_TRUE(Program->waitForFinished(AppearMs));
    EXPECT_EQ(Program->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(Program->exitCode(), 0);
    EXPECT_TRUE(WaitUntil([&] { return host.Items().isEmpty(); }, AppearMs));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(SettingsFile())));  // nothing is written at exit
}

TEST_F(QuorvelDesktop, MailShowsTheLevelAndTheSummaryAndEveryClickChecksOnce) {
    DovecotOptions options;
    options.RawLog = true;
    DovecotServer server({{"alice", "alice-pass", 3}}, options);
    Save(server, {{"alice", 0}});
    const QString started = InstallMailProgram();
    QFile settingsBefore(QString::fromStdString(SettingsFile()));
    ASSERT_TRUE(settingsBefore.open(QIODevice::ReadOnly));
    const QByteArray stored = settingsBefore.readAll();

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
    const QImage bars = Shown(host.ReadItem(status));
    EXPECT_TRUE(bars == ToImage(ImageListPicture(10)) || bars == ToImage(ImageListPicture(11)) ||
                bars == ToImage(ImageListPicture(12)) || bars == ToImage(ImageListPicture(13)));
    EXPECT_EQ(host.ReadItem(mail).ToolTipTitle, "alice@127.0.0.1 3通");
    EXPECT_EQ(Shown(host.ReadItem(mail)), ToImage(ImageListPicture(8)));

    auto checks = [&] { return CountOf(server.RawInput("alice"), "STAT\r\n"); };
    ASSERT_TRUE(WaitUntil([&] { return checks() == 1; }, AppearMs));
    host.Activate(status);
    EXPECT_TRUE(WaitUntil([&] { return checks() == 2; }, AppearMs));
    host.ClickMenu(status, MenuId(host.ReadMenu(status), "メールチェック(_C)"));
    EXPECT_TRUE(WaitUntil([&] { return checks() == 3; }, AppearMs));
    WaitUntil([] { return false; }, 500);
    EXPECT_EQ(checks(), 3);

    host.Activate(mail);
    EXPECT_TRUE(WaitUntil([&] { return QFile::exists(started); }, AppearMs));

    // Every account failing takes the new-mail icon away.
    server.Stop();
    host.Activate(status);
    EXPECT_TRUE(WaitForStatus(host, status, "Quorvel - チェックできませんでした"));
    EXPECT_TRUE(WaitUntil([&] { return host.Items().size() == 1; }, AppearMs));
    EXPECT_EQ(Shown(host.ReadItem(status)), ToImage(ImageListPicture(9)));

    host.ClickMenu(status, MenuId(host.ReadMenu(status), "終了(_X)"));
    ASSERT_TRUE(Program->waitForFinished(AppearMs));
    EXPECT_EQ(Program->exitCode(), 0);
    QFile settingsAfter(QString::fromStdString(SettingsFile()));
    ASSERT_TRUE(settingsAfter.open(QIODevice::ReadOnly));
    EXPECT_EQ(settingsAfter.readAll(), stored);
}

TEST_F(QuorvelDesktop, OneFailingAccountGivesTheFailureStateAndKeepsTheOthersSummary) {
    DovecotServer server({{"alice", "alice-pass", 3}});
    Save(server, {{"alice", 1}, {"alice", 0}});  // the first is refused
    SniHost host(Session->BusAddress());
    StartQuorvel();
    const QString status = WaitForItem(host, "Quorvel - チェックできませんでした");
    ASSERT_FALSE(status.isEmpty());
    EXPECT_EQ(Shown(host.ReadItem(status)), ToImage(ImageListPicture(9)));
    EXPECT_FALSE(WaitForItem(host, "alice@127.0.0.1 3通").isEmpty());
}

// Each dialog action greys its own entry while its dialog is open; closing
// the account list by the window manager writes nothing.
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
        auto entryEnabled = [&] {
            const auto menu = host.ReadMenu(status);
            for (const SniMenuEntry& entry : menu) {
                if (entry.Label == row.Entry) return entry.Enabled;
                for (const SniMenuEntry& child : entry.Children)
                    if (child.Label == row.Entry) return child.Enabled;
            }
            return true;
        };
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
// the previous check, and a click meanwhile starts no second check.
TEST_F(QuorvelDesktop, ACheckHeldOpenAnimatesWithThePreviousBars) {
    DovecotOptions options;
    options.RawLog = true;
    DovecotServer server({{"alice", "alice-pass", 3}}, options);
    HoldingRelay relay(server.Host(), server.Port());
    Save(server, {{"alice", relay.Port()}});
    SniHost host(Session->BusAddress());
    StartQuorvel();
    const QString status = WaitForItem(host, "Quorvel - 監視中");
    ASSERT_FALSE(status.isEmpty());
    // The level the first check found (its bars depend on the time it took).
    int level = 1;
    while (level <= 4 && Shown(host.ReadItem(status)) != ToImage(ImageListPicture(9 + level))) ++level;
    ASSERT_LE(level, 4);

    relay.Hold();
    std::vector<QImage> frames;
    TAnimationPlanes planes;
    std::int32_t frame = 0;
    for (int i = 0; i < 6; ++i) frames.push_back(ToImage(AnimationTick(planes, frame, level).Image));
    std::set<int> seen;
    bool foreign = false;
    host.Activate(status);
    ASSERT_TRUE(WaitForStatus(host, status, "Quorvel - チェック中..."));
    host.Activate(status);  // during the check: nothing more
    const auto menu = host.ReadMenu(status);
    ASSERT_FALSE(menu.empty());
    EXPECT_EQ(menu[0].Label, "メールチェック(_C)");
    EXPECT_FALSE(menu[0].Enabled);  // greyed while the check runs
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
    EXPECT_EQ(relay.Accepted(), 2);
    EXPECT_TRUE(WaitForStatus(host, status, "Quorvel - 監視中"));
    WaitUntil([] { return false; }, 500);
    EXPECT_EQ(CountOf(server.RawInput("alice"), "STAT\r\n"), 2);
}

TEST_F(QuorvelDesktop, OnAnXEmbedTrayBothIconsDockAndAClickChecks) {
    for (const char* tool : {"trayer", "xdotool", "import"})
        if (QStandardPaths::findExecutable(tool).isEmpty()) GTEST_SKIP() << tool << " is not installed";
    DovecotOptions options;
    options.RawLog = true;
    DovecotServer server({{"alice", "alice-pass", 3}}, options);
    Save(server, {{"alice", 0}});
    ASSERT_TRUE(Session->StartXEmbedTray()) << Session->TrayProblem().toStdString();
    StartQuorvel();
    ASSERT_TRUE(WaitUntil([&] { return Session->FindWindows("quorvel").size() == 2; }, AppearMs))
        << Session->FindWindows("quorvel").join(' ').toStdString();
    auto checks = [&] { return CountOf(server.RawInput("alice"), "STAT\r\n"); };
    ASSERT_TRUE(WaitUntil([&] { return checks() == 1; }, AppearMs));
    Session->Screenshot(QDir::temp().filePath("quorvel-program-xembed.png"));
    // One of the two is the status icon: clicking both checks exactly once
    // (the other opens the mail program, of which none is set up here).
    for (const QString& window : Session->FindWindows("quorvel")) ASSERT_TRUE(Session->Click(window));
    EXPECT_TRUE(WaitUntil([&] { return checks() == 2; }, AppearMs));
    WaitUntil([] { return false; }, 500);
    EXPECT_EQ(checks(), 2);
}

// The notice of new mail on the desktop's notification service: one per rise,
// replaced by the next, withdrawn when no mail is left, and a click on it
// (only on Quorvel's own) starts the mail program.
TEST_F(QuorvelDesktop, NewMailNoticeOnTheNotificationService) {
    DovecotOptions options;
    options.RawLog = true;
    DovecotServer server({{"alice", "alice-pass", 0}}, options);
    Save(server, {{"alice", 0}});
    const QString started = InstallMailProgram();
    NoticeService notices(Session->BusAddress());
    SniHost host(Session->BusAddress());
    StartQuorvel();
    const QString status = WaitForItem(host, "Quorvel - 監視中");
    ASSERT_FALSE(status.isEmpty());
    auto checks = [&] { return CountOf(server.RawInput("alice"), "STAT\r\n"); };
    auto notified = [&](const QString& Body) {
        return WaitUntil(
            [&] { return !notices.Named("Notify").empty() && notices.Named("Notify").back().arguments()[4] == Body; },
            AppearMs);
    };
    for (int count : {3, 3, 5}) {  // a rise, a stay, a rise
        server.SetMessageCount("alice", count);
        const int before = checks();
        host.Activate(status);
        ASSERT_TRUE(WaitUntil([&] { return checks() == before + 1; }, AppearMs));
    }
    ASSERT_TRUE(notified("alice@127.0.0.1 5通"));
    const auto shown = notices.Named("Notify");
    ASSERT_EQ(shown.size(), 2u);
    const QVariantList first = shown[0].arguments();
    EXPECT_EQ(first.mid(0, 6), QVariantList({"Quorvel", 0u, "quorvel", "新着メール", "alice@127.0.0.1 3通",
                                             QStringList({"default", "メーラーを開く", "open", "メーラーを開く"})}));
    QVariantMap hints;
    first[6].value<QDBusArgument>() >> hints;
    EXPECT_EQ(hints,
              QVariantMap({{"category", "email.arrived"}, {"desktop-entry", "quorvel"}, {"suppress-sound", true}}));
    EXPECT_EQ(first[7], -1);
    EXPECT_EQ(shown[1].arguments()[1], 41u);  // replaces the first

    // A click on another program's notice, then on Quorvel's.
    notices.Signal("ActionInvoked", {7u, "default"});
    notices.Signal("ActionInvoked", {42u, "default"});
    EXPECT_TRUE(WaitUntil([&] { return QFile::exists(started); }, AppearMs));
    WaitUntil([] { return false; }, 500);
    QFile lines(started);
    EXPECT_TRUE(lines.open(QIODevice::ReadOnly));
    EXPECT_EQ(lines.readAll().count('\n'), 1);

    server.SetMessageCount("alice", 0);
    host.Activate(status);
    ASSERT_TRUE(WaitUntil([&] { return !notices.Named("CloseNotification").empty(); }, AppearMs));
    EXPECT_EQ(notices.Named("CloseNotification")[0].arguments(), QVariantList({42u}));
    EXPECT_EQ(notices.Named("Notify").size(), 2u);
}

// Turned off, nothing is shown; with no service at all, nothing is said.
TEST_F(QuorvelDesktop, NoNoticeWhenTurnedOffOrWithoutAService) {
    DovecotOptions options;
    options.RawLog = true;
    DovecotServer server({{"alice", "alice-pass", 3}}, options);
    for (bool service : {true, false}) {
        SCOPED_TRACE(service ? "turned off" : "no service");
        Save(server, {{"alice", 0}});
        TRegistryStore(SettingsFile()).WriteInteger("Software\\Ombrask\\Quorvel", "Notify", service ? 0 : 1);
        std::unique_ptr<NoticeService> notices =
            service ? std::make_unique<NoticeService>(Session->BusAddress()) : nullptr;
        SniHost host(Session->BusAddress());
        StartQuorvel();
        ASSERT_FALSE(WaitForItem(host, "alice@127.0.0.1 3通").isEmpty());
        const QString status = WaitForItem(host, "Quorvel - 監視中");
        const QByteArray saidAtStart = Program->readAllStandardError();
        server.SetMessageCount("alice", 4);
        host.Activate(status);
        EXPECT_FALSE(WaitForItem(host, "alice@127.0.0.1 4通").isEmpty());
        WaitUntil([] { return false; }, 500);
        EXPECT_TRUE(!notices || notices->Calls.empty());
        EXPECT_EQ(Program->readAllStandardError(), "") << saidAtStart.toStdString();
        Session->Kill(Program);
        server.SetMessageCount("alice", 3);
    }
}

// Waking, told by a stand-in logind on a private system bus: one check
// within 20 s of waking, none while the machine goes to sleep.
TEST_F(QuorvelDesktop, ACheckAfterWaking) {
    DovecotOptions options;
    options.RawLog = true;
    DovecotServer server({{"alice", "alice-pass", 0}}, options);
    Save(server, {{"alice", 0}});
    TRegistryStore store(SettingsFile());
    SaveInterval(store, 60 * 60000);
    const QString systemBus = Session->StartBus();
    ASSERT_FALSE(systemBus.isEmpty());
    QDBusConnection logind = QDBusConnection::connectToBus(systemBus, "logind");
    ASSERT_TRUE(logind.registerService("org.freedesktop.login1"));
    Session->SetEnvironment("DBUS_SYSTEM_BUS_ADDRESS", systemBus);
    StartQuorvel();
    auto checks = [&] { return CountOf(server.RawInput("alice"), "STAT\r\n"); };
    ASSERT_TRUE(WaitUntil([&] { return checks() == 1; }, AppearMs));
    auto sleep = [&](bool Sleeping) {
        QDBusMessage signal =
            QDBusMessage::createSignal("/org/freedesktop/login1", "org.freedesktop.login1.Manager", "PrepareForSleep");
        logind.send(signal << Sleeping);
    };
    sleep(true);
    EXPECT_FALSE(WaitUntil([&] { return checks() > 1; }, 1000));
    sleep(false);
    QElapsedTimer woken;
    woken.start();
    EXPECT_TRUE(WaitUntil([&] { return checks() == 2; }, 20000));
    EXPECT_LE(woken.elapsed(), 20000);
    QDBusConnection::disconnectFromBus("logind");
}

}  // namespace
}  // namespace quorvel
