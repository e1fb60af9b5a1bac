#include "net/ByteChannel.h"

#include "net/SocketCalls.h"
#include "net/SocketErrors.h"

namespace quorvel {

namespace {

// A socket call's result as a step: n bytes, the peer's close (0), or an
// error, of which "would block" only asks to wait.
IoStep StepOf(long Result, std::int32_t Error, IoStep Wait, std::size_t& Count, std::int32_t& Failure) {
    if (Result > 0) {
        Count = static_cast<std::size_t>(Result);
        return IoStep::Done;
    }
    if (Result == 0) return IoStep::Closed;
    if (Error == SocketErrorNo::WouldBlock) return Wait;
    Failure = Error;
    return IoStep::Failed;
}

}  // namespace

IoStep TSocketChannel::Read(char* Data, std::size_t Size, std::size_t& Got) {
    Got = 0;
    std::int32_t error = 0;
    const long n = sockets::Receive(Fd, Data, Size, false, error);
    return StepOf(n, error, IoStep::WantRead, Got, FErrorNo);
}

IoStep TSocketChannel::Write(const char* Data, std::size_t Size, std::size_t& Sent) {
    Sent = 0;
    std::int32_t error = 0;
    const long n = sockets::Send(Fd, Data, Size, error);
    return StepOf(n, error, IoStep::WantWrite, Sent, FErrorNo);
}

}  // namespace quorvel
