// The real quorvel after the machine wakes (the rig: QuorvelDesktop.h).
#include <QDBusMessage>
#include <QElapsedTimer>

#include "tests/desktop/QuorvelDesktop.h"

namespace quorvel {
namespace {

// Waking, told by a stand-in logind on a private system bus: one check
// within 20 s of waking, none while the machine goes to sleep.
TEST_F(QuorvelDesktop, ACheckAfterWaking) {
    DovecotServer server({{"alice", "alice-pass", 0}}, RawLog());
    Save(server, {{"alice", 0}});
    TRegistryStore store(SettingsFile());
    SaveInterval(store, 60 * 60000);
    const QString systemBus = Session->StartBus();
    ASSERT_FALSE(systemBus.isEmpty());
    QDBusConnection logind = QDBusConnection::connectToBus(systemBus, "logind");
    ASSERT_TRUE(logind.registerService("org.freedesktop.login1"));
    Session->SetEnvironment("DBUS_SYSTEM_BUS_ADDRESS", systemBus);
    StartQuorvel();
    ASSERT_TRUE(WaitUntil([&] { return Checks(server) == 1; }, AppearMs));
    auto sleep = [&](bool Sleeping) {
        QDBusMessage signal =
            QDBusMessage::createSignal("/org/freedesktop/login1", "org.freedesktop.login1.Manager", "PrepareForSleep");
        logind.send(signal << Sleeping);
    };
    sleep(true);
    EXPECT_FALSE(WaitUntil([&] { return Checks(server) > 1; }, 1000));
    sleep(false);
    QElapsedTimer woken;
    woken.start();
    EXPECT_TRUE(WaitUntil([&] { return Checks(server) == 2; }, 20000));
    EXPECT_LE(woken.elapsed(), 20000);
    QDBusConnection::disconnectFromBus("logind");
}

}  // namespace
}  // namespace quorvel
