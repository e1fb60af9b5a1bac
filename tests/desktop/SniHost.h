#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>
#include <vector>

namespace quorvel {

// One entry of an item's menu as a panel reads it over com.canonical.dbusmenu.
struct SniMenuEntry {
    int Id = 0;
    QString Label;  // as exported, mnemonic marked with "_"
    bool Enabled = true;
    bool Separator = false;
    std::vector<SniMenuEntry> Children;  // a submenu's entries
};

// What a panel reads from one StatusNotifierItem.
struct SniItemState {
    QString Status;
    QString ToolTipTitle;
    QString ToolTipText;
    std::vector<QImage> IconPixmaps;  // ARGB32, one per exported size
    QString MenuPath;
};

// A StatusNotifierWatcher and host on a private session bus, the way a
// panel provides one: it registers org.kde.StatusNotifierWatcher, takes
// item registrations, and reads and drives the items. Destroying it (or
// Stop) drops its bus connection, as a panel that is killed would. Like
// waybar, it lets another host take the name over, and with TakeOver it
// takes the name from the host that holds it. With WatcherOnly it is a
// watcher without a host until RegisterHost, as when a desktop starts its
// watcher before its panel.
class SniHost final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ RegisteredStatusNotifierItems)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ IsStatusNotifierHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ ProtocolVersion)

public:
    enum TNameRequest { WhenFree, TakeOver, WatcherOnly };
    explicit SniHost(const QString& BusAddress, TNameRequest Request = WhenFree);
    ~SniHost() override;

    bool Ok() const { return FOk; }
    // Its connection's unique name on the bus.
    QString UniqueName() const { return FBus.baseService(); }
    void Stop();
    void RegisterHost();

    // Items registered and still on the bus, as "service/path".
    QStringList Items() const;
    SniItemState ReadItem(const QString& Item) const;
    std::vector<SniMenuEntry> ReadMenu(const QString& Item) const;
    // The panel's left click and right click on an item.
    void Activate(const QString& Item, int X = 10, int Y = 10) const;
    void ContextMenu(const QString& Item, int X = 10, int Y = 10) const;
    // The panel's click on the menu entry Id of an item's menu.
    void ClickMenu(const QString& Item, int Id) const;

    QStringList RegisteredStatusNotifierItems() const { return Items(); }
    bool IsStatusNotifierHostRegistered() const { return FHostRegistered; }
    int ProtocolVersion() const { return 0; }

public slots:
    void RegisterStatusNotifierItem(const QString& Service);
    void RegisterStatusNotifierHost(const QString& Service);

signals:
    void StatusNotifierItemRegistered(const QString& Item);
    void StatusNotifierItemUnregistered(const QString& Item);
    void StatusNotifierHostRegistered();

private:
    QDBusConnection FBus;
    QString FName;
    bool FOk = false;
    bool FHostRegistered = false;
    QStringList FItems;
};

}  // namespace quorvel
