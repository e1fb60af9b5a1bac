// Quorvel on GNOME: the real GNOME Shell with the AppIndicator extension, on
// a private X display and session bus, and what its top bar draws for the
// two icons of the real quorvel, which checks a real Dovecot.
#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <memory>

#include "settings/Account.h"
#include "settings/RegistryStore.h"
#include "settings/Settings.h"
#include "tests/desktop/DesktopSession.h"
#include "tests/desktop/GnomeShell.h"
#include "tests/pop3server/DovecotServer.h"
#include "tray/ImageList.h"
#include "tray/PanelImage.h"

namespace quorvel {
namespace {

// GNOME Shell draws with the processor (llvmpipe): its first frames can take
// a minute on a busy machine.
constexpr int ShellDrawsMs = 60000;

// The 16 x 16 picture the item offers a panel.
QImage PanelPicture(int Index) {
    const TPanelImage panel = RenderForPanel(ImageListPicture(Index), 16);
    QImage image(16, 16, QImage::Format_ARGB32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) image.setPixel(x, y, panel.At(x, y));
    return image;
}

// As at log-in, quorvel runs before the shell and has checked (no periodic
// checks: the pictures never change by themselves); then the shell starts,
// and later restarts. Each time both items must be drawn with their
// pictures: the aeroplane of new mail and the aerial with the bars the
// check found, not GNOME's "•••" of an item without a picture.
TEST(GnomeShellTray, BothPicturesAreDrawnWhenTheShellStartsAfterQuorvelAndAfterItRestarts) {
    StartGuiApplication("gnome_shell_tests");
    if (!GnomeShell::Installed()) GTEST_SKIP() << "gnome-shell is not installed (scripts/deps.sh installs it)";
    DesktopSession session;
    if (!session.Ok()) GTEST_SKIP() << session.SkipReason().toStdString();
    GnomeShell shell(session);
    ASSERT_TRUE(shell.Problem().isEmpty()) << shell.Problem().toStdString();

    DovecotOptions options;
    options.RawLog = true;
    DovecotServer server({{"alice", "alice-pass", 3}}, options);
    QDir().mkpath(shell.ConfigHome() + "/Quorvel");
    TRegistryStore store((shell.ConfigHome() + "/Quorvel/registry.reg").toStdString());
    TAccounts accounts;
    TAccount& account = accounts.Add();
    account.Host = server.Host();
    account.Port = server.Port();
    account.UserID = "alice";
    account.Password = "alice-pass";
    account.Enabled = true;
    SaveAccounts(store, accounts);
    SaveInterval(store, 0);

    QProcess* quorvel = session.Start(QUORVEL_PROGRAM);
    auto checks = [&] { return CountOf(server.RawInput("alice"), "STAT\r\n"); };
    ASSERT_TRUE(WaitUntil([&] { return checks() == 1; }, AppearMs));
    // The check has ended.
    ASSERT_TRUE(WaitUntil([&] { return CountOf(server.RawInput("alice"), "QUIT\r\n") == 1; }, AppearMs));

    const QImage mail = PanelPicture(8);
    for (const char* round : {"start", "restart"}) {
        SCOPED_TRACE(round);
        shell.Stop();
        ASSERT_TRUE(shell.Start());
        QImage screen;
        QPoint mailAt, statusAt;
        int level = 0;
        WaitUntil(
            [&] {
                screen = session.Screenshot();
                mailAt = GnomeShell::FindInTopBar(screen, mail);
                for (level = 4; level >= 1; --level)
                    if ((statusAt = GnomeShell::FindInTopBar(screen, PanelPicture(9 + level))).x() >= 0) break;
                return mailAt.x() >= 0 && level >= 1;
            },
            ShellDrawsMs);
        screen.save(QDir::temp().filePath(QStringLiteral("quorvel-gnome-%1.png").arg(round)));
        EXPECT_GE(mailAt.x(), 0) << "the new-mail picture is not in the top bar";
        EXPECT_GE(level, 1) << "the status picture is not in the top bar";
        EXPECT_NE(mailAt, statusAt);
    }
    EXPECT_EQ(quorvel->state(), QProcess::Running);
    EXPECT_EQ(checks(), 1);
}

}  // namespace
}  // namespace quorvel
