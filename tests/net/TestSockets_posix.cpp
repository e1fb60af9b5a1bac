#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/net/TestSockets.h"

namespace quorvel::test::sockets {

namespace {

int Bound(const std::string& Address, std::int32_t& Port) {
    sockaddr_storage storage{};
    socklen_t length = 0;
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
    const int fd = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&storage), length) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&storage), &length) != 0) {
        ::close(fd);
        return -1;
    }
    Port = ntohs(v6 ? in6->sin6_port : in->sin_port);
    return fd;
}

}  // namespace

int Listen(const std::string& Address, int Backlog, std::int32_t& Port) {
    const int fd = Bound(Address, Port);
    if (fd >= 0 && ::listen(fd, Backlog) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int BindOnly(std::int32_t& Port) {
    return Bound("127.0.0.1", Port);
}

int Accept(int Listener) {
    return ::accept4(Listener, nullptr, nullptr, SOCK_CLOEXEC);
}

int Connect(std::int32_t Port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(Port));
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) return fd;
    if (fd >= 0) ::close(fd);
    return -1;
}

int ConnectWithoutWaiting(std::int32_t Port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(Port));
    if (fd >= 0) (void)::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    return fd;
}

bool WaitReadable(int Socket, int Ms) {
    pollfd p{Socket, POLLIN, 0};
    return ::poll(&p, 1, Ms) > 0;
}

long ReceiveSome(int Socket, char* Data, std::size_t Size) {
    return static_cast<long>(::recv(Socket, Data, Size, 0));
}

void SendText(int Socket, const std::string& Text, bool More) {
    (void)::send(Socket, Text.data(), Text.size(), MSG_NOSIGNAL | (More ? MSG_MORE : 0));
}

void ShutdownSend(int Socket) {
    ::shutdown(Socket, SHUT_WR);
}

void CloseWithReset(int Socket) {
    linger option{1, 0};
    ::setsockopt(Socket, SOL_SOCKET, SO_LINGER, &option, sizeof(option));
    ::close(Socket);
}

void CloseSocket(int Socket) {
    if (Socket >= 0) ::close(Socket);
}

bool RunsUnderWine() {
    return false;
}

bool PeerResetIsReported() {
    return true;
}

}  // namespace quorvel::test::sockets
