// quorvel-idle-bench: what the tray program costs while it waits between
// checks, beside a bare Qt tray icon. Starts two private desktops, one with a
// real XEmbed tray and one with a StatusNotifierItem host, a Dovecot on
// 127.0.0.1, and on each desktop the built quorvel with one account and the
// bare icon; waits for the first checks, then watches all four idle at once.
// Prints figures; nothing passes or fails.
#include <QDBusConnection>
#include <QGuiApplication>
#include <QProcess>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench/ProcessSample.h"
#include "settings/Account.h"
#include "settings/RegistryStore.h"
#include "settings/Settings.h"
#include "tests/desktop/DesktopSession.h"
#include "tests/desktop/SniHost.h"
#include "tests/pop3server/DovecotServer.h"
#include "tests/support/TempFolder.h"

using quorvel::bench::CountOf;
using quorvel::bench::Sample;

namespace {

constexpr int AppearMs = 30000;

// One desktop: its session, the user whose mailbox its quorvel checks, and
// the folders that quorvel keeps its settings and lock in.
struct Desktop {
    Desktop(const char* TrayKind, std::string UserID) : Tray(TrayKind), User(std::move(UserID)) {}

    const char* Tray;
    std::string User;
    quorvel::DesktopSession Session;
    TTempFolder Home;
    std::unique_ptr<quorvel::SniHost> Host;
    QProcess* Quorvel = nullptr;
    QProcess* Bare = nullptr;

    void Prepare(const quorvel::DovecotServer& Server) {
        for (const char* sub : {"config/Quorvel", "run", "data"})
            std::filesystem::create_directories(Home.Path() / sub);
        std::filesystem::permissions(Home.Path() / "run", std::filesystem::perms::owner_all);
        quorvel::TAccounts accounts;
        quorvel::TAccount& account = accounts.Add();
        account.Host = Server.Host();
        account.Port = Server.Port();
        account.UserID = User;
        account.Password = User + "-pass";
        account.Enabled = true;
        quorvel::TRegistryStore store(Home.Path() / "config/Quorvel/registry.reg");
        quorvel::SaveAccounts(store, accounts);
        quorvel::SaveInterval(store, 60 * 60000);  // no periodic check during the watch
        Session.SetEnvironment("XDG_CONFIG_HOME", Folder("config"));
        Session.SetEnvironment("XDG_DATA_HOME", Folder("data"));
        Session.SetEnvironment("XDG_RUNTIME_DIR", Folder("run"));
    }
    QString Folder(const char* Sub) const { return QString::fromStdString((Home.Path() / Sub).string()); }

    // Icons docked so far: items on the host, or windows on the XEmbed tray
    // (the class name pattern "quorvel" finds quorvel-bare-tray's as well).
    int Icons() const {
        if (Host) return static_cast<int>(Host->Items().size());
        return static_cast<int>(Session.FindWindows("quorvel").size());
    }
};

// NetworkManager as a desktop's system bus has it, connected: quorvel reads
// its state there.
class NetworkManagerStandIn final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager")
    Q_PROPERTY(uint State READ State)

public:
    uint State() const { return 70; }  // NM_STATE_CONNECTED_GLOBAL
};

double MiB(long KiB) {
    return static_cast<double>(KiB) / 1024;
}

}  // namespace

int main(int argc, char** argv) {
    const int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 600;
    QGuiApplication app(argc, argv);
    quorvel::DovecotOptions options;
    options.RawLog = true;
    quorvel::DovecotServer server({{"alice", "alice-pass", 3}, {"bob", "bob-pass", 3}}, options);
    Desktop xembed("XEmbed tray (trayer)", "alice"), sni("StatusNotifierItem host", "bob");
    const std::array<Desktop*, 2> desktops{&xembed, &sni};
    auto checks = [&](const Desktop& Each) { return CountOf(server.RawInput(Each.User), "STAT\r\n"); };
    for (Desktop* each : desktops) {
        if (!each->Session.Ok()) {
            std::fprintf(stderr, "quorvel-idle-bench: %s\n", each->Session.SkipReason().toStdString().c_str());
            return 1;
        }
        each->Prepare(server);
    }
    const QString systemBus = xembed.Session.StartBus();
    QDBusConnection system = QDBusConnection::connectToBus(systemBus, "system");
    NetworkManagerStandIn networkManager;
    if (!system.registerObject("/org/freedesktop/NetworkManager", &networkManager,
                               QDBusConnection::ExportAllProperties) ||
        !system.registerService("org.freedesktop.NetworkManager")) {
        std::fprintf(stderr, "quorvel-idle-bench: the stand-in system bus could not start\n");
        return 1;
    }
    for (Desktop* each : desktops) each->Session.SetEnvironment("DBUS_SYSTEM_BUS_ADDRESS", systemBus);
    xembed.Session.StartXEmbedTray();
    sni.Host = std::make_unique<quorvel::SniHost>(sni.Session.BusAddress());
    for (Desktop* desktop : desktops) {
        Desktop& each = *desktop;
        // quorvel shows its two icons after a check that found mail; the bare icon makes a third.
        each.Quorvel = each.Session.Start(QUORVEL_PROGRAM);
        if (!quorvel::WaitUntil([&] { return checks(each) == 1 && each.Icons() == 2; }, AppearMs)) {
            std::fprintf(stderr, "quorvel-idle-bench: the first check on the %s did not happen (%d checks, %d icons)\n",
                         each.Tray, checks(each), each.Icons());
            return 1;
        }
        each.Bare = each.Session.Start(QUORVEL_BARE_TRAY);
        if (!quorvel::WaitUntil([&] { return each.Icons() == 3; }, AppearMs)) {
            std::fprintf(stderr, "quorvel-idle-bench: the bare icon did not dock on the %s\n", each.Tray);
            return 1;
        }
    }
    quorvel::WaitUntil([] { return false; }, 5000);  // let the starts settle

    struct Row {
        std::string Name;
        QProcess* Process;
        Sample Start;
    };
    std::vector<Row> rows;
    for (const Desktop* each : desktops) {
        rows.push_back({std::string("quorvel, ") + each->Tray, each->Quorvel, {}});
        rows.push_back({std::string("bare Qt tray icon, ") + each->Tray, each->Bare, {}});
    }
    std::printf(
        "Idle after quorvel's first check (one account, interval 60 min), beside a bare Qt tray icon\n"
        "(QSystemTrayIcon with a seven-entry menu), both on each kind of tray:\n\n");
    std::printf("  %-50s %8s %8s %14s\n", "resident memory, MiB", "RSS", "PSS", "private dirty");
    for (Row& row : rows) {
        row.Start = quorvel::bench::Measure(row.Process->processId());
        std::printf("  %-50s %8.1f %8.1f %14.1f\n", row.Name.c_str(), MiB(row.Start.RssKiB), MiB(row.Start.PssKiB),
                    MiB(row.Start.PrivateDirtyKiB));
    }
    for (std::size_t i = 0; i < rows.size(); i += 2)
        std::printf("  quorvel above the bare icon on the %s: %.1f MiB RSS\n", desktops[i / 2]->Tray,
                    MiB(rows[i].Start.RssKiB - rows[i + 1].Start.RssKiB));
    std::fflush(stdout);

    // The host answers the items meanwhile, as a panel would.
    quorvel::WaitUntil([] { return false; }, idleSeconds * 1000);
    std::printf("\n  over %d idle seconds:%29s %8s %8s %14s\n", idleSeconds, "", "CPU s", "% core", "wake-ups/min");
    for (const Row& row : rows) {
        const Sample end = quorvel::bench::Measure(row.Process->processId());
        const double cpu = end.CpuSeconds - row.Start.CpuSeconds;
        std::printf("  %-50s %8.3f %8.4f %14.2f   (RSS at the end %.1f MiB)\n", row.Name.c_str(), cpu,
                    100.0 * cpu / idleSeconds,
                    60.0 * static_cast<double>(end.Switches - row.Start.Switches) / idleSeconds, MiB(end.RssKiB));
    }
    for (const Desktop* each : desktops)
        std::printf("  checks during the watch on the %s: %d (expected 0)\n", each->Tray, checks(*each) - 1);
    for (Row& row : rows) quorvel::DesktopSession::Kill(row.Process);
    return 0;
}

#include "IdleBench.moc"
