#include "tests/desktop/SniHost.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QDeadlineTimer>

namespace quorvel {

namespace {

const QString ItemInterface = QStringLiteral("org.kde.StatusNotifierItem");

int HostCount = 0;

std::vector<QImage> ReadPixmaps(const QDBusArgument& Argument) {
    std::vector<QImage> images;
    Argument.beginArray();
    while (!Argument.atEnd()) {
        int width = 0, height = 0;
        QByteArray bytes;
        Argument.beginStructure();
        Argument >> width >> height >> bytes;
        Argument.endStructure();
        if (width <= 0 || height <= 0 || bytes.size() != width * height * 4) continue;
        QImage image(width, height, QImage::Format_ARGB32);
        // Each pixel is A, R, G, B, in that byte order.
        const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x, p += 4) image.setPixel(x, y, qRgba(p[1], p[2], p[3], p[0]));
        images.push_back(image);
    }
    Argument.endArray();
    return images;
}

SniMenuEntry ReadLayout(const QDBusArgument& Argument) {
    SniMenuEntry entry;
    int id = 0;
    QVariantMap properties;
    Argument.beginStructure();
    Argument >> id >> properties;
    Argument.beginArray();
    while (!Argument.atEnd()) {
        QDBusVariant child;
        Argument >> child;
        entry.Children.push_back(ReadLayout(child.variant().value<QDBusArgument>()));
    }
    Argument.endArray();
    Argument.endStructure();
    entry.Id = id;
    entry.Label = properties.value("label").toString();
    entry.Enabled = properties.value("enabled", true).toBool();
    entry.Separator = properties.value("type").toString() == "separator";
    return entry;
}

// A call that waits with the event loop running, as a panel does (the item
// may ask this host something meanwhile: whether a host is registered), and
// never longer than 5 s whatever happens inside.
QDBusMessage CallBounded(const QDBusConnection& Bus, const QDBusMessage& Call) {
    QDBusPendingCall pending = Bus.asyncCall(Call, 5000);
    QDeadlineTimer deadline(5500);
    while (!pending.isFinished() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return pending.isFinished() ? pending.reply() : QDBusMessage::createError(QDBusError::Timeout, "no answer");
}

QString ServiceOf(const QString& Item) {
    return Item.section('/', 0, 0);
}
QString PathOf(const QString& Item) {
    return "/" + Item.section('/', 1);
}

}  // namespace

SniHost::SniHost(const QString& BusAddress, TNameRequest Request)
    : FBus(QDBusConnection::connectToBus(BusAddress, QStringLiteral("sni-host-%1").arg(++HostCount))),
      FName(FBus.name()) {
    FOk = FBus.isConnected() &&
          FBus.registerObject("/StatusNotifierWatcher", this,
                              QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties |
                                  QDBusConnection::ExportAllSignals) &&
          FBus.interface()
                  ->registerService("org.kde.StatusNotifierWatcher",
                                    Request == TakeOver ? QDBusConnectionInterface::ReplaceExistingService
                                                        : QDBusConnectionInterface::DontQueueService,
                                    QDBusConnectionInterface::AllowReplacement)
                  .value() == QDBusConnectionInterface::ServiceRegistered;
    FBus.registerService(
        QStringLiteral("org.kde.StatusNotifierHost-%1-%2").arg(QCoreApplication::applicationPid()).arg(HostCount));
    if (Request != WatcherOnly) RegisterHost();
}

void SniHost::RegisterHost() {
    FHostRegistered = true;
    if (FOk) emit StatusNotifierHostRegistered();
}

SniHost::~SniHost() {
    Stop();
}

void SniHost::Stop() {
    if (FName.isEmpty()) return;
    FBus.unregisterObject("/StatusNotifierWatcher");
    QDBusConnection::disconnectFromBus(FName);
    FName.clear();
    FOk = false;
}

void SniHost::RegisterStatusNotifierItem(const QString& Service) {
    // An item names its bus service, or only its object path on the sender.
    const QString item = Service.startsWith('/') ? message().service() + Service : Service + "/StatusNotifierItem";
    if (!FItems.contains(item)) FItems.append(item);
    emit StatusNotifierItemRegistered(item);
}

void SniHost::RegisterStatusNotifierHost(const QString&) {}

QStringList SniHost::Items() const {
    QStringList live;
    if (!FOk) return live;
    for (const QString& item : FItems)
        if (FBus.interface()->isServiceRegistered(ServiceOf(item))) live.append(item);
    return live;
}

SniItemState SniHost::ReadItem(const QString& Item) const {
    SniItemState state;
    auto get = [&](const QString& Name) {
        QDBusMessage call =
            QDBusMessage::createMethodCall(ServiceOf(Item), PathOf(Item), "org.freedesktop.DBus.Properties", "Get");
        call << ItemInterface << Name;
        const QDBusMessage reply = CallBounded(FBus, call);
        return reply.arguments().isEmpty() ? QVariant() : reply.arguments().at(0).value<QDBusVariant>().variant();
    };
    state.Status = get("Status").toString();
    state.MenuPath = get("Menu").value<QDBusObjectPath>().path();
    state.IconPixmaps = ReadPixmaps(get("IconPixmap").value<QDBusArgument>());
    const QDBusArgument tip = get("ToolTip").value<QDBusArgument>();
    if (tip.currentType() == QDBusArgument::StructureType) {
        QString iconName;
        tip.beginStructure();
        tip >> iconName;
        ReadPixmaps(tip);
        tip >> state.ToolTipTitle >> state.ToolTipText;
        tip.endStructure();
    }
    return state;
}

std::vector<SniMenuEntry> SniHost::ReadMenu(const QString& Item) const {
    const QString path = ReadItem(Item).MenuPath;
    QDBusMessage call = QDBusMessage::createMethodCall(ServiceOf(Item), path, "com.canonical.dbusmenu", "GetLayout");
    call << 0 << -1 << QStringList();
    const QDBusMessage reply = CallBounded(FBus, call);
    if (reply.arguments().size() < 2) return {};
    return ReadLayout(reply.arguments().at(1).value<QDBusArgument>()).Children;
}

void SniHost::ClickMenu(const QString& Item, int Id) const {
    QDBusMessage call =
        QDBusMessage::createMethodCall(ServiceOf(Item), ReadItem(Item).MenuPath, "com.canonical.dbusmenu", "Event");
    call << Id << QStringLiteral("clicked") << QVariant::fromValue(QDBusVariant(QVariant(0))) << 0u;
    CallBounded(FBus, call);
}

void SniHost::Activate(const QString& Item, int X, int Y) const {
    QDBusMessage call = QDBusMessage::createMethodCall(ServiceOf(Item), PathOf(Item), ItemInterface, "Activate");
    call << X << Y;
    FBus.asyncCall(call, 5000);
}

void SniHost::ContextMenu(const QString& Item, int X, int Y) const {
    QDBusMessage call = QDBusMessage::createMethodCall(ServiceOf(Item), PathOf(Item), ItemInterface, "ContextMenu");
    call << X << Y;
    FBus.asyncCall(call, 5000);
}

}  // namespace quorvel
