#include "net/HostLookup.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

namespace quorvel {

bool SocketAddress::IsSet() const {
    if (Length == 0) return false;
    if (Storage.ss_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(&Storage);
        return in->sin_addr.s_addr != 0;
    }
    if (Storage.ss_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&Storage);
        return !IN6_IS_ADDR_UNSPECIFIED(&in6->sin6_addr);
    }
    return false;
}

void SocketAddress::SetPort(std::uint16_t Port) {
    if (Storage.ss_family == AF_INET) {
        reinterpret_cast<sockaddr_in*>(&Storage)->sin_port = htons(Port);
    } else if (Storage.ss_family == AF_INET6) {
        reinterpret_cast<sockaddr_in6*>(&Storage)->sin6_port = htons(Port);
    }
}

namespace {

HostLookup::Resolver& TestResolver() {
    static HostLookup::Resolver resolver;
    return resolver;
}

void CopyAddresses(const addrinfo* list, std::vector<SocketAddress>& Addresses) {
    for (const addrinfo* ai = list; ai != nullptr; ai = ai->ai_next) {
        if ((ai->ai_family != AF_INET && ai->ai_family != AF_INET6) || ai->ai_addrlen > sizeof(sockaddr_storage)) {
            continue;
        }
        SocketAddress address;
        std::memcpy(&address.Storage, ai->ai_addr, ai->ai_addrlen);
        address.Length = ai->ai_addrlen;
        Addresses.push_back(address);
    }
}

bool CopyFirstAddress(const addrinfo* list, SocketAddress& Address) {
    for (const addrinfo* ai = list; ai != nullptr; ai = ai->ai_next) {
        if ((ai->ai_family != AF_INET && ai->ai_family != AF_INET6) || ai->ai_addrlen > sizeof(Address.Storage)) {
            continue;
        }
        Address = SocketAddress{};
        std::memcpy(&Address.Storage, ai->ai_addr, ai->ai_addrlen);
        Address.Length = ai->ai_addrlen;
        return true;
    }
    return false;
}

}  // namespace

bool ParseNumericHost(const std::string& Host, SocketAddress& Address) {
    if (Host.empty() || Host.find('\0') != std::string::npos) return false;
    in_addr v4{};
    if (inet_aton(Host.c_str(), &v4) != 0) {
        Address = SocketAddress{};
        auto* in = reinterpret_cast<sockaddr_in*>(&Address.Storage);
        in->sin_family = AF_INET;
        in->sin_addr = v4;
        Address.Length = sizeof(sockaddr_in);
        return true;
    }
    if (Host.find(':') == std::string::npos) return false;
    addrinfo hints{};
    hints.ai_family = AF_INET6;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo* list = nullptr;
    if (getaddrinfo(Host.c_str(), nullptr, &hints, &list) != 0) return false;
    const bool found = CopyFirstAddress(list, Address);
    freeaddrinfo(list);
    return found;
}

std::int32_t LookupErrorFromGai(int GaiError) {
    switch (GaiError) {
        case 0: return 0;
        case EAI_AGAIN: return 11002;
        case EAI_FAIL: return 11003;
#ifdef EAI_NODATA
        case EAI_NODATA: return 11004;
#endif
        case EAI_ADDRFAMILY: return 11004;
        default: return 11001;
    }
}

void HostLookup::SetResolverForTesting(Resolver Answer) {
    TestResolver() = std::move(Answer);
}

std::int32_t HostLookup::SystemResolve(const std::string& Host, std::vector<SocketAddress>& Addresses) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    const int result = getaddrinfo(Host.c_str(), nullptr, &hints, &list);
    if (result != 0) return LookupErrorFromGai(result);
    CopyAddresses(list, Addresses);
    freeaddrinfo(list);
    return Addresses.empty() ? 11004 : 0;
}

// What the worker and the program's thread share. The worker holds its own
// reference, so the pipe stays open until both are done with it.
struct HostLookup::Shared {
    std::mutex Lock;
    std::int32_t ErrorNo = 0;
    std::vector<SocketAddress> Addresses;
    int ReadFd = -1;
    int WriteFd = -1;

    ~Shared() {
        if (ReadFd >= 0) ::close(ReadFd);
        if (WriteFd >= 0) ::close(WriteFd);
    }
};

HostLookup::HostLookup(EventLoop& Loop, const std::string& Host, ReplyHandler onReply)
    : State(std::make_shared<Shared>()), OnReply(std::move(onReply)) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        throw std::system_error(errno, std::generic_category(), "pipe2");
    }
    State->ReadFd = fds[0];
    State->WriteFd = fds[1];
    Watch = Loop.WatchSocket(State->ReadFd, [this](SocketReadiness) { ReplyArrived(); });
    Watch->SetInterest(true, false);

    Resolver resolve = TestResolver() ? TestResolver() : Resolver(&HostLookup::SystemResolve);
    std::thread worker([state = State, host = Host, resolve = std::move(resolve)] {
        std::vector<SocketAddress> addresses;
        std::int32_t error = resolve(host, addresses);
        if (error == 0 && addresses.empty()) error = 11004;
        {
            std::lock_guard<std::mutex> guard(state->Lock);
            state->ErrorNo = error;
            state->Addresses = std::move(addresses);
        }
        const char done = 1;
        while (::write(state->WriteFd, &done, 1) < 0 && errno == EINTR) {}
    });
    worker.detach();
}

HostLookup::~HostLookup() {
    Watch.reset();
}

void HostLookup::ReplyArrived() {
    char done = 0;
    if (::read(State->ReadFd, &done, 1) != 1) return;  // not yet
    Watch->SetInterest(false, false);
    std::int32_t error = 0;
    std::vector<SocketAddress> addresses;
    {
        std::lock_guard<std::mutex> guard(State->Lock);
        error = State->ErrorNo;
        addresses = State->Addresses;
    }
    // The handler may destroy this object; nothing is touched afterwards.
    ReplyHandler handler = OnReply;
    handler(error, addresses);
}

}  // namespace quorvel
