#include "gui/qt/SystemWatch.h"

#include <QDBusConnection>
#include <QNetworkInformation>

namespace quorvel {

namespace {

using Reachability = QNetworkInformation::Reachability;

}  // namespace

SystemWatch::SystemWatch() {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (bus.isConnected()) {
        bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                    QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
                    SLOT(OnPrepareForSleep(bool)));
    }
    if (QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability)) {
        Network = QNetworkInformation::instance();
        FOnline = Network->reachability() != Reachability::Disconnected;
        connect(Network, &QNetworkInformation::reachabilityChanged, this, &SystemWatch::OnReachability);
    }
}

bool SystemWatch::KnowsNetwork() const {
    return Network != nullptr && Network->reachability() != Reachability::Unknown;
}

void SystemWatch::OnReachability() {
    // Only no network at all is offline: a server on the local network is
    // reached without the internet.
    const bool online = Network->reachability() != Reachability::Disconnected;
    if (online == FOnline) return;
    FOnline = online;
    if (OnNetworkChanged) OnNetworkChanged(online);
}

void SystemWatch::OnPrepareForSleep(bool Sleeping) {
    if (!Sleeping && OnResumed) OnResumed();
}

}  // namespace quorvel
