#pragma once

#include <QObject>

#include "app/MainWindowParts.h"

class QNetworkInformation;

namespace quorvel {

// Power and the network as the desktop tells them: logind's PrepareForSleep
// on the system bus for waking, Qt's network information (NetworkManager or
// GLib's monitor) for the network. Both only listen; without a system bus or
// a backend the program hears nothing and behaves as always online.
class SystemWatch final : public QObject, public ISystemState {
    Q_OBJECT
public:
    SystemWatch();

    bool KnowsNetwork() const override;
    bool Online() const override { return FOnline; }

private slots:
    void OnPrepareForSleep(bool Sleeping);

private:
    void OnReachability();

    QNetworkInformation* Network = nullptr;
    bool FOnline = true;
};

}  // namespace quorvel
