#include "gui/qt/SystemWatch.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>

namespace quorvel {

namespace {

const QString NetworkManager = QStringLiteral("org.freedesktop.NetworkManager");

// NetworkManager's NMState values that say something.
enum : uint {
    NmAsleep = 10,
    NmDisconnected = 20,
    NmDisconnecting = 30,
    NmConnectedLocal = 50,
    NmConnectedSite = 60,
    NmConnectedGlobal = 70,
};

}  // namespace

TSystemWatch::TSystemWatch() {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (bus.isConnected()) {
        bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                    QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
                    SLOT(OnPrepareForSleep(bool)));
    }
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(NetworkManager)) {
        Glib = std::make_unique<GlibNetworkMonitor>([this](bool Online) { SetNetwork(true, Online); });
        if (Glib->Running()) SetNetwork(true, Glib->Online());
        return;
    }
    const QString path = QStringLiteral("/org/freedesktop/NetworkManager");
    bus.connect(NetworkManager, path, NetworkManager, QStringLiteral("StateChanged"), this,
                SLOT(OnNetworkManagerState(uint)));
    QDBusMessage get = QDBusMessage::createMethodCall(
        NetworkManager, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << NetworkManager << QStringLiteral("State");
    const QDBusMessage reply = bus.call(get, QDBus::Block, 5000);
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
        OnNetworkManagerState(reply.arguments().first().value<QDBusVariant>().variant().toUInt());
}

void TSystemWatch::SetNetwork(bool Known, bool Online) {
    FKnown = Known;
    // Only no network at all is offline: a server on the local network is
    // reached without the internet.
    if (Online == FOnline) return;
    FOnline = Online;
    if (OnNetworkChanged) OnNetworkChanged(Online);
}

void TSystemWatch::OnNetworkManagerState(uint State) {
    const bool offline = State == NmAsleep || State == NmDisconnected || State == NmDisconnecting;
    const bool connected = State == NmConnectedLocal || State == NmConnectedSite || State == NmConnectedGlobal;
    // Unknown and still connecting tell nothing: the program goes on as online.
    SetNetwork(offline || connected, !offline);
}

void TSystemWatch::OnPrepareForSleep(bool Sleeping) {
    if (!Sleeping && OnResumed) OnResumed();
}

}  // namespace quorvel
