// The socket layer on POSIX sockets; errno values become socket error
// numbers.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "net/SocketCalls.h"
#include "net/SocketErrors.h"

#include "net/SocketAddressFields.inc"

namespace quorvel {

namespace {

std::int32_t LookupErrorFromGai(int GaiError) {
    switch (GaiError) {
        case 0: return 0;
        case EAI_AGAIN: return 11002;
        case EAI_FAIL: return 11003;
        case EAI_NODATA: return 11004;
        case EAI_ADDRFAMILY: return 11004;
        default: return 11001;
    }
}

std::int32_t Resolve(const std::string& Host, int Family, int Flags, std::vector<TSocketAddress>& Addresses) {
    addrinfo hints{};
    hints.ai_family = Family;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = Flags;
    addrinfo* list = nullptr;
    const int result = ::getaddrinfo(Host.c_str(), nullptr, &hints, &list);
    if (result != 0) return LookupErrorFromGai(result);
    AppendAddresses(list, Addresses);
    ::freeaddrinfo(list);
    return Addresses.empty() ? 11004 : 0;
}

}  // namespace

bool ParseNumericHost(const std::string& Host, TSocketAddress& Address) {
    if (Host.empty() || Host.find('\0') != std::string::npos) return false;
    in_addr v4{};
    if (::inet_aton(Host.c_str(), &v4) != 0) {
        Address = IPv4Address(v4);
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
    const int fd = ::socket(Family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        Error = SocketErrorFromErrno(errno);
        return None;
    }
    if (LingerZero) {
        linger option{};
        option.l_onoff = 1;
        option.l_linger = 0;
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &option, sizeof(option));
    }
    return fd;
}

void Close(int Socket) {
    if (Socket >= 0) ::close(Socket);
}

std::int32_t StartConnect(int Socket, const TSocketAddress& Address) {
    if (::connect(Socket, AsSockaddr(Address), Address.Length) == 0 || errno == EINPROGRESS) return 0;
    return SocketErrorFromErrno(errno);
}

std::int32_t ConnectOutcome(int Socket) {
    int error = 0;
    socklen_t length = sizeof(error);
    if (::getsockopt(Socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
    if (error == 0) {
        sockaddr_storage peer{};
        socklen_t peerLength = sizeof(peer);
        if (::getpeername(Socket, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0) error = errno;
    }
    return SocketErrorFromErrno(error);
}

int ListenOnLoopback(int Backlog, std::int32_t& Port, std::int32_t& Error) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        Error = SocketErrorFromErrno(errno);
        return None;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, Backlog) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        Error = SocketErrorFromErrno(errno);
        ::close(fd);
        return None;
    }
    Port = ntohs(address.sin_port);
    return fd;
}

int Accept(int Listener, std::int32_t& Error) {
    for (;;) {
        const int fd = ::accept4(Listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) return fd;
        if (errno == EINTR) continue;
        Error = SocketErrorFromErrno(errno);
        return None;
    }
}

long Receive(int Socket, char* Data, std::size_t Size, bool Peek, std::int32_t& Error) {
    for (;;) {
        const ssize_t n = ::recv(Socket, Data, Size, MSG_DONTWAIT | (Peek ? MSG_PEEK : 0));
        if (n >= 0) return static_cast<long>(n);
        if (errno == EINTR) continue;
        Error = SocketErrorFromErrno(errno);
        return -1;
    }
}

long Send(int Socket, const char* Data, std::size_t Size, std::int32_t& Error) {
    for (;;) {
        const ssize_t n = ::send(Socket, Data, Size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n >= 0) return static_cast<long>(n);
        if (errno == EINTR) continue;
        Error = SocketErrorFromErrno(errno);
        return -1;
    }
}

}  // namespace sockets

}  // namespace quorvel
