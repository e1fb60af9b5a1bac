#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <cstring>

class QDBusServiceWatcher;

namespace quorvel {

// Tells whether a tray host is there and when one appears: a
// StatusNotifierWatcher with a registered host on the session bus, or an
// XEmbed tray owning the _NET_SYSTEM_TRAY_S0 selection on X11. One per
// process, created on first use after the QApplication.
class TrayHostWatch final : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    static TrayHostWatch& Instance();

    bool StatusNotifierHostPresent() const;
    bool XEmbedTrayPresent() const;
    bool AnyHostPresent() const { return StatusNotifierHostPresent() || XEmbedTrayPresent(); }

    // Qt picks the kind of tray once per process, when its first tray icon is
    // made: StatusNotifierItem if a host is registered then, XEmbed if not.
    // NoteFirstTrayIcon records that choice; call it just before making one.
    void NoteFirstTrayIcon();
    bool UsesStatusNotifier() const { return FUsesStatusNotifier; }

    bool nativeEventFilter(const QByteArray& EventType, void* Message, qintptr* Result) override;

signals:
    // A StatusNotifierWatcher or an XEmbed tray has (re)appeared.
    void HostAppeared();
    // Another process took over the StatusNotifierWatcher name: the new
    // watcher knows none of the items registered with the old one.
    void WatcherReplaced();
    // The items should announce their picture and tooltip again.
    void Reannounce();

private slots:
    // Connected by name, to a D-Bus signal.
    void OnStatusNotifierHostRegistered();

private:
    TrayHostWatch();
    void WatchXEmbed();
    void OnWatcherOwnerChanged(const QString& Name, const QString& OldOwner, const QString& NewOwner);
    void StartReannouncing();
    void OnReannounceTimer();

    QDBusServiceWatcher* FWatcher = nullptr;
    bool FDecided = false;
    bool FUsesStatusNotifier = false;
    QTimer FReannounceTimer;
    std::size_t FReannounceStep = 0;
    std::uint32_t FManagerAtom = 0;
    std::uint32_t FSelectionAtom = 0;
};

}  // namespace quorvel
