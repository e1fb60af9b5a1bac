// The socket layer on Winsock; its error numbers are the table's own.
// winsock2.h must come before windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <climits>
#include <cstring>
#include <mutex>

#include "core/Exception.h"
#include "core/WideText_win32.h"
#include "net/SocketCalls.h"
#include "net/SocketErrors.h"

#include "net/SocketAddressFields.inc"

namespace quorvel {

namespace {

// Winsock is started once, at the first socket or look-up, and stays up
// until the program ends.
std::int32_t StartWinsock() {
    static std::once_flag once;
    static int result = 0;
    std::call_once(once, [] {
        WSADATA data;
        result = ::WSAStartup(MAKEWORD(2, 2), &data);
    });
    return result;
}

SOCKET AsSocket(int Socket) {
    return static_cast<SOCKET>(Socket);
}

int ChunkSize(std::size_t Size) {
    return Size > INT_MAX ? INT_MAX : static_cast<int>(Size);
}

std::int32_t Resolve(const std::string& Host, int Family, int Flags, std::vector<TSocketAddress>& Addresses) {
    if (const std::int32_t error = StartWinsock()) return error;
    ADDRINFOW hints{};
    hints.ai_family = Family;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = Flags;
    std::wstring name;
    try {
        name = WideFromUtf8(Host);
    } catch (const Exception&) {
        return 11001;  // no such name can exist
    }
    ADDRINFOW* list = nullptr;
    const int result = ::GetAddrInfoW(name.c_str(), nullptr, &hints, &list);
    if (result != 0) return result >= 11001 && result <= 11004 ? result : 11001;
    AppendAddresses(list, Addresses);
    ::FreeAddrInfoW(list);
    return Addresses.empty() ? 11004 : 0;
}

}  // namespace

bool ParseNumericHost(const std::string& Host, TSocketAddress& Address) {
    if (Host.empty() || Host.find('\0') != std::string::npos) return false;
    // inet_addr takes the classic dotted forms; its "none" is also the
    // broadcast address, which only that one spelling may mean.
    const unsigned long v4 = ::inet_addr(Host.c_str());
    if (v4 != INADDR_NONE || Host == "255.255.255.255") {
        in_addr value{};
        value.s_addr = v4;
        Address = IPv4Address(value);
        return true;
    }
    if (Host.find(':') == std::string::npos) return false;
    std::vector<TSocketAddress> found;
    if (Resolve(Host, AF_INET6, AI_NUMERICHOST, found) != 0) return false;
    Address = found.front();
    return true;
}

std::int32_t ResolveHostName(const std::string& Host, std::vector<TSocketAddress>& Addresses) {
    return Resolve(Host, AF_UNSPEC, 0, Addresses);
}

namespace sockets {

int IPv4Family() {
    return AF_INET;
}

int Open(int Family, bool LingerZero, std::int32_t& Error) {
    if ((Error = StartWinsock()) != 0) return None;
    // Not inherited by programs this one starts.
    const SOCKET socket = ::WSASocketW(Family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (socket == INVALID_SOCKET) {
        Error = ::WSAGetLastError();
        return None;
    }
    u_long nonBlocking = 1;
    ::ioctlsocket(socket, FIONBIO, &nonBlocking);
    if (LingerZero) {
        linger option{};
        option.l_onoff = 1;
        option.l_linger = 0;
        ::setsockopt(socket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&option), sizeof(option));
    }
    return static_cast<int>(socket);
}

void Close(int Socket) {
    if (Socket != None) ::closesocket(AsSocket(Socket));
}

std::int32_t StartConnect(int Socket, const TSocketAddress& Address) {
    if (::connect(AsSocket(Socket), AsSockaddr(Address), static_cast<int>(Address.Length)) == 0) return 0;
    const int error = ::WSAGetLastError();
    return error == WSAEWOULDBLOCK ? 0 : error;
}

std::int32_t ConnectOutcome(int Socket) {
    int error = 0;
    int length = sizeof(error);
    if (::getsockopt(AsSocket(Socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
        error = ::WSAGetLastError();
    if (error == 0) {
        sockaddr_storage peer{};
        int peerLength = sizeof(peer);
        if (::getpeername(AsSocket(Socket), reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0)
            error = ::WSAGetLastError();
    }
    return error;
}

int ListenOnLoopback(int Backlog, std::int32_t& Port, std::int32_t& Error) {
    const int listener = Open(AF_INET, false, Error);
    if (listener == None) return None;
    const SOCKET socket = AsSocket(listener);
    // Without it another program could bind the same port with
    // SO_REUSEADDR and take the browser's connection.
    BOOL exclusive = TRUE;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int length = sizeof address;
    if (::setsockopt(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
                     sizeof exclusive) != 0 ||
        ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(socket, Backlog) != 0 ||
        ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        Error = ::WSAGetLastError();
        Close(listener);
        return None;
    }
    Port = ntohs(address.sin_port);
    return listener;
}

int Accept(int Listener, std::int32_t& Error) {
    // The accepted socket takes the listener's non-blocking mode (and its
    // WSAAsyncSelect, which a watch replaces); it is not inherited by the
    // programs this one starts, the browser among them.
    const SOCKET socket = ::accept(AsSocket(Listener), nullptr, nullptr);
    if (socket == INVALID_SOCKET) {
        Error = ::WSAGetLastError();
        return None;
    }
    ::SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
    return static_cast<int>(socket);
}

long Receive(int Socket, char* Data, std::size_t Size, bool Peek, std::int32_t& Error) {
    const int n = ::recv(AsSocket(Socket), Data, ChunkSize(Size), Peek ? MSG_PEEK : 0);
    if (n != SOCKET_ERROR) return n;
    Error = ::WSAGetLastError();
    return -1;
}

long Send(int Socket, const char* Data, std::size_t Size, std::int32_t& Error) {
    const int n = ::send(AsSocket(Socket), Data, ChunkSize(Size), 0);
    if (n != SOCKET_ERROR) return n;
    Error = ::WSAGetLastError();
    return -1;
}

}  // namespace sockets

}  // namespace quorvel
