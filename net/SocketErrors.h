#pragma once

#include <cstdint>
#include <string>

#include "core/Exception.h"

namespace quorvel {

// What kind of failure an ESockError reports. Code decides on the kind;
// the message is only for showing, and stays the same text it always was.
enum class SockFailure {
    Startup,            // the transport's first socket could not be made
    SocketCall,         // a socket call failed; ErrorNo tells which error
    NotConnected,       // no connection (never made, closed or reset); ErrorNo tells how it ended
    SocketLost,         // no fresh socket could be made after a close
    AlreadyConnected,   // Connect on a connection that is up
    InvalidPort,        // a port outside 1..65535
    InvalidHost,        // a host name holding a control character
    LookupFailed,       // the name has no address (or no look-up could start)
    LookupTimedOut,     // no answer within the time-out
    LookupCanceled,     // a cancel during the look-up
    NoAddress,          // nothing to connect to, even after OnInvalidHost
    ConnectFailed,      // every address was tried and failed
    ConnectTimedOut,    // no address answered within the time-out
    ConnectCanceled,    // a cancel during the connect
    TextTooLong,        // a text longer than Write sends
    LineTooLong,        // a line longer than ReadLn assembles
    ReplyOutOfRange,    // a reply number beyond 16 bits
    TlsAlreadyRunning,  // StartTls on a connection that runs TLS
    Tls,                // the TLS session failed (TlsFailureText, or the plaintext answer after STLS)
    TlsTimedOut,        // the handshake did not end within the time-out
    Aborted,            // a cancel (or the time-out) ended a send, a line read or the handshake
};

// Failures of the socket layer, of host look-up and of connecting.
class ESockError : public Exception {
public:
    ESockError(SockFailure Kind, const std::string& Message, std::int32_t ErrorNo = 0);
    SockFailure Kind() const { return FKind; }
    // The socket error number of a SocketCall or NotConnected failure; else 0.
    std::int32_t ErrorNo() const { return FErrorNo; }

private:
    SockFailure FKind;
    std::int32_t FErrorNo;
};

// A send, a line read or a handshake that ended because of a cancel request
// (a time-out cancels too); its kind is Aborted.
class EAbortError : public ESockError {
public:
    explicit EAbortError(const std::string& message);
};

// Socket error numbers as the transport reports them (Winsock numbering on
// every platform, so a failure reads the same everywhere).
namespace SocketErrorNo {
constexpr std::int32_t Interrupted = 10004;
constexpr std::int32_t BadFile = 10009;
constexpr std::int32_t WouldBlock = 10035;
constexpr std::int32_t InProgress = 10036;
constexpr std::int32_t Already = 10037;
constexpr std::int32_t ShutDown = 10058;
constexpr std::int32_t NotConnected = 10057;
constexpr std::int32_t ConnectionReset = 10054;
constexpr std::int32_t TimedOut = 10060;
constexpr std::int32_t ConnectionRefused = 10061;
}  // namespace SocketErrorNo

// "<Code>:<text>" from the error table, or "Unknown Error No. <Code>";
// empty for 0.
std::string ErrorText(std::int32_t Code);

// The socket error number that stands for an errno value (POSIX builds). Values without a
// counterpart come out as 20000 + errno: above 10000, so they are raised,
// and unknown to the table, so their text reads "Unknown Error No. ...".
std::int32_t SocketErrorFromErrno(int Errno);

}  // namespace quorvel
