#include "tests/desktop/DesktopSession.h"

#include <unistd.h>
#include <xcb/xcb.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QMap>
#include <QStandardPaths>
#include <QTimer>
#include <cstdlib>
#include <memory>
#include <string>

namespace quorvel {

namespace {

// Reads one line that a starting program prints on its standard output.
QString FirstLine(QProcess& Process, int TimeoutMs) {
    QDeadlineTimer deadline(TimeoutMs);
    while (!Process.canReadLine() && !deadline.hasExpired() && Process.state() != QProcess::NotRunning)
        Process.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
    return QString::fromUtf8(Process.readLine()).trimmed();
}

}  // namespace

void StartGuiApplication(const char* Name) {
    static int argc = 1;
    static std::string name = Name;
    static char* argv[] = {name.data(), nullptr};
    if (QGuiApplication::instance() == nullptr) static QGuiApplication app(argc, argv);
}

bool WaitUntil(const std::function<bool()>& Condition, int TimeoutMs) {
    QDeadlineTimer deadline(TimeoutMs);
    while (!Condition()) {
        if (deadline.hasExpired()) return false;
        QEventLoop loop;
        QTimer::singleShot(25, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

DesktopSession::DesktopSession() : FDataHome(QDir::temp().filePath("quorvel-desktop-XXXXXX")) {
    if (!FDataHome.isValid()) {
        FSkipReason = QStringLiteral("no private data folder: ") + FDataHome.errorString();
        return;
    }
    for (const char* tool : {"Xvfb", "dbus-daemon"}) {
        if (QStandardPaths::findExecutable(tool).isEmpty()) {
            FSkipReason = QStringLiteral("%1 is not installed (scripts/deps.sh installs it)").arg(tool);
            return;
        }
    }
    // -displayfd 1: Xvfb picks a free display and prints its number.
    // -noreset: an X server resets when its last client leaves, closing
    // whoever connects meanwhile; here a check of the tray selection or an
    // xdotool run is often that last client, just as trayer connects.
    QProcess* xvfb = Start(QStringLiteral("Xvfb"),
                           {"-displayfd", "1", "-noreset", "-screen", "0", "640x480x24", "-nolisten", "tcp"});
    const QString number = FirstLine(*xvfb, 10000);
    if (number.isEmpty()) {
        FSkipReason = QStringLiteral("Xvfb could not start: ") + QString::fromUtf8(xvfb->readAllStandardError());
        return;
    }
    FDisplay = ":" + number;
    FBusAddress = StartBus();
    if (FBusAddress.isEmpty()) {
        FSkipReason = QStringLiteral("the private D-Bus session bus could not start");
        return;
    }
    static int sessions = 0;
    FBusConnection = QStringLiteral("desktop-session-%1").arg(++sessions);
    if (!QDBusConnection::connectToBus(FBusAddress, FBusConnection).isConnected())
        FSkipReason = QStringLiteral("cannot connect to the private D-Bus session bus");
}

QString DesktopSession::StartBus() {
    QProcess* bus = Start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"});
    return FirstLine(*bus, 10000);
}

DesktopSession::~DesktopSession() {
    if (!FBusConnection.isEmpty()) QDBusConnection::disconnectFromBus(FBusConnection);
    for (auto it = FProcesses.rbegin(); it != FProcesses.rend(); ++it) Kill(it->get());
}

QProcessEnvironment DesktopSession::Environment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", FDisplay);
    environment.insert("DBUS_SESSION_BUS_ADDRESS", FBusAddress);
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.remove("WAYLAND_DISPLAY");
    environment.remove("XDG_CURRENT_DESKTOP");
    environment.insert("XDG_DATA_HOME", FDataHome.path());
    environment.insert(FExtra);
    return environment;
}

QProcess* DesktopSession::Start(const QString& Program, const QStringList& Arguments) {
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(Environment());
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->start(Program, Arguments);
    process->waitForStarted(10000);
    FProcesses.push_back(std::move(process));
    return FProcesses.back().get();
}

void DesktopSession::Kill(QProcess* Process) {
    if (Process->state() == QProcess::NotRunning) return;
    Process->kill();
    Process->waitForFinished(5000);
}

QProcess* DesktopSession::StartXEmbedTray() {
    QProcess* tray =
        Start(QStringLiteral("trayer"),
              {"--edge", "top", "--align", "left", "--widthtype", "pixel", "--width", "200", "--heighttype", "pixel",
               "--height", "32", "--SetDockType", "false", "--transparent", "false", "--tint", "0xffffff"});
    // Returns once the tray holds the tray manager's selection, so what the
    // test starts next meets a tray that is there, however busy the machine.
    WaitUntil([&] { return XEmbedTrayOwned() || tray->state() == QProcess::NotRunning; }, 15000);
    if (XEmbedTrayOwned()) return tray;
    FTrayProblem = tray->state() == QProcess::NotRunning
                       ? QStringLiteral("trayer ended (exit code %1): ").arg(tray->exitCode()) +
                             QString::fromUtf8(tray->readAllStandardError())
                       : QStringLiteral("trayer did not take the tray selection within 15 s");
    // What the display's server says, for a failure that is not trayer's own.
    QProcess* xvfb = FProcesses.front().get();
    FTrayProblem +=
        QStringLiteral("; Xvfb on %1 %2 ").arg(FDisplay, xvfb->state() == QProcess::Running ? "runs" : "ended") +
        QString::fromUtf8(xvfb->readAllStandardError());
    Kill(tray);
    return nullptr;
}

bool DesktopSession::StartSway() {
    for (const char* tool : {"sway", "waybar"})
        if (QStandardPaths::findExecutable(tool).isEmpty()) return false;
    QStringList command{"XDG_RUNTIME_DIR=" + FSway.path(), "WLR_BACKENDS=headless", "WLR_RENDERER=pixman"};
    // sway refuses to run as root: the tests run by root start it as nobody.
    if (getuid() == 0 && chown(QFile::encodeName(FSway.path()).constData(), 65534, 65534) == 0)
        command += {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    Start("env", command + QStringList{"sway", "-c", "/dev/null"});
    QFile config(FSway.filePath("waybar.json"));
    if (!config.open(QIODevice::WriteOnly) || config.write(R"({"modules-right": ["tray"]})") < 0) return false;
    SetEnvironment("WAYLAND_DISPLAY", FSway.filePath("wayland-1"));
    return WaitUntil([&] { return QFile::exists(FSway.filePath("wayland-1")); }, 10000);
}

bool DesktopSession::XEmbedTrayOwned() const {
    const QByteArray display = FDisplay.toUtf8();
    xcb_connection_t* connection = xcb_connect(display.constData(), nullptr);
    bool owned = false;
    if (xcb_connection_has_error(connection) == 0) {
        const char name[] = "_NET_SYSTEM_TRAY_S0";
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
            xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof name - 1, name), nullptr),
            &std::free);
        if (atom) {
            std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
                xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr),
                &std::free);
            owned = owner && owner->owner != XCB_NONE;
        }
    }
    xcb_disconnect(connection);
    return owned;
}

bool DesktopSession::BusNameOwned(const QString& Name) const {
    return QDBusConnection(FBusConnection).interface()->isServiceRegistered(Name).value();
}

bool DesktopSession::Watches(qint64 Pid, const QString& Name) const {
    const QDBusConnection bus(FBusConnection);
    const QDBusMessage reply =
        bus.call(QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                "org.freedesktop.DBus.Debug.Stats", "GetAllMatchRules"),
                 QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return false;
    QMap<QString, QStringList> rules;
    reply.arguments().at(0).value<QDBusArgument>() >> rules;
    for (auto it = rules.cbegin(); it != rules.cend(); ++it) {
        if (!it.value().join('\n').contains(Name)) continue;
        if (bus.interface()->servicePid(it.key()).value() == Pid) return true;
    }
    return false;
}

QString DesktopSession::Run(const QString& Program, const QStringList& Arguments, int TimeoutMs) const {
    QProcess process;
    process.setProcessEnvironment(Environment());
    process.start(Program, Arguments);
    if (!process.waitForFinished(TimeoutMs)) {
        process.kill();
        process.waitForFinished(2000);
        return {};
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

QStringList DesktopSession::FindWindows(const QString& ClassName) const {
    return Run("xdotool", {"search", "--onlyvisible", "--classname", ClassName}).split('\n', Qt::SkipEmptyParts);
}

QRect DesktopSession::WindowGeometry(const QString& Window) const {
    QRect rect;
    for (const QString& line : Run("xdotool", {"getwindowgeometry", "--shell", Window}).split('\n')) {
        const int value = line.section('=', 1).toInt();
        if (line.startsWith("X=")) rect.moveLeft(value);
        if (line.startsWith("Y=")) rect.moveTop(value);
        if (line.startsWith("WIDTH=")) rect.setWidth(value);
        if (line.startsWith("HEIGHT=")) rect.setHeight(value);
    }
    return rect;
}

bool DesktopSession::Click(const QString& Window, int Button) const {
    const QRect rect = WindowGeometry(Window);
    if (rect.isEmpty()) return false;
    const QPoint centre = rect.center();
    Run("xdotool", {"mousemove", QString::number(centre.x()), QString::number(centre.y()), "click",
                    QString::number(Button), "mousemove", "600", "400"});
    return true;
}

QImage DesktopSession::Screenshot(const QString& SavePath) const {
    QProcess process;
    process.setProcessEnvironment(Environment());
    process.start("import", {"-window", "root", "png:-"});
    if (!process.waitForFinished(15000)) {
        process.kill();
        process.waitForFinished(2000);
        return {};
    }
    const QByteArray png = process.readAllStandardOutput();
    QImage image = QImage::fromData(png, "PNG");
    if (!SavePath.isEmpty()) image.save(SavePath);
    return image;
}

}  // namespace quorvel
