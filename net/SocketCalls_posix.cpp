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

namespace quorvel {

static_assert(sizeof(SocketAddress::Storage) >= sizeof(sockaddr_storage));

namespace {

const sockaddr* AsSockaddr(const SocketAddress& Address) {
    return reinterpret_cast<const sockaddr*>(Address.Storage);
}

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

void AppendAddresses(const addrinfo* List, std::vector<SocketAddress>& Addresses) {
    for (const addrinfo* ai = List; ai != nullptr; ai = ai->ai_next) {
        if ((ai->ai_family != AF_INET && ai->ai_family != AF_INET6) || ai->ai_addrlen > sizeof(sockaddr_storage))
            continue;
        SocketAddress address;
        std::memcpy(address.Storage, ai->ai_addr, ai->ai_addrlen);
        address.Length = ai->ai_addrlen;
        Addresses.push_back(address);
    }
}

std::int32_t Resolve(const std::string& Host, int Family, int Flags, std::vector<SocketAddress>& Addresses) {
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

int SocketAddress::Family() const {
    return Length == 0 ? 0 : AsSockaddr(*this)->sa_family;
}

bool SocketAddress::IsSet() const {
    if (Family() == AF_INET) return reinterpret_cast<const sockaddr_in*>(Storage)->sin_addr.s_addr != 0;
    if (Family() == AF_INET6)
        return !IN6_IS_ADDR_UNSPECIFIED(&reinterpret_cast<const sockaddr_in6*>(Storage)->sin6_addr);
    return false;
}

void SocketAddress::SetPort(std::uint16_t Port) {
    if (Family() == AF_INET) reinterpret_cast<sockaddr_in*>(Storage)->sin_port = htons(Port);
    if (Family() == AF_INET6) reinterpret_cast<sockaddr_in6*>(Storage)->sin6_port = htons(Port);
}

bool ParseNumericHost(const std::string& Host, SocketAddress& Address) {
    if (Host.empty() || Host.find('\0') != std::string::npos) return false;
    in_addr v4{};
    if (::inet_aton(Host.c_str(), &v4) != 0) {
        Address = SocketAddress{};
        auto* in = reinterpret_cast<sockaddr_in*>(Address.Storage);
        in->sin_family = AF_INET;
        in->sin_addr = v4;
        Address.Length = sizeof(sockaddr_in);
        return true;
    }
    if (Host.find(':') == std::string::npos) return false;
    std::vector<SocketAddress> found;
    if (Resolve(Host, AF_INET6, AI_NUMERICHOST, found) != 0) return false;
    Address = found.front();
    return true;
}

std::int32_t ResolveHostName(const std::string& Host, std::vector<SocketAddress>& Addresses) {
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

std::int32_t StartConnect(int Socket, const SocketAddress& Address) {
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
