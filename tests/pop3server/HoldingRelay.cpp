#include "tests/pop3server/HoldingRelay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

#include "core/ScopeExit.h"

namespace quorvel {

namespace {

constexpr int TickMs = 20;
constexpr int HoldLimitMs = 30000;

sockaddr_in LoopbackAddress(const std::string& Host, std::int32_t Port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(Port));
    ::inet_pton(AF_INET, Host.c_str(), &address.sin_addr);
    return address;
}

// Copies what one side has ready to the other; false at its end.
bool Forward(int From, int To) {
    char buffer[4096];
    const ssize_t got = ::recv(From, buffer, sizeof buffer, 0);
    if (got <= 0) return false;
    for (ssize_t sent = 0; sent < got;) {
        const ssize_t n = ::send(To, buffer + sent, static_cast<size_t>(got - sent), MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += n;
    }
    return true;
}

}  // namespace

HoldingRelay::HoldingRelay(std::string Host, std::int32_t Port) : TargetHost(std::move(Host)), TargetPort(Port) {
    ListenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = LoopbackAddress("127.0.0.1", 0);
    socklen_t length = sizeof address;
    if (ListenFd < 0 || ::bind(ListenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(ListenFd, 8) != 0 || ::getsockname(ListenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (ListenFd >= 0) ::close(ListenFd);
        throw std::runtime_error("the relay cannot listen on 127.0.0.1");
    }
    FPort = ntohs(address.sin_port);
    Listener = std::thread([this] { Listen(); });
}

HoldingRelay::~HoldingRelay() {
    Stop = true;
    Listener.join();
    ::close(ListenFd);
    std::lock_guard<std::mutex> guard(Lock);
    for (std::thread& connection : Connections) connection.join();
}

void HoldingRelay::Listen() {
    while (!Stop) {
        pollfd ready{ListenFd, POLLIN, 0};
        if (::poll(&ready, 1, TickMs) <= 0) continue;
        const int client = ::accept4(ListenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        ++FAccepted;
        std::lock_guard<std::mutex> guard(Lock);
        Connections.emplace_back([this, client] { Pass(client); });
    }
}

void HoldingRelay::Pass(int ClientFd) {
    OnScopeExit closeClient([ClientFd] { ::close(ClientFd); });
    for (int waited = 0; Held && !Stop && waited < HoldLimitMs; waited += TickMs)
        std::this_thread::sleep_for(std::chrono::milliseconds(TickMs));
    const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (server < 0) return;
    OnScopeExit closeServer([server] { ::close(server); });
    const sockaddr_in target = LoopbackAddress(TargetHost, TargetPort);
    if (::connect(server, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) return;
    while (!Stop) {
        pollfd both[2] = {{ClientFd, POLLIN, 0}, {server, POLLIN, 0}};
        if (::poll(both, 2, TickMs) <= 0) continue;
        if ((both[0].revents & (POLLIN | POLLHUP | POLLERR)) && !Forward(ClientFd, server)) return;
        if ((both[1].revents & (POLLIN | POLLHUP | POLLERR)) && !Forward(server, ClientFd)) return;
    }
}

}  // namespace quorvel
