// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <netioapi.h>
// clang-format on

#include "gui/win32/SystemState_win32.h"

#include <vector>

namespace quorvel {

namespace {

constexpr WPARAM ResumedAutomatically = 0x12;  // PBT_APMRESUMEAUTOMATIC

void CALLBACK InterfaceChanged(PVOID Context, PMIB_IPINTERFACE_ROW, MIB_NOTIFICATION_TYPE) {
    static_cast<TWinSystemState*>(Context)->NetworkNoticed();
}

void CALLBACK AddressChanged(PVOID Context, PMIB_UNICASTIPADDRESS_ROW, MIB_NOTIFICATION_TYPE) {
    static_cast<TWinSystemState*>(Context)->NetworkNoticed();
}

// Loopback, link-local (169.254/16, fe80::/10) and unspecified addresses
// reach no network.
bool ReachesANetwork(const SOCKADDR* Address) {
    if (Address == nullptr) return false;
    if (Address->sa_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(Address);
        const unsigned long host = ntohl(in->sin_addr.s_addr);
        return host != 0 && (host >> 24) != 127 && (host >> 16) != 0xA9FE;
    }
    if (Address->sa_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(Address);
        const IN6_ADDR& a = in6->sin6_addr;
        if (IN6_IS_ADDR_LOOPBACK(&a) || IN6_IS_ADDR_UNSPECIFIED(&a) || IN6_IS_ADDR_LINKLOCAL(&a)) return false;
        return true;
    }
    return false;
}

}  // namespace

bool TWinSystemState::AdaptersOnline() {
    const ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    ULONG size = 16 * 1024;
    std::vector<unsigned char> buffer;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    // The list may grow between the calls; a few rounds settle it.
    for (int round = 0; round < 3 && result == ERROR_BUFFER_OVERFLOW; ++round) {
        buffer.resize(size);
        result = ::GetAdaptersAddresses(AF_UNSPEC, flags, nullptr,
                                        reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    if (result == ERROR_NO_DATA) return false;
    // Unreadable: behave as online rather than pause every check.
    if (result != NO_ERROR) return true;
    for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter != nullptr;
         adapter = adapter->Next) {
        if (adapter->OperStatus != IfOperStatusUp) continue;
        if (adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK || adapter->IfType == IF_TYPE_TUNNEL) continue;
        for (auto* unicast = adapter->FirstUnicastAddress; unicast != nullptr; unicast = unicast->Next)
            if (ReachesANetwork(unicast->Address.lpSockaddr)) return true;
    }
    return false;
}

TWinSystemState::TWinSystemState(HWND Window, TErrorReport Report, TProbe Probe)
    : FWindow(Window), FReport(std::move(Report)), FProbe(Probe ? std::move(Probe) : TProbe(AdaptersOnline)) {
    const bool interfaces =
        ::NotifyIpInterfaceChange(AF_UNSPEC, InterfaceChanged, this, FALSE, &FInterfaceNotice) == NO_ERROR;
    const bool addresses =
        ::NotifyUnicastIpAddressChange(AF_UNSPEC, AddressChanged, this, FALSE, &FAddressNotice) == NO_ERROR;
    FKnows = interfaces && addresses;
    if (FKnows) FOnline = FProbe();
}

TWinSystemState::~TWinSystemState() {
    // Returns once no callback runs any more.
    if (FInterfaceNotice != nullptr) ::CancelMibChangeNotify2(FInterfaceNotice);
    if (FAddressNotice != nullptr) ::CancelMibChangeNotify2(FAddressNotice);
}

void TWinSystemState::NetworkNoticed() {
    if (FPosted.exchange(true)) return;
    if (!::PostMessageW(FWindow, NetworkMessage, 0, 0)) FPosted = false;
}

bool TWinSystemState::HandleMessage(UINT Message, WPARAM WParam, LPARAM, LRESULT& Result) {
    if (Message == WM_POWERBROADCAST) {
        if (WParam == ResumedAutomatically && OnResumed) Guarded(FReport, [&] { OnResumed(); });
        Result = TRUE;
        return true;
    }
    if (Message == NetworkMessage) {
        FPosted = false;
        Result = 0;
        if (!FKnows) return true;
        const bool online = FProbe();
        if (online == FOnline) return true;
        FOnline = online;
        if (OnNetworkChanged) Guarded(FReport, [&] { OnNetworkChanged(online); });
        return true;
    }
    return false;
}

}  // namespace quorvel
