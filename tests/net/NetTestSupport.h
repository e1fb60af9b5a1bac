#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "tests/net/TestSockets.h"

namespace quorvel::test {

// A port on 127.0.0.1 that refuses connections for as long as this lives:
// the socket is bound but never listens.
class RefusingPort {
public:
    RefusingPort() : Fd(sockets::BindOnly(Port)) {}
    ~RefusingPort() { sockets::CloseSocket(Fd); }
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;

    std::int32_t Port = 0;

private:
    int Fd = -1;
};

// What a read that meets a peer's reset raises on this system.
inline std::string ResetText() {
    return sockets::PeerResetIsReported() ? "10054:Connection reset by peer" : "10057:Socket is not connected";
}

// Milliseconds since Start.
inline long long ElapsedMs(std::chrono::steady_clock::time_point Start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - Start).count();
}

}  // namespace quorvel::test
