#pragma once

#include <QObject>
#include <QString>
#include <optional>
#include <string>
#include <utility>

#include "app/MainWindowParts.h"

class QDBusPendingCallWatcher;

namespace quorvel {

// The new-mail notice on the desktop's notification service
// (org.freedesktop.Notifications on the session bus). Every call is sent
// without waiting for its answer; no service, or a slow one, shows nothing
// and says nothing. Only this program's own notice is answered: the service
// tells every program of every click and close.
class TDesktopNotice final : public QObject, public INewMailNotice {
    Q_OBJECT
public:
    TDesktopNotice();

    void Show(const std::string& Title, const std::string& Body) override;
    void Withdraw() override;

private slots:
    void OnActionInvoked(uint Id, const QString& Key);
    void OnNotificationClosed(uint Id, uint Reason);

private:
    void Send(const std::string& Title, const std::string& Body);
    void OnShown(QDBusPendingCallWatcher* Call);

    bool FConnected = false;
    uint FId = 0;           // the notice shown, as the service numbered it; 0 for none
    bool FPending = false;  // a Notify call not answered yet
    std::optional<std::pair<std::string, std::string>> FQueued;  // title and body to show after it
    bool FWithdrawWhenShown = false;                             // Withdraw came before the service answered
};

}  // namespace quorvel
