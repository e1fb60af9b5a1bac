#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <cstring>

class QDBusMessage;
class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

namespace quorvel {

// Tells whether a tray host is there and when one appears: a
// StatusNotifierWatcher with a registered host on the session bus, or an
// XEmbed tray owning the _NET_SYSTEM_TRAY_S0 selection on X11. One per
// process, created on first use after the QApplication.
//
// What the watcher says is learnt from its signals and by asynchronous
// calls (at start it is waited for a second at most), so a panel that is slow
// to answer never holds up the program for long. Qt itself asks the watcher
// once, blocking, when the first tray icon is made, and keeps the kind of
// tray it chose then for the whole process; the first icon is therefore made
// only once the watcher has not changed hands nor got a host for a moment
// (two panels started together at log-in take the name from each other
// within milliseconds), so that Qt asks a watcher that stays.
class TTrayHostWatch final : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    static TTrayHostWatch& Instance();

    // A StatusNotifierWatcher with a registered host, as last heard.
    bool StatusNotifierHostPresent() const { return !FOwner.isEmpty() && FHostRegistered; }
    bool XEmbedTrayPresent() const;
    // A tray host is there and what the watcher says has settled.
    bool AnyHostPresent() const { return Settled() && (StatusNotifierHostPresent() || XEmbedTrayPresent()); }

    // Qt picks the kind of tray once per process, when its first tray icon is
    // made: StatusNotifierItem if a host is registered then, XEmbed if not.
    // NoteFirstTrayIcon records that choice; call it just before making one,
    // and make none when it is false: the watcher changed hands unheard.
    bool NoteFirstTrayIcon();
    bool UsesStatusNotifier() const { return FUsesStatusNotifier; }

    bool nativeEventFilter(const QByteArray& EventType, void* Message, qintptr* Result) override;

signals:
    // A tray host may have appeared, or what the watcher says has settled:
    // shells without an icon look again.
    void HostAppeared();
    // Another process took over the StatusNotifierWatcher name: the new
    // watcher knows none of the items registered with the old one.
    void WatcherReplaced();
    // The items should announce their picture and tooltip again.
    void Reannounce();

private slots:
    // Connected by name, to a D-Bus signal.
    void OnStatusNotifierHostRegistered(const QDBusMessage& Message);

private:
    TTrayHostWatch();
    void WatchXEmbed();
    bool Settled() const;
    void SetOwner(const QString& Owner, int WaitMs = 0);
    void AskHost(int WaitMs);
    void OnHostReply(QDBusPendingCallWatcher* Call, const QString& Owner);
    void OnWatcherOwnerChanged(const QString& Name, const QString& OldOwner, const QString& NewOwner);
    void Unsettle();
    void ReportIfSettled();
    void StartReannouncing();
    void OnReannounceTimer();

    QDBusServiceWatcher* FWatcher = nullptr;
    QString FOwner;  // the watcher's unique bus name; empty: no watcher
    bool FHostKnown = false;
    bool FHostRegistered = false;  // of FOwner
    QTimer FSettleTimer;
    bool FDecided = false;
    bool FUsesStatusNotifier = false;
    QTimer FReannounceTimer;
    std::size_t FReannounceStep = 0;
    std::uint32_t FManagerAtom = 0;
    std::uint32_t FSelectionAtom = 0;
};

}  // namespace quorvel
