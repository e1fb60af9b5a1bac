// The notice of new mail on the desktop's notification service, from the
// real quorvel (the rig: QuorvelDesktop.h).
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusVirtualObject>

#include "tests/desktop/QuorvelDesktop.h"

namespace quorvel {
namespace {

// A stand-in for the desktop's notification service on a private bus: it
// keeps every call, numbers each notice anew (its answers held while Hold
// is set) and sends the signals it is told.
class NoticeService final : public QDBusVirtualObject {
public:
    explicit NoticeService(const QString& Address) : Bus(QDBusConnection::connectToBus(Address, "notices")) {
        Bus.registerVirtualObject(Path, this);
        Bus.registerService("org.freedesktop.Notifications");
    }
    ~NoticeService() override { QDBusConnection::disconnectFromBus("notices"); }
    bool handleMessage(const QDBusMessage& Call, const QDBusConnection& Connection) override {
        Calls.push_back(Call);
        const QDBusMessage reply = Call.member() == "Notify" ? Call.createReply(++LastId) : Call.createReply();
        Hold ? Held.push_back(reply) : (void)Connection.send(reply);
        return true;
    }
    void Release() {
        Hold = false;
        for (const QDBusMessage& reply : Held) Bus.send(reply);
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
    std::vector<QDBusMessage> Calls, Held;
    uint LastId = 40;
    bool Hold = false;
};

// The notice of new mail on the desktop's notification service: one per rise,
// replaced by the next, withdrawn when no mail is left, and a click on it
// (only on Quorvel's own) starts the mail program.
TEST_F(QuorvelDesktop, NewMailNoticeOnTheNotificationService) {
    DovecotServer server({{"alice", "alice-pass", 0}}, RawLog());
    Save(server, {{"alice", 0}});
    const QString started = InstallMailProgram();
    NoticeService notices(Session->BusAddress());
    SniHost host(Session->BusAddress());
    StartQuorvel();
    const QString status = WaitForItem(host, "Quorvel - 監視中");
    ASSERT_FALSE(status.isEmpty());
    auto notified = [&](const QString& Body) {
        return WaitUntil(
            [&] { return !notices.Named("Notify").empty() && notices.Named("Notify").back().arguments()[4] == Body; },
            AppearMs);
    };
    // A rise, a stay, a rise, while the service has not yet numbered the
    // first notice: the second still replaces it.
    notices.Hold = true;
    for (int count : {3, 3, 5}) {
        server.SetMessageCount("alice", count);
        const int before = Checks(server);
        host.Activate(status);
        ASSERT_TRUE(WaitUntil([&] { return Checks(server) == before + 1; }, AppearMs));
    }
    ASSERT_FALSE(WaitForItem(host, "alice@127.0.0.1 5通").isEmpty());
    notices.Release();
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

// With no notification service at all, nothing is said.
TEST_F(QuorvelDesktop, NoNoticeWithoutAService) {
    DovecotServer server({{"alice", "alice-pass", 3}});
    Save(server, {{"alice", 0}});
    SniHost host(Session->BusAddress());
    StartQuorvel();
    ASSERT_FALSE(WaitForItem(host, "alice@127.0.0.1 3通").isEmpty());
    const QString status = WaitForItem(host, "Quorvel - 監視中");
    const QByteArray saidAtStart = Program->readAllStandardError();
    server.SetMessageCount("alice", 4);
    host.Activate(status);
    EXPECT_FALSE(WaitForItem(host, "alice@127.0.0.1 4通").isEmpty());
    WaitUntil([] { return false; }, 500);
    EXPECT_EQ(Program->readAllStandardError(), "") << saidAtStart.toStdString();
}

}  // namespace
}  // namespace quorvel
