#pragma once

#include <QObject>
#include <memory>

#include "app/MainWindowParts.h"
#include "gui/qt/GlibNetworkMonitor.h"

namespace quorvel {

// Power and the network as the desktop tells them: logind's PrepareForSleep
// on the system bus for waking; NetworkManager's state on the system bus for
// the network, or, where NetworkManager does not run, GLib's network monitor
// (GIO, loaded only then). All only listen; without a system bus or either
// source the program hears nothing and behaves as always online.
class TSystemWatch final : public QObject, public ISystemState {
    Q_OBJECT
public:
    TSystemWatch();

    bool KnowsNetwork() const override { return FKnown; }
    bool Online() const override { return FOnline; }

private slots:
    void OnPrepareForSleep(bool Sleeping);
    void OnNetworkManagerState(uint State);

private:
    void SetNetwork(bool Known, bool Online);

    bool FKnown = false;
    bool FOnline = true;
    std::unique_ptr<GlibNetworkMonitor> Glib;
};

}  // namespace quorvel
