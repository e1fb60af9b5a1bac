#include "tests/desktop/GnomeShell.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <cstdlib>
#include <map>
#include <tuple>

namespace quorvel {

namespace {

const QString ExtensionUuid = QStringLiteral("ubuntu-appindicators@ubuntu.com");
const QString ExtensionFolder = QStringLiteral("/usr/share/gnome-shell/extensions/") + ExtensionUuid;
constexpr int TopBarRows = 48;
constexpr int Tolerance = 24;

int ShellCount = 0;

// A system bus with nothing to start and no one to keep out: the shell only
// asks it for services (log-in, accounts, power) that are absent here.
QByteArray SystemBusConfig(const QString& Socket) {
    return QStringLiteral(
               "<busconfig><type>system</type><listen>unix:path=%1</listen><auth>EXTERNAL</auth>"
               "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
               "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n")
        .arg(Socket)
        .toUtf8();
}

// Picture pixel P laid over the colour Under.
QRgb Over(QRgb P, QRgb Under) {
    const int a = qAlpha(P);
    auto mix = [a](int Top, int Bottom) { return (Top * a + Bottom * (255 - a) + 127) / 255; };
    return qRgb(mix(qRed(P), qRed(Under)), mix(qGreen(P), qGreen(Under)), mix(qBlue(P), qBlue(Under)));
}

bool Near(QRgb A, QRgb B) {
    return std::abs(qRed(A) - qRed(B)) <= Tolerance && std::abs(qGreen(A) - qGreen(B)) <= Tolerance &&
           std::abs(qBlue(A) - qBlue(B)) <= Tolerance;
}

}  // namespace

GnomeShell::GnomeShell(DesktopSession& Session)
    : FSession(Session),
      FBus(
          QDBusConnection::connectToBus(Session.BusAddress(), QStringLiteral("gnome-shell-rig-%1").arg(++ShellCount))) {
    if (!Installed()) {
        FProblem = QStringLiteral("gnome-shell is not installed (scripts/deps.sh installs it)");
        return;
    }
    if (!QFileInfo::exists(ExtensionFolder)) {
        FProblem = QStringLiteral("the AppIndicator extension is not installed (gnome-shell-extension-appindicator)");
        return;
    }
    if (!FFolder.isValid() || !FBus.isConnected()) {
        FProblem = QStringLiteral("no temporary folder or session bus for GNOME Shell");
        return;
    }
    // The shell's own folders, and the dconf database the settings go to.
    std::map<QString, QString> folders;
    for (const char* name :
         {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"}) {
        const QString path = FFolder.filePath(QString::fromLatin1(name).toLower());
        QDir().mkpath(path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        folders[name] = path;
        FSession.SetEnvironment(name, path);
    }
    QFile config(FFolder.filePath("system-bus.conf"));
    if (!config.open(QIODevice::WriteOnly) || config.write(SystemBusConfig(FFolder.filePath("system-bus"))) <= 0) {
        FProblem = QStringLiteral("cannot write the system bus configuration");
        return;
    }
    config.close();
    QProcess* systemBus = FSession.Start(QStringLiteral("dbus-daemon"),
                                         {"--config-file=" + config.fileName(), "--nofork", "--print-address=1"});
    WaitUntil([&] { return systemBus->canReadLine() || systemBus->state() == QProcess::NotRunning; }, 10000);
    const QString systemAddress = QString::fromUtf8(systemBus->readLine()).trimmed();
    if (systemAddress.isEmpty()) {
        FProblem = QStringLiteral("the stand-in system bus did not start: ") + systemBus->readAllStandardError();
        return;
    }
    FSession.SetEnvironment("DBUS_SYSTEM_BUS_ADDRESS", systemAddress);

    // dconf-service is started by the session bus, with the bus's environment.
    QDBusMessage update = QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                         "org.freedesktop.DBus", "UpdateActivationEnvironment");
    qDBusRegisterMetaType<QMap<QString, QString>>();
    QMap<QString, QString> activation;
    for (const auto& [name, path] : folders) activation.insert(name, path);
    update << QVariant::fromValue(activation);
    const QDBusMessage reply = FBus.call(update, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        FProblem = QStringLiteral("the session bus refused the activation environment: ") + reply.errorMessage();
        return;
    }
    FSession.Run("gsettings", {"set", "org.gnome.shell", "enabled-extensions", "['" + ExtensionUuid + "']"});
    FSession.Run("gsettings", {"set", "org.gnome.shell", "disable-user-extensions", "false"});
    if (!FSession.Run("gsettings", {"get", "org.gnome.shell", "enabled-extensions"}).contains(ExtensionUuid))
        FProblem = QStringLiteral("gsettings could not enable the AppIndicator extension");
}

GnomeShell::~GnomeShell() {
    Stop();
}

bool GnomeShell::Installed() {
    return !QStandardPaths::findExecutable("gnome-shell").isEmpty();
}

bool GnomeShell::WatcherOnBus() const {
    return FBus.interface()->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher"));
}

bool GnomeShell::Start(int TimeoutMs) {
    if (!FProblem.isEmpty() || FShell) return false;
    FShell = FSession.Start("gnome-shell", {"--x11", "--replace"});
    return WaitUntil([&] { return WatcherOnBus() || FShell->state() == QProcess::NotRunning; }, TimeoutMs) &&
           WatcherOnBus();
}

void GnomeShell::Stop() {
    if (!FShell) return;
    DesktopSession::Kill(FShell);
    FShell = nullptr;
    WaitUntil([&] { return !WatcherOnBus(); }, 10000);
}

QPoint GnomeShell::FindInTopBar(const QImage& Screen, const QImage& Picture) {
    const QImage screen = Screen.convertToFormat(QImage::Format_RGB32);
    const QImage picture = Picture.convertToFormat(QImage::Format_ARGB32);
    const int rows = std::min(TopBarRows, screen.height());
    // The bar's own colour: the one most of it has.
    std::map<QRgb, int> counts;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < screen.width(); ++x) ++counts[screen.pixel(x, y) | 0xFF000000u];
    QRgb bar = 0;
    int most = 0;
    for (const auto& [colour, count] : counts)
        if (count > most) std::tie(bar, most) = std::tie(colour, count);

    auto drawnAt = [&](int Left, int Top) {
        for (int y = 0; y < picture.height(); ++y) {
            const auto* drawn = reinterpret_cast<const QRgb*>(screen.constScanLine(Top + y)) + Left;
            const auto* wanted = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
            for (int x = 0; x < picture.width(); ++x)
                if (!Near(drawn[x], Over(wanted[x], bar))) return false;
        }
        return true;
    };
    for (int top = 0; top + picture.height() <= rows; ++top)
        for (int left = 0; left + picture.width() <= screen.width(); ++left)
            if (drawnAt(left, top)) return {left, top};
    return {-1, -1};
}

}  // namespace quorvel
