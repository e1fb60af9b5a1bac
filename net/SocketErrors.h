#pragma once

#include <cstdint>
#include <string>

#include "core/Exception.h"

namespace quorvel {

// Failures of the socket layer, of host look-up and of connecting.
class ESockError : public Exception {
public:
    explicit ESockError(const std::string& message);
};

// A send or a line read that ended because of a cancel request (a time-out
// cancels too).
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
