// The dialogs as a screen reader meets them: on a private X display with the
// accessibility bus (at-spi-bus-launcher), read and operated with pyatspi.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

#include "tests/desktop/DesktopSession.h"
#include "tests/support/TempFolder.h"
#include "tray/AboutText.h"

#ifndef QUORVEL_DIALOG_PROBE
#error "QUORVEL_DIALOG_PROBE must name the built quorvel-dialog-probe"
#endif

using namespace quorvel;

namespace {

const QString BusLauncher = QStringLiteral("/usr/libexec/at-spi-bus-launcher");
const QString Python = QStringLiteral("/usr/bin/python3");  // the one pyatspi is installed for

QString Text(std::string_view Text) {
    return QString::fromUtf8(Text.data(), static_cast<qsizetype>(Text.size()));
}

}  // namespace

TEST(AtSpiDialogs, AScreenReaderHearsEveryBoxByItsLabelAndOpensTheLinks) {
    static int argc = 1;
    static char name[] = "ui_atspi_tests";
    static char* argv[] = {name, nullptr};
    static QGuiApplication application(argc, argv);  // the session's processes need an event loop
    ASSERT_TRUE(QFileInfo::exists(BusLauncher)) << "at-spi2-core is not installed";
    DesktopSession session;
    if (!session.Ok()) GTEST_SKIP() << session.SkipReason().toStdString();
    TTempFolder runtime;  // the accessibility bus's socket, private to this test
    session.SetEnvironment("XDG_RUNTIME_DIR", QString::fromStdString(runtime.Path().string()));
    QProcess* bus = session.Start(BusLauncher, {"--launch-immediately"});
    ASSERT_EQ(bus->state(), QProcess::Running);
    // Until the launcher holds its name, a program asking for the bus would
    // have the session bus start a second launcher.
    const auto busNamed = [&] {
        return session
            .Run("dbus-send", {"--session", "--print-reply", "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                               "org.freedesktop.DBus.NameHasOwner", "string:org.a11y.Bus"})
            .contains("boolean true");
    };
    ASSERT_TRUE(WaitUntil(busNamed, 15000));
    session.SetEnvironment("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    QProcess* probe = session.Start(QStringLiteral(QUORVEL_DIALOG_PROBE));
    ASSERT_TRUE(WaitUntil([&] { return probe->canReadLine(); }, 30000)) << probe->readAllStandardError().toStdString();
    EXPECT_EQ(probe->readLine(), "shown\n");

    const QString read = session.Run(Python, {QStringLiteral(QUORVEL_READ_ACCESSIBLE), "quorvel-dialog-probe"}, 60000);
    const QString mail = Text(AboutMailLink);
    const QString home = Text(AboutHomePageLink);
    // A password account's edit dialog shows no OAuth box; an OAuth one's does.
    const QString expected = QStringLiteral(
                                 "button\tサインイン...\t\tサインインしていません\n"
                                 "check box\tログオン時にこのプログラムを実行する(R)\t\t\n"
                                 "check box\t新着メールを通知する(N)\t\t\n"
                                 "combo box\tOAuth 2.0 (Microsoft)\t認証(A):\t\n"
                                 "combo box\tSSL/TLS\t接続の保護:\t\n"
                                 "combo box\tSSL/TLS\t接続の保護:\t\n"
                                 "combo box\tパスワード\t認証(A):\t\n"
                                 "link\t%1\t\t\n"
                                 "link\t%2\t\t\n"
                                 "password\tPassword:\tPassword:\t\n"
                                 "password\tPassword:\tPassword:\t\n"
                                 "text\tServerName:\tServerName:\t\n"
                                 "text\tServerName:\tServerName:\t\n"
                                 "text\tServerPort:\tServerPort:\t(通常は995です)\n"
                                 "text\tServerPort:\tServerPort:\t(通常は995です)\n"
                                 "text\tUserID:\tUserID:\t\n"
                                 "text\tUserID:\tUserID:\t\n"
                                 "text\tクライアントID:\tクライアントID:\t\n"
                                 "text\tメールを確認する間隔\tメールを確認する間隔\t分\n"
                                 "text\t証明書の指紋:\t証明書の指紋:\t\n"
                                 "text\t証明書の指紋:\t証明書の指紋:\t\n"
                                 "tree\tアカウント一覧\t\t\n"
                                 "pressed %2\n"
                                 "pressed %1\n")
                                 .arg(home, mail);
    EXPECT_EQ(read.toStdString(), expected.toStdString());
    // The links' press actions reached the About box, which opened them.
    QByteArray opened;
    EXPECT_TRUE(WaitUntil(
        [&] {
            opened += probe->readAll();
            return opened.count('\n') >= 2;
        },
        5000));
    EXPECT_EQ(QString::fromUtf8(opened), QStringLiteral("opened %1\nopened %2\n").arg(mail, home));
    session.Screenshot(QDir::temp().filePath(QStringLiteral("quorvel-atspi-dialogs.png")));

    // Ended in order, so the accessibility bus it started goes with it.
    bus->terminate();
    bus->waitForFinished(5000);
}
