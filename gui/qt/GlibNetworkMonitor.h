#pragma once

#include <functional>
#include <memory>

namespace quorvel {

// GLib's network monitor (netlink, or the desktop's portal), through GIO
// loaded for it alone: the network's state where NetworkManager does not run.
// Its changes come on the main thread, whose Qt event loop runs GLib's main
// context.
class GlibNetworkMonitor {
public:
    // Changed is told whether the network reaches more than this machine.
    explicit GlibNetworkMonitor(std::function<void(bool Online)> Changed);
    ~GlibNetworkMonitor();
    GlibNetworkMonitor(const GlibNetworkMonitor&) = delete;
    GlibNetworkMonitor& operator=(const GlibNetworkMonitor&) = delete;

    // False when GIO or its monitor could not be had.
    bool Running() const;
    bool Online() const;

private:
    struct Parts;
    std::unique_ptr<Parts> FParts;
    std::function<void(bool)> FChanged;
};

}  // namespace quorvel
