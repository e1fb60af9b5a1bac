#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>

namespace quorvel::test {

// A port on 127.0.0.1 that refuses connections for as long as this lives:
// the socket is bound but never listens.
class RefusingPort {
public:
    RefusingPort() {
        Fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (Fd >= 0 && ::bind(Fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
            ::getsockname(Fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            Port = ntohs(address.sin_port);
        }
    }
    ~RefusingPort() {
        if (Fd >= 0) ::close(Fd);
    }
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;

    std::int32_t Port = 0;

private:
    int Fd = -1;
};

// Milliseconds since Start.
inline long long ElapsedMs(std::chrono::steady_clock::time_point Start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - Start).count();
}

}  // namespace quorvel::test
