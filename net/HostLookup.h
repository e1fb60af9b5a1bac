#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/EventLoop.h"
#include "net/LoopWake.h"
#include "net/SocketCalls.h"

namespace quorvel {

// One asynchronous host-name look-up. The reply carries every address of
// the name (IPv4 and IPv6) in the order the resolver gives them, so a
// connect can move on when the first one does not answer. The resolver
// runs on a short-lived worker thread, which wakes the event loop; the reply
// handler therefore runs inside the loop's pump on the program's thread.
// Destroying the object drops the reply: the worker keeps only state of its
// own and never touches this object.
class THostLookup {
public:
    // ErrorNo is 0 on success, otherwise a look-up error number of the
    // socket error table (11001 "Host not found" and its neighbours).
    using ReplyHandler = std::function<void(std::int32_t ErrorNo, const std::vector<TSocketAddress>& Addresses)>;
    // What answers a look-up: fills Addresses and returns 0, or returns a
    // look-up error number. Runs on the worker thread.
    using Resolver = std::function<std::int32_t(const std::string& Host, std::vector<TSocketAddress>& Addresses)>;

    // Starts the look-up; throws std::system_error when no worker can be made.
    THostLookup(IEventLoop& Loop, const std::string& Host, ReplyHandler OnReply);
    ~THostLookup();
    THostLookup(const THostLookup&) = delete;
    THostLookup& operator=(const THostLookup&) = delete;

    // For tests: look-ups started from now on ask Answer instead of the
    // system's resolver (an empty one puts the system's back). Set it while
    // no look-up is being started.
    static void SetResolverForTesting(Resolver Answer);
    // The system's resolver (any family, stream sockets).
    static std::int32_t SystemResolve(const std::string& Host, std::vector<TSocketAddress>& Addresses);

    struct Shared;

private:
    void ReplyArrived();

    std::shared_ptr<Shared> State;
    std::unique_ptr<ILoopWake> Wake;
    ReplyHandler OnReply;
};

}  // namespace quorvel
