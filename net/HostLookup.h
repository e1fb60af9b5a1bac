#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/EventLoop.h"

namespace quorvel {

// A socket address of either family.
struct SocketAddress {
    sockaddr_storage Storage{};
    socklen_t Length = 0;

    int Family() const { return Length == 0 ? AF_UNSPEC : Storage.ss_family; }
    // False when empty or when it is the all-zero address of its family.
    bool IsSet() const;
    void SetPort(std::uint16_t Port);
};

// A numeric host: a dotted IPv4 address in any form inet_aton accepts, or
// an IPv6 literal. Needs no look-up.
bool ParseNumericHost(const std::string& Host, SocketAddress& Address);

// One asynchronous host-name look-up. The reply carries every address of
// the name (IPv4 and IPv6) in the order the resolver gives them, so a
// connect can move on when the first one does not answer. getaddrinfo runs on a short-lived
// worker thread, which signals a pipe that the event loop watches; the reply
// handler therefore runs inside the loop's pump on the program's thread.
// Destroying the object drops the reply: the worker keeps only state of its
// own and never touches this object.
class HostLookup {
public:
    // ErrorNo is 0 on success, otherwise a look-up error number of the
    // socket error table (11001 "Host not found" and its neighbours).
    using ReplyHandler = std::function<void(std::int32_t ErrorNo, const std::vector<SocketAddress>& Addresses)>;
    // What answers a look-up: fills Addresses and returns 0, or returns a
    // look-up error number. Runs on the worker thread.
    using Resolver = std::function<std::int32_t(const std::string& Host, std::vector<SocketAddress>& Addresses)>;

    // Starts the look-up; throws std::system_error when no worker can be made.
    HostLookup(EventLoop& Loop, const std::string& Host, ReplyHandler OnReply);
    ~HostLookup();
    HostLookup(const HostLookup&) = delete;
    HostLookup& operator=(const HostLookup&) = delete;

    // For tests: look-ups started from now on ask Answer instead of the
    // system's resolver (an empty one puts the system's back). Set it while
    // no look-up is being started.
    static void SetResolverForTesting(Resolver Answer);
    // The system's resolver (getaddrinfo, any family, stream sockets).
    static std::int32_t SystemResolve(const std::string& Host, std::vector<SocketAddress>& Addresses);

    struct Shared;

private:
    void ReplyArrived();

    std::shared_ptr<Shared> State;
    std::unique_ptr<SocketWatch> Watch;
    ReplyHandler OnReply;
};

// The look-up error number for a getaddrinfo result code.
std::int32_t LookupErrorFromGai(int GaiError);

}  // namespace quorvel
