#include "gui/qt/GlibNetworkMonitor.h"

#include <gio/gio.h>

#include "core/SharedLibrary.h"

namespace quorvel {

struct GlibNetworkMonitor::Parts {
    SharedLibrary Library{"libgio-2.0.so.0"};
    GNetworkMonitor* Monitor = nullptr;
    gulong Handler = 0;
    decltype(&g_network_monitor_get_connectivity) Connectivity =
        Library.Find<decltype(&g_network_monitor_get_connectivity)>("g_network_monitor_get_connectivity");
    decltype(&g_signal_handler_disconnect) Disconnect =
        Library.Find<decltype(&g_signal_handler_disconnect)>("g_signal_handler_disconnect");
};

GlibNetworkMonitor::GlibNetworkMonitor(std::function<void(bool Online)> Changed)
    : FParts(std::make_unique<Parts>()), FChanged(std::move(Changed)) {
    Parts& parts = *FParts;
    auto monitorOf = parts.Library.Find<decltype(&g_network_monitor_get_default)>("g_network_monitor_get_default");
    auto connect = parts.Library.Find<decltype(&g_signal_connect_data)>("g_signal_connect_data");
    if (!monitorOf || !connect || !parts.Connectivity || !parts.Disconnect) return;
    parts.Monitor = monitorOf();
    if (!parts.Monitor) return;
    // Every kind of monitor emits "network-changed"; the connectivity is read then.
    auto changed = +[](GNetworkMonitor*, gboolean, gpointer Self) {
        auto* monitor = static_cast<GlibNetworkMonitor*>(Self);
        monitor->FChanged(monitor->Online());
    };
    parts.Handler = connect(parts.Monitor, "network-changed", reinterpret_cast<GCallback>(changed), this, nullptr,
                            GConnectFlags(0));
}

GlibNetworkMonitor::~GlibNetworkMonitor() {
    if (FParts->Handler) FParts->Disconnect(FParts->Monitor, FParts->Handler);
}

bool GlibNetworkMonitor::Running() const {
    return FParts->Handler != 0;
}

bool GlibNetworkMonitor::Online() const {
    // "Local" is GLib's word for no route beyond this machine.
    return !Running() || FParts->Connectivity(FParts->Monitor) != G_NETWORK_CONNECTIVITY_LOCAL;
}

}  // namespace quorvel
