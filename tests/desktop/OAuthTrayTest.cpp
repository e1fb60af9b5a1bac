// The tray program checks an OAuth 2.0 account that quorvel-check signed in:
// the real quorvel on a private X display, on the session bus where the
// OAuth rig's GNOME Keyring holds the tokens, with a panel (SniHost) there.
#include <gtest/gtest.h>

#include <QGuiApplication>

#include "tests/desktop/DesktopSession.h"
#include "tests/desktop/SniHost.h"
#include "tests/pop3server/OAuthRig.h"

namespace quorvel {
namespace {

TEST(QuorvelDesktopOAuth, TheTrayChecksWithTheTokensFromTheKeyring) {
    StartGuiApplication("quorvel_desktop_tests");
    OAuthRig rig;
    const std::filesystem::path config = rig.Config("alice", true);
    const ChildResult signedIn = rig.Check(config, {"--sign-in", "alice@127.0.0.1"});
    ASSERT_EQ(signedIn.Output, "alice@127.0.0.1: signed in\n");
    DesktopSession session;
    if (!session.Ok()) GTEST_SKIP() << session.SkipReason().toStdString();
    const QString bus = QString::fromStdString(rig.BusAddress());
    session.SetEnvironment("DBUS_SESSION_BUS_ADDRESS", bus);
    session.SetEnvironment("XDG_CONFIG_HOME", QString::fromStdString(config.string()));
    session.SetEnvironment("XDG_RUNTIME_DIR", QString::fromStdString(rig.Temp.Path().string()));
    session.SetEnvironment("SSL_CERT_DIR", QString::fromStdString(rig.TrustFolder().string()));
    SniHost host(bus);
    ASSERT_TRUE(host.Ok());
    QProcess* tray = session.Start(QUORVEL_PROGRAM);
    QStringList tips;
    EXPECT_TRUE(WaitUntil(
        [&] {
            tips.clear();
            for (const QString& item : host.Items()) tips << host.ReadItem(item).ToolTipTitle;
            return tips.contains("alice@127.0.0.1 3通") && tips.contains("Quorvel - 監視中");
        },
        15000))
        << tips.join(" | ").toStdString() << tray->readAllStandardError().toStdString() << rig.Dovecot->Log();
    // The access token is fresh: the tray made no token call of its own.
    EXPECT_EQ(rig.State()["token_calls"], 1);
}

}  // namespace
}  // namespace quorvel
