#include "net/HostLookup.h"

#include <mutex>
#include <thread>

namespace quorvel {

namespace {

THostLookup::Resolver& TestResolver() {
    static THostLookup::Resolver resolver;
    return resolver;
}

}  // namespace

void THostLookup::SetResolverForTesting(Resolver Answer) {
    TestResolver() = std::move(Answer);
}

std::int32_t THostLookup::SystemResolve(const std::string& Host, std::vector<TSocketAddress>& Addresses) {
    return ResolveHostName(Host, Addresses);
}

// What the worker and the program's thread share.
struct THostLookup::Shared {
    std::mutex Lock;
    bool Done = false;
    std::int32_t ErrorNo = 0;
    std::vector<TSocketAddress> Addresses;
};

THostLookup::THostLookup(IEventLoop& Loop, const std::string& Host, ReplyHandler onReply)
    : State(std::make_shared<Shared>()), OnReply(std::move(onReply)) {
    Wake = MakeLoopWake(Loop, [this] { ReplyArrived(); });
    Resolver resolve = TestResolver() ? TestResolver() : Resolver(&THostLookup::SystemResolve);
    std::thread worker([state = State, sender = Wake->Sender(), host = Host, resolve = std::move(resolve)] {
        std::vector<TSocketAddress> addresses;
        std::int32_t error = resolve(host, addresses);
        if (error == 0 && addresses.empty()) error = 11004;
        {
            std::lock_guard<std::mutex> guard(state->Lock);
            state->ErrorNo = error;
            state->Addresses = std::move(addresses);
            state->Done = true;
        }
        sender->Wake();
    });
    worker.detach();
}

THostLookup::~THostLookup() = default;

void THostLookup::ReplyArrived() {
    std::int32_t error = 0;
    std::vector<TSocketAddress> addresses;
    {
        std::lock_guard<std::mutex> guard(State->Lock);
        if (!State->Done) return;
        State->Done = false;  // told once
        error = State->ErrorNo;
        addresses = State->Addresses;
    }
    // The handler may destroy this object; nothing is touched afterwards.
    ReplyHandler handler = OnReply;
    handler(error, addresses);
}

}  // namespace quorvel
