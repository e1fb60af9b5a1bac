#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>

#include "app/MainWindowParts.h"
#include "core/Guarded.h"

namespace quorvel {

// Power and the network as Windows tells them, for the main window.
//
// Waking: WM_POWERBROADCAST with PBT_APMRESUMEAUTOMATIC, which every
// top-level window receives on each resume (PBT_APMRESUMESUSPEND follows only
// when a user is present and is not counted twice).
//
// The network: iphlpapi calls back on threads of its own when an interface
// or a unicast address changes; the callbacks only post one message to the
// main window (at most one waits at a time), whose thread then reads the
// adapters again and calls OnNetworkChanged when the answer changed. Online
// means an adapter that is up, not a loopback or tunnel, holding an address
// that is not link-local. Where the notifications cannot be had,
// KnowsNetwork() is false.
class TWinSystemState final : public ISystemState {
public:
    // Reads whether the machine is online; tests pass their own.
    using TProbe = std::function<bool()>;
    // The message the network callbacks post to Window.
    static constexpr UINT NetworkMessage = WM_APP + 3;

    // Window: the main window, whose procedure hands its messages to
    // HandleMessage. Report receives what a handler lets escape.
    TWinSystemState(HWND Window, TErrorReport Report, TProbe Probe = {});
    ~TWinSystemState() override;
    TWinSystemState(const TWinSystemState&) = delete;
    TWinSystemState& operator=(const TWinSystemState&) = delete;

    bool KnowsNetwork() const override { return FKnows; }
    bool Online() const override { return FOnline; }

    // For the main window's procedure: true (with Result) when Message was
    // one of these.
    bool HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam, LRESULT& Result);

    // What the system's callbacks do, from any thread: ask the main window's
    // thread to read the network again.
    void NetworkNoticed();

    // The adapters as GetAdaptersAddresses lists them.
    static bool AdaptersOnline();

private:
    HWND FWindow;
    TErrorReport FReport;
    TProbe FProbe;
    bool FKnows = false;
    bool FOnline = true;
    std::atomic<bool> FPosted{false};
    HANDLE FInterfaceNotice = nullptr;
    HANDLE FAddressNotice = nullptr;
};

}  // namespace quorvel
