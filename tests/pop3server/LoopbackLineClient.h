#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace quorvel {

// A small blocking line client on a loopback TCP port with a deadline on
// every operation, independent of the program's own transport: the Dovecot
// fixture uses it to see that the server greets, and the fixture's own tests
// use it to speak POP3 by hand.
class LoopbackLineClient {
public:
    using Clock = std::chrono::steady_clock;

    LoopbackLineClient() = default;
    ~LoopbackLineClient();
    LoopbackLineClient(const LoopbackLineClient&) = delete;
    LoopbackLineClient& operator=(const LoopbackLineClient&) = delete;

    // Connects to Address:Port (a numeric IPv4 or IPv6 address). False when
    // the connection is refused or not made before Deadline.
    bool Connect(const std::string& Address, std::int32_t Port, Clock::time_point Deadline);

    // One line without its CR LF. False on end of stream, error or Deadline.
    bool ReadLine(std::string& Line, Clock::time_point Deadline);

    // Sends Text followed by CR LF. False on error or Deadline.
    bool SendLine(const std::string& Text, Clock::time_point Deadline);

    // Sends a command and reads its one-line reply ("" when none came).
    std::string Exchange(const std::string& Command, Clock::time_point Deadline);

    void Close();

private:
    bool WaitFor(short Events, Clock::time_point Deadline);

    int Fd = -1;
    std::string Pending;
};

}  // namespace quorvel
