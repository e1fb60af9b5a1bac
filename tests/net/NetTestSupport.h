#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

#include "net/SocketErrors.h"
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

// Whether Message is what a read that meets a peer's reset raises (where
// resets may be reported as orderly closes, that close's text too).
inline bool IsResetText(const std::string& Message) {
    return Message == "10054:Connection reset by peer" ||
           (!sockets::PeerResetIsReported() && Message == "10057:Socket is not connected");
}

// What the ESockError that an action raised tells code and user.
struct SockFailureSeen {
    SockFailure Kind = SockFailure::Startup;
    std::int32_t ErrorNo = 0;
    std::string Message = "(nothing raised)";
    bool operator==(const SockFailureSeen&) const = default;
    friend std::ostream& operator<<(std::ostream& Out, const SockFailureSeen& Seen) {
        return Out << "kind " << static_cast<int>(Seen.Kind) << ", error " << Seen.ErrorNo << ", " << Seen.Message;
    }
};

inline SockFailureSeen FailureOf(const std::function<void()>& Action) {
    try {
        Action();
    } catch (const ESockError& Error) {
        return {Error.Kind(), Error.ErrorNo(), Error.what()};
    }
    return {};
}

// Milliseconds since Start.
inline long long ElapsedMs(std::chrono::steady_clock::time_point Start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - Start).count();
}

}  // namespace quorvel::test
