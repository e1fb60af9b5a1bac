#include "tests/wine/TlsRecordRelay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>

#include "core/ScopeExit.h"

namespace quorvel {

namespace {

constexpr int TickMs = 20;
constexpr std::size_t TricklePiece = 3;
constexpr unsigned char ApplicationData = 23;
constexpr int SlowReceiveBuffer = 4096;
constexpr std::size_t SlowPiece = 1024;

sockaddr_in Loopback(std::int32_t Port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(Port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool SendAll(int Fd, const char* Data, std::size_t Size) {
    for (std::size_t sent = 0; sent < Size;) {
        const ssize_t n = ::send(Fd, Data + sent, Size - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

// The length of the complete record at the start of Stream; 0 when it has
// not all arrived yet.
std::size_t CompleteRecord(const std::string& Stream) {
    if (Stream.size() < 5) return 0;
    const std::size_t length = 5 + static_cast<unsigned char>(Stream[3]) * 256u + static_cast<unsigned char>(Stream[4]);
    return Stream.size() >= length ? length : 0;
}

}  // namespace

TlsRecordRelay::TlsRecordRelay(std::int32_t Port, Mode Given) : TargetPort(Port), How(Given) {
    ListenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    // Accepted connections inherit the buffer size.
    if (How == Mode::SlowReader && ListenFd >= 0) {
        ::setsockopt(ListenFd, SOL_SOCKET, SO_RCVBUF, &SlowReceiveBuffer, sizeof SlowReceiveBuffer);
    }
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    if (ListenFd < 0 || ::bind(ListenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(ListenFd, 8) != 0 || ::getsockname(ListenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (ListenFd >= 0) ::close(ListenFd);
        throw std::runtime_error("the relay cannot listen on 127.0.0.1");
    }
    FPort = ntohs(address.sin_port);
    Listener = std::thread([this] { Listen(); });
}

TlsRecordRelay::~TlsRecordRelay() {
    Stop = true;
    Listener.join();
    ::close(ListenFd);
    std::lock_guard<std::mutex> guard(Lock);
    for (std::thread& connection : Connections) connection.join();
}

void TlsRecordRelay::Listen() {
    while (!Stop) {
        pollfd ready{ListenFd, POLLIN, 0};
        if (::poll(&ready, 1, TickMs) <= 0) continue;
        const int client = ::accept4(ListenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        std::lock_guard<std::mutex> guard(Lock);
        Connections.emplace_back([this, client] { Pass(client); });
    }
}

void TlsRecordRelay::Pass(int ClientFd) {
    OnScopeExit closeClient([ClientFd] { ::close(ClientFd); });
    const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (server < 0) return;
    OnScopeExit closeServer([server] { ::close(server); });
    const sockaddr_in target = Loopback(TargetPort);
    if (::connect(server, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) return;

    std::string fromClient;  // records the client sent, up to the first application data
    std::string fromServer;  // the server's bytes not yet passed on
    bool clientSentData = false;
    char buffer[4096];
    while (!Stop) {
        pollfd both[2] = {{ClientFd, POLLIN, 0}, {server, POLLIN, 0}};
        if (::poll(both, 2, TickMs) <= 0) continue;
        if (both[0].revents != 0) {
            const bool slow = How == Mode::SlowReader;
            if (slow) std::this_thread::sleep_for(std::chrono::milliseconds(2));
            const ssize_t got = ::recv(ClientFd, buffer, slow ? SlowPiece : sizeof buffer, 0);
            if (got <= 0 || !SendAll(server, buffer, static_cast<std::size_t>(got))) return;
            if (!clientSentData) fromClient.append(buffer, static_cast<std::size_t>(got));
            for (std::size_t length; !clientSentData && (length = CompleteRecord(fromClient)) > 0;) {
                clientSentData = static_cast<unsigned char>(fromClient[0]) == ApplicationData;
                fromClient.erase(0, length);
            }
        }
        if (both[1].revents == 0) continue;
        const ssize_t got = ::recv(server, buffer, sizeof buffer, 0);
        if (got <= 0) return;
        fromServer.append(buffer, static_cast<std::size_t>(got));
        if (How == Mode::Trickle) {
            for (std::size_t at = 0; at < fromServer.size(); at += TricklePiece) {
                if (!SendAll(ClientFd, fromServer.data() + at, std::min(TricklePiece, fromServer.size() - at))) return;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            fromServer.clear();
            continue;
        }
        for (std::size_t length; (length = CompleteRecord(fromServer)) > 0; fromServer.erase(0, length)) {
            const bool reply = How != Mode::SlowReader && clientSentData &&
                               static_cast<unsigned char>(fromServer[0]) == ApplicationData;
            const std::size_t passed = reply && How == Mode::EndInsideReply ? 5 + (length - 5) / 2 : length;
            if (!SendAll(ClientFd, fromServer.data(), passed)) return;
            if (reply) {
                ::shutdown(ClientFd, SHUT_RDWR);
                return;
            }
        }
    }
}

}  // namespace quorvel
