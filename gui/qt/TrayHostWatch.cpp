#include "gui/qt/TrayHostWatch.h"

#include <QtGui/qguiapplication_platform.h>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QPointer>

#include <cstdlib>
#include <iterator>
#include <memory>

#include <xcb/xcb.h>

namespace quorvel {

namespace {

const QString WatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString WatcherPath = QStringLiteral("/StatusNotifierWatcher");

// How long the watcher's first answer is waited for at start, in ms.
constexpr int StartWaitMs = 1000;

// How long the watcher must stay with one owner, and without a new host,
// before the first tray icon is made, in ms.
constexpr int SettleMs = 500;

// When the items announce themselves again after a host appears, in ms.
constexpr int ReannounceAfterMs[] = {1000, 3000, 10000, 30000};

xcb_connection_t* X11Connection() {
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

std::uint32_t InternAtom(xcb_connection_t* Connection, const char* Name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(Connection, 0, static_cast<std::uint16_t>(std::strlen(Name)), Name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(Connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : std::uint32_t{XCB_ATOM_NONE};
}

}  // namespace

TTrayHostWatch& TTrayHostWatch::Instance() {
    static QPointer<TTrayHostWatch> instance;
    if (!instance) instance = new TTrayHostWatch();
    return *instance;
}

TTrayHostWatch::TTrayHostWatch() : QObject(qApp) {
    FSettleTimer.setSingleShot(true);
    connect(&FSettleTimer, &QTimer::timeout, this, &TTrayHostWatch::ReportIfSettled);
    FReannounceTimer.setSingleShot(true);
    connect(&FReannounceTimer, &QTimer::timeout, this, &TTrayHostWatch::OnReannounceTimer);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        FWatcher = new QDBusServiceWatcher(WatcherService, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
        connect(FWatcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &TTrayHostWatch::OnWatcherOwnerChanged);
        // A watcher may come up first and get its host a moment later.
        bus.connect(QString(), WatcherPath, WatcherService, QStringLiteral("StatusNotifierHostRegistered"), this,
                    SLOT(OnStatusNotifierHostRegistered(QDBusMessage)));
        // The bus itself answers at once. The watcher is given a moment, so
        // that icons shown at start are made before the program's first check
        // (whose time is its signal level); a slower one is heard later.
        SetOwner(bus.interface()->serviceOwner(WatcherService).value(), StartWaitMs);
    } else {
        FHostKnown = true;
    }
    WatchXEmbed();
}

// A tray manager announces itself with a MANAGER client message on the root
// window, which reaches clients that listen for structure changes there.
void TTrayHostWatch::WatchXEmbed() {
    xcb_connection_t* connection = X11Connection();
    if (!connection) return;
    FManagerAtom = InternAtom(connection, "MANAGER");
    FSelectionAtom = InternAtom(connection, "_NET_SYSTEM_TRAY_S0");
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> attributes(
        xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, root), nullptr), &std::free);
    // Keep the events Qt itself selected on the root window.
    const std::uint32_t mask = (attributes ? attributes->your_event_mask : 0u) | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);
    qApp->installNativeEventFilter(this);
}

bool TTrayHostWatch::Settled() const {
    return FHostKnown && !FSettleTimer.isActive();
}

void TTrayHostWatch::SetOwner(const QString& Owner, int WaitMs) {
    FOwner = Owner;
    FHostRegistered = false;
    FHostKnown = Owner.isEmpty();
    if (!Owner.isEmpty()) AskHost(WaitMs);
}

// Asked of the owner's unique name, so that the answer is about that
// watcher even if the name has moved on meanwhile; waited for WaitMs at
// most, then heard asynchronously. An error answer is no host.
void TTrayHostWatch::AskHost(int WaitMs) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        FOwner, WatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << WatcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (WaitMs > 0) {
        const QDBusMessage reply = bus.call(call, QDBus::Block, WaitMs);
        if (reply.errorName() != QStringLiteral("org.freedesktop.DBus.Error.NoReply")) {
            FHostKnown = true;
            FHostRegistered = reply.arguments().value(0).value<QDBusVariant>().variant().toBool();
            return;
        }
    }
    auto* pending = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    const QString owner = FOwner;
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, owner](QDBusPendingCallWatcher* Call) { OnHostReply(Call, owner); });
}

void TTrayHostWatch::OnHostReply(QDBusPendingCallWatcher* Call, const QString& Owner) {
    Call->deleteLater();
    if (Owner != FOwner) return;
    const QDBusPendingReply<QDBusVariant> reply = *Call;
    FHostKnown = true;
    if (reply.isValid() && reply.value().variant().toBool()) FHostRegistered = true;
    ReportIfSettled();
}

// The name appearing is a new watcher, with which Qt registers its items by
// itself. The name passing from one owner to another (a second panel taking
// it over) is a new watcher too, but Qt does not notice that.
void TTrayHostWatch::OnWatcherOwnerChanged(const QString&, const QString& OldOwner, const QString& NewOwner) {
    SetOwner(NewOwner);
    Unsettle();
    if (NewOwner.isEmpty()) return;
    if (!OldOwner.isEmpty()) emit WatcherReplaced();
    StartReannouncing();
}

void TTrayHostWatch::OnStatusNotifierHostRegistered(const QDBusMessage& Message) {
    if (Message.service() != FOwner || FOwner.isEmpty()) return;
    FHostKnown = true;
    FHostRegistered = true;
    Unsettle();
    StartReannouncing();
}

void TTrayHostWatch::Unsettle() {
    FSettleTimer.start(SettleMs);
}

void TTrayHostWatch::ReportIfSettled() {
    if (Settled()) emit HostAppeared();
}

// Qt announces an item's picture once, as it registers it. A host that is
// still starting up may read the item's properties but draw no picture until
// it hears NewIcon (GNOME Shell's AppIndicator extension, for items without
// a menu), so the items announce themselves again a few times after a host
// appears, the later times for a host slowed down by the rest of a log-in.
void TTrayHostWatch::StartReannouncing() {
    FReannounceStep = 0;
    FReannounceTimer.start(ReannounceAfterMs[0]);
}

void TTrayHostWatch::OnReannounceTimer() {
    emit Reannounce();
    if (++FReannounceStep < std::size(ReannounceAfterMs))
        FReannounceTimer.start(ReannounceAfterMs[FReannounceStep] - ReannounceAfterMs[FReannounceStep - 1]);
}

bool TTrayHostWatch::XEmbedTrayPresent() const {
    xcb_connection_t* connection = X11Connection();
    if (!connection || FSelectionAtom == XCB_ATOM_NONE) return false;
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> reply(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, FSelectionAtom), nullptr),
        &std::free);
    return reply && reply->owner != XCB_NONE;
}

// The owner is asked once more of the bus itself, which always answers at
// once, so that Qt asks the same watcher a moment later.
bool TTrayHostWatch::NoteFirstTrayIcon() {
    if (FDecided) return true;
    if (FWatcher) {
        const QString owner = QDBusConnection::sessionBus().interface()->serviceOwner(WatcherService).value();
        if (owner != FOwner) {
            SetOwner(owner);
            Unsettle();
            return false;
        }
    }
    FDecided = true;
    FUsesStatusNotifier = StatusNotifierHostPresent();
    return true;
}

bool TTrayHostWatch::nativeEventFilter(const QByteArray& EventType, void* Message, qintptr*) {
    if (EventType != "xcb_generic_event_t" || FManagerAtom == XCB_ATOM_NONE) return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(Message);
    if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE) return false;
    const auto* client = static_cast<const xcb_client_message_event_t*>(Message);
    if (client->type == FManagerAtom && client->data.data32[1] == FSelectionAtom)
        QMetaObject::invokeMethod(this, &TTrayHostWatch::HostAppeared, Qt::QueuedConnection);
    return false;
}

}  // namespace quorvel
