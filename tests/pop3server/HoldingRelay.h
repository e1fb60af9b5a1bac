#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quorvel {

// A relay on 127.0.0.1 in front of a loopback server. Each connection it
// accepts is passed through byte for byte, except that while the relay is
// held a new connection gets nothing from the server until Release (or 30 s).
// Lets a test keep a check open exactly as long as it needs.
class HoldingRelay {
public:
    HoldingRelay(std::string TargetHost, std::int32_t TargetPort);
    ~HoldingRelay();
    HoldingRelay(const HoldingRelay&) = delete;
    HoldingRelay& operator=(const HoldingRelay&) = delete;

    std::int32_t Port() const { return FPort; }
    void Hold() { Held = true; }
    void Release() { Held = false; }
    // How many connections have been accepted so far.
    int Accepted() const { return FAccepted; }

private:
    void Listen();
    void Pass(int ClientFd);

    std::string TargetHost;
    std::int32_t TargetPort;
    int ListenFd = -1;
    std::int32_t FPort = 0;
    std::atomic<bool> Held{false};
    std::atomic<bool> Stop{false};
    std::atomic<int> FAccepted{0};
    std::thread Listener;
    std::mutex Lock;
    std::vector<std::thread> Connections;
};

}  // namespace quorvel
