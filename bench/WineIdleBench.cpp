// quorvel-wine-idle-bench: what quorvel.exe costs under Wine. Starts a
// private X display with an XEmbed tray and a Dovecot on 127.0.0.1, imports
// one account into the Windows build's Wine prefix, and times quorvel.exe's
// start from a stopped Wine session (cold) and from a running one (warm);
// then watches it idle. Needs QUORVEL_WINDOWS_BUILD (the Windows build
// folder). Prints figures; nothing passes or fails.
#include <unistd.h>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "bench/ProcessSample.h"
#include "settings/Settings.h"
#include "tests/desktop/DesktopSession.h"
#include "tests/pop3server/ChildProcess.h"
#include "tests/pop3server/DovecotServer.h"
#include "tests/support/TempFolder.h"
#include "tests/wine/WineDesktop.h"
#include "tests/wine/WineRunner.h"

namespace {

using quorvel::bench::CountOf;
using quorvel::bench::PrintIdleFigures;

std::string SettingsText(std::int32_t Port) {
    char port[16];
    std::snprintf(port, sizeof port, "%08x", static_cast<unsigned>(Port));
    const std::string key = "HKEY_CURRENT_USER\\Software\\Ombrask\\Quorvel";
    // An interval of 60 minutes: no periodic check during the watch.
    return "REGEDIT4\r\n\r\n[-" + key + "]\r\n\r\n[" + key + "]\r\n\"Interval\"=dword:0000003c\r\n\r\n[" + key +
           "\\Accounts\\0]\r\n\"Host\"=\"127.0.0.1\"\r\n\"PortNo\"=dword:" + port +
           "\r\n\"UserID\"=\"alice\"\r\n\"Password\"=\"" + quorvel::EncodePassword("alice-pass") +
           "\"\r\n\"Enabled\"=\"1\"\r\n\r\n";
}

}  // namespace

int main(int argc, char** argv) {
    const int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 300;
    QGuiApplication app(argc, argv);
    quorvel::WineRunner runner;
    if (const std::string reason = runner.SkipReason("gui/win32/quorvel.exe"); !reason.empty()) {
        std::fprintf(stderr, "quorvel-wine-idle-bench: %s\n", reason.c_str());
        return 1;
    }
    quorvel::DesktopSession session;
    if (!session.Ok()) {
        std::fprintf(stderr, "quorvel-wine-idle-bench: %s\n", session.SkipReason().toStdString().c_str());
        return 1;
    }
    quorvel::DovecotOptions options;
    options.RawLog = true;
    quorvel::DovecotServer server({{"alice", "alice-pass", 3}}, options);
    TTempFolder temp;
    if (!session.StartXEmbedTray()) {
        std::fprintf(stderr, "quorvel-wine-idle-bench: %s\n", session.TrayProblem().toStdString().c_str());
        return 1;
    }
    quorvel::WineDesktop wine(session, runner, temp.Path());
    std::string why;
    if (!wine.StartSession(why) || !wine.Import(SettingsText(server.Port()))) {
        std::fprintf(stderr, "quorvel-wine-idle-bench: the Wine session did not start: %s\n", why.c_str());
        return 1;
    }
    const std::filesystem::path exe = runner.BuildFolder() / "gui/win32/quorvel.exe";
    std::printf("quorvel.exe under Wine on an XEmbed tray (one account, interval 60 min)\n");
    std::printf("    quorvel.exe: %ju bytes as built\n", static_cast<std::uintmax_t>(std::filesystem::file_size(exe)));

    // Start-up: until the status icon is docked, and until the first check's
    // STAT reached the server; cold after the Wine session was ended.
    QProcess* program = nullptr;
    for (const char* kind : {"cold", "warm"}) {
        if (program) {
            session.Kill(program);
            quorvel::WaitUntil([&] { return wine.DockedIcons().empty(); }, 10000);
        }
        if (std::string(kind) == "cold") {
            quorvel::RunChild("/usr/lib/wine/wineserver64", {"-k"}, runner.WineEnvironment(), std::chrono::seconds(30));
        }
        const int checksBefore = CountOf(server.RawInput("alice"), "STAT\r\n");
        QElapsedTimer clock;
        clock.start();
        program = wine.Start("gui/win32/quorvel.exe");
        quorvel::WaitUntil([&] { return !wine.DockedIcons().empty(); }, 60000);
        const qint64 docked = clock.elapsed();
        quorvel::WaitUntil([&] { return CountOf(server.RawInput("alice"), "STAT\r\n") > checksBefore; }, 60000);
        std::printf("    start-up %s: icon docked after %lld ms, first check's STAT after %lld ms\n", kind,
                    static_cast<long long>(docked), static_cast<long long>(clock.elapsed()));
    }
    quorvel::WaitUntil([] { return false; }, 2000);  // let the start settle
    PrintIdleFigures(program->processId(), idleSeconds);
    session.Kill(program);
    return 0;
}
