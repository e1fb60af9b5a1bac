#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <mutex>

#include "tests/net/TestSockets.h"

namespace quorvel::test::sockets {

namespace {

void StartWinsock() {
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data;
        ::WSAStartup(MAKEWORD(2, 2), &data);
    });
}

SOCKET AsSocket(int Socket) {
    return static_cast<SOCKET>(Socket);
}

int Bound(const std::string& Address, std::int32_t& Port) {
    StartWinsock();
    sockaddr_storage storage{};
    int length = 0;
    const bool v6 = Address.find(':') != std::string::npos;
    auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
    auto* in = reinterpret_cast<sockaddr_in*>(&storage);
    if (v6) {
        in6->sin6_family = AF_INET6;
        if (::inet_pton(AF_INET6, Address.c_str(), &in6->sin6_addr) != 1) return -1;
        length = sizeof(sockaddr_in6);
    } else {
        in->sin_family = AF_INET;
        if (::inet_pton(AF_INET, Address.c_str(), &in->sin_addr) != 1) return -1;
        length = sizeof(sockaddr_in);
    }
    const SOCKET s = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET) return -1;
    if (::bind(s, reinterpret_cast<sockaddr*>(&storage), length) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&storage), &length) != 0) {
        ::closesocket(s);
        return -1;
    }
    Port = ntohs(v6 ? in6->sin6_port : in->sin_port);
    return static_cast<int>(s);
}

}  // namespace

int Listen(const std::string& Address, int Backlog, std::int32_t& Port) {
    const int s = Bound(Address, Port);
    if (s >= 0 && ::listen(AsSocket(s), Backlog) != 0) {
        ::closesocket(AsSocket(s));
        return -1;
    }
    return s;
}

int BindOnly(std::int32_t& Port) {
    return Bound("127.0.0.1", Port);
}

int Accept(int Listener) {
    const SOCKET s = ::accept(AsSocket(Listener), nullptr, nullptr);
    return s == INVALID_SOCKET ? -1 : static_cast<int>(s);
}

int Connect(std::int32_t Port) {
    StartWinsock();
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(Port));
    if (s != INVALID_SOCKET && ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0)
        return static_cast<int>(s);
    if (s != INVALID_SOCKET) ::closesocket(s);
    return -1;
}

int ConnectWithoutWaiting(std::int32_t Port) {
    StartWinsock();
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET) return -1;
    u_long nonBlocking = 1;
    ::ioctlsocket(s, FIONBIO, &nonBlocking);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(Port));
    (void)::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    return static_cast<int>(s);
}

bool WaitReadable(int Socket, int Ms) {
    WSAPOLLFD p{AsSocket(Socket), POLLRDNORM, 0};
    return ::WSAPoll(&p, 1, Ms) > 0;
}

long ReceiveSome(int Socket, char* Data, std::size_t Size) {
    return ::recv(AsSocket(Socket), Data, static_cast<int>(Size), 0);
}

// Winsock has no way to hold bytes back; they go at once, and the close
// follows right after.
void SendText(int Socket, const std::string& Text, bool) {
    (void)::send(AsSocket(Socket), Text.data(), static_cast<int>(Text.size()), 0);
}

void ShutdownSend(int Socket) {
    ::shutdown(AsSocket(Socket), SD_SEND);
}

void CloseWithReset(int Socket) {
    linger option{1, 0};
    ::setsockopt(AsSocket(Socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&option), sizeof(option));
    ::closesocket(AsSocket(Socket));
}

void CloseSocket(int Socket) {
    if (Socket >= 0) ::closesocket(AsSocket(Socket));
}

bool RunsUnderWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool PeerResetIsReported() {
    return !RunsUnderWine();
}

}  // namespace quorvel::test::sockets
