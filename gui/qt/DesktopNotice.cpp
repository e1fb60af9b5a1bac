#include "gui/qt/DesktopNotice.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace quorvel {

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = QStringLiteral("org.freedesktop.Notifications");

QDBusMessage Call(const QString& Method) {
    return QDBusMessage::createMethodCall(Service, Path, Interface, Method);
}

}  // namespace

TDesktopNotice::TDesktopNotice() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    FConnected = bus.isConnected();
    if (!FConnected) return;
    bus.connect(Service, Path, Interface, QStringLiteral("ActionInvoked"), this, SLOT(OnActionInvoked(uint, QString)));
    bus.connect(Service, Path, Interface, QStringLiteral("NotificationClosed"), this,
                SLOT(OnNotificationClosed(uint, uint)));
}

void TDesktopNotice::Show(const std::string& Title, const std::string& Body) {
    if (!FConnected) return;
    FWithdrawWhenShown = false;
    // The next notice replaces the one under way, whose number the service
    // has not told yet: it waits for that answer, or two notices would stay.
    if (FPending) {
        FQueued = {Title, Body};
        return;
    }
    Send(Title, Body);
}

void TDesktopNotice::Send(const std::string& Title, const std::string& Body) {
    const QString open = QStringLiteral("メーラーを開く");
    // "default" is a click on the notice; some desktops (Xfce) ignore it and
    // show only buttons, hence the same action as a button too.
    const QStringList actions = {QStringLiteral("default"), open, QStringLiteral("open"), open};
    const QVariantMap hints = {{QStringLiteral("category"), QStringLiteral("email.arrived")},
                               {QStringLiteral("desktop-entry"), QStringLiteral("quorvel")},
                               {QStringLiteral("suppress-sound"), true}};  // the program plays its own
    QDBusMessage call = Call(QStringLiteral("Notify"));
    call << QStringLiteral("Quorvel") << FId << QStringLiteral("quorvel") << QString::fromStdString(Title)
         << QString::fromStdString(Body) << actions << hints << qint32{-1};
    FPending = true;
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &TDesktopNotice::OnShown);
}

void TDesktopNotice::OnShown(QDBusPendingCallWatcher* Call) {
    Call->deleteLater();
    FPending = false;
    const QDBusPendingReply<uint> reply = *Call;
    // Some services number a replacement anew: the next one replaces this number.
    if (!reply.isError()) FId = reply.value();
    if (FQueued) {
        const auto [title, body] = *FQueued;
        FQueued.reset();
        Send(title, body);
    } else if (FWithdrawWhenShown) {
        FWithdrawWhenShown = false;
        Withdraw();
    }
}

void TDesktopNotice::Withdraw() {
    FQueued.reset();
    if (FPending) FWithdrawWhenShown = true;
    if (FId == 0) return;
    QDBusMessage call = Call(QStringLiteral("CloseNotification"));
    call << FId;
    FId = 0;
    // Nobody waits for the answer.
    QDBusConnection::sessionBus().call(call, QDBus::NoBlock);
}

void TDesktopNotice::OnActionInvoked(uint Id, const QString& Key) {
    if (Id == 0 || Id != FId) return;
    if ((Key == QStringLiteral("default") || Key == QStringLiteral("open")) && OnOpen) OnOpen();
}

void TDesktopNotice::OnNotificationClosed(uint Id, uint /*Reason*/) {
    // A closed notice comes back only with the next new mail.
    if (Id != 0 && Id == FId) FId = 0;
}

}  // namespace quorvel
