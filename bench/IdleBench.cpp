// quorvel-idle-bench: what the tray program costs while it waits between
// checks. Starts a private X display with an XEmbed tray, a Dovecot on
// 127.0.0.1 and the built quorvel with one account, waits for its first
// check, then watches it idle. Prints figures; nothing passes or fails.
#include <unistd.h>
#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "bench/ProcessSample.h"
#include "settings/Account.h"
#include "settings/RegistryStore.h"
#include "settings/Settings.h"
#include "tests/desktop/DesktopSession.h"
#include "tests/pop3server/DovecotServer.h"
#include "tests/support/TempFolder.h"

using quorvel::bench::CountOf;
using quorvel::bench::PrintIdleFigures;

int main(int argc, char** argv) {
    const int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 600;
    QGuiApplication app(argc, argv);
    quorvel::DesktopSession session;
    if (!session.Ok()) {
        std::fprintf(stderr, "quorvel-idle-bench: %s\n", session.SkipReason().toStdString().c_str());
        return 1;
    }
    quorvel::DovecotOptions options;
    options.RawLog = true;
    quorvel::DovecotServer server({{"alice", "alice-pass", 3}}, options);
    TTempFolder temp;
    for (const char* sub : {"config/Quorvel", "run"}) std::filesystem::create_directories(temp.Path() / sub);
    std::filesystem::permissions(temp.Path() / "run", std::filesystem::perms::owner_all);
    {
        quorvel::TAccounts accounts;
        quorvel::TAccount& account = accounts.Add();
        account.Host = server.Host();
        account.Port = server.Port();
        account.UserID = "alice";
        account.Password = "alice-pass";
        account.Enabled = true;
        quorvel::RegistryStore store(temp.Path() / "config/Quorvel/registry.reg");
        quorvel::SaveAccounts(store, accounts);
        quorvel::SaveInterval(store, 60 * 60000);  // no periodic check during the watch
    }
    session.SetEnvironment("XDG_CONFIG_HOME", QString::fromStdString((temp.Path() / "config").string()));
    session.SetEnvironment("XDG_RUNTIME_DIR", QString::fromStdString((temp.Path() / "run").string()));
    if (!session.StartXEmbedTray()) {
        std::fprintf(stderr, "quorvel-idle-bench: %s\n", session.TrayProblem().toStdString().c_str());
        return 1;
    }
    QProcess* program = session.Start(QUORVEL_PROGRAM);
    if (!quorvel::WaitUntil([&] { return CountOf(server.RawInput("alice"), "STAT\r\n") == 1; }, 20000)) {
        std::fprintf(stderr, "quorvel-idle-bench: the first check did not happen\n");
        return 1;
    }
    quorvel::WaitUntil([] { return false; }, 2000);  // let the start settle
    std::printf("quorvel idle on an XEmbed tray after its first check (one account, interval 60 min)\n");
    PrintIdleFigures(program->processId(), idleSeconds);
    std::printf("      checks during the watch: %d (expected 0)\n", CountOf(server.RawInput("alice"), "STAT\r\n") - 1);
    session.Kill(program);
    return 0;
}
