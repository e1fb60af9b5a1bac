// The listener's logic on the thin socket layer: the same on every platform.
#include <vector>

#include "core/Exception.h"
#include "net/EventLoop.h"
#include "net/OAuthFlow.h"
#include "net/RedirectListener.h"
#include "net/SocketCalls.h"
#include "net/SocketErrors.h"

namespace quorvel {

namespace {

constexpr std::size_t MaxRequestHead = 16384;
constexpr std::size_t MaxConnections = 8;
constexpr int Backlog = 8;
// Accepts taken in one go; a failure other than "none waits" (a connection
// reset before it was taken) goes on to the next.
constexpr int AcceptsPerReadiness = 64;

const char* const DonePage =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Quorvel</title></head><body>"
    "<p>Quorvel: サインインしました。このタブは閉じてかまいません。</p>"
    "<p>Quorvel: signed in. You may close this tab.</p></body></html>";
const char* const RefusedPage =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Quorvel</title></head><body>"
    "<p>Quorvel: this request does not belong to the sign-in under way.</p></body></html>";
const char* const FailedPage =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Quorvel</title></head><body>"
    "<p>Quorvel: the sign-in was not completed. You may close this tab.</p></body></html>";

}  // namespace

struct TRedirectListener::Impl {
    struct Connection {
        int Socket = sockets::None;
        std::string Head;
        std::unique_ptr<ISocketWatch> Watch;
    };

    IEventLoop& Loop;
    std::string State;
    int ListenSocket = sockets::None;
    std::int32_t Port = 0;
    std::unique_ptr<ISocketWatch> ListenWatch;
    std::vector<std::unique_ptr<Connection>> Connections;
    bool Ended = false;
    std::string Code;
    std::string Failure;

    Impl(IEventLoop& loop, std::string state) : Loop(loop), State(std::move(state)) {}

    ~Impl() {
        for (auto& connection : Connections) Close(*connection);
        ListenWatch.reset();
        sockets::Close(ListenSocket);
    }

    void Close(Connection& connection) {
        connection.Watch.reset();
        sockets::Close(connection.Socket);
        connection.Socket = sockets::None;
    }

    void Accept() {
        for (int i = 0; i < AcceptsPerReadiness; ++i) {
            std::int32_t error = 0;
            const int socket = sockets::Accept(ListenSocket, error);
            if (socket == sockets::None) {
                if (error == SocketErrorNo::WouldBlock) return;
                continue;
            }
            // A browser may open spare connections; the oldest goes.
            if (Connections.size() >= MaxConnections) {
                Close(*Connections.front());
                Connections.erase(Connections.begin());
            }
            auto connection = std::make_unique<Connection>();
            connection->Socket = socket;
            Connection* raw = connection.get();
            connection->Watch = Loop.WatchSocket(socket, [this, raw](TSocketReadiness) { Read(*raw); });
            connection->Watch->SetInterest(true, false);
            Connections.push_back(std::move(connection));
        }
    }

    void Answer(Connection& connection, const char* Status, const char* Page) {
        const std::string body = Page;
        const std::string reply =
            std::string("HTTP/1.1 ") + Status +
            "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " + std::to_string(body.size()) +
            "\r\nConnection: close\r\nCache-Control: no-store\r\n\r\n" + body;
        // A small reply into a fresh socket's buffer; what does not fit is
        // dropped rather than waited for.
        std::size_t sent = 0;
        while (sent < reply.size()) {
            std::int32_t error = 0;
            const long n = sockets::Send(connection.Socket, reply.data() + sent, reply.size() - sent, error);
            if (n <= 0) break;
            sent += static_cast<std::size_t>(n);
        }
        Close(connection);
    }

    void Read(Connection& connection) {
        char buffer[4096];
        for (;;) {
            std::int32_t error = 0;
            const long n = sockets::Receive(connection.Socket, buffer, sizeof buffer, false, error);
            if (n == 0 || (n < 0 && error != SocketErrorNo::WouldBlock)) {
                Close(connection);
                return;
            }
            if (n < 0) break;
            connection.Head.append(buffer, static_cast<std::size_t>(n));
            if (connection.Head.size() > MaxRequestHead) {
                Answer(connection, "431 Request Header Fields Too Large", RefusedPage);
                return;
            }
        }
        if (connection.Head.find("\r\n\r\n") == std::string::npos) return;
        // "GET /?code=...&state=... HTTP/1.1"
        const std::string line = connection.Head.substr(0, connection.Head.find("\r\n"));
        const std::size_t first = line.find(' ');
        const std::size_t second = line.find(' ', first + 1);
        if (first == std::string::npos || second == std::string::npos || line.substr(0, first) != "GET") {
            Answer(connection, "400 Bad Request", RefusedPage);
            return;
        }
        const TRedirectQuery query = ReadRedirectTarget(line.substr(first + 1, second - first - 1));
        if (query.State != State || Ended) {
            // Not this sign-in's answer (a stale tab, another program, the
            // browser asking for its icon): refused, the wait goes on.
            Answer(connection, "400 Bad Request", RefusedPage);
            return;
        }
        if (!query.Error.empty() || query.Code.empty()) {
            Answer(connection, "200 OK", FailedPage);
            Failure = "OAuth: the sign-in was refused: " + (query.Error.empty() ? std::string("no code") : query.Error);
        } else {
            Answer(connection, "200 OK", DonePage);
            Code = query.Code;
        }
        Ended = true;
    }
};

TRedirectListener::TRedirectListener(IEventLoop& Loop, std::string ExpectedState)
    : FImpl(std::make_unique<Impl>(Loop, std::move(ExpectedState))) {
    Impl& impl = *FImpl;
    std::int32_t error = 0;
    impl.ListenSocket = sockets::ListenOnLoopback(Backlog, impl.Port, error);
    if (impl.ListenSocket == sockets::None) throw Exception("OAuth: cannot listen on 127.0.0.1: " + ErrorText(error));
    impl.ListenWatch = Loop.WatchSocket(impl.ListenSocket, [&impl](TSocketReadiness) { impl.Accept(); });
    impl.ListenWatch->SetInterest(true, false);
}

TRedirectListener::~TRedirectListener() = default;

std::int32_t TRedirectListener::Port() const {
    return FImpl->Port;
}

std::string TRedirectListener::RedirectUri() const {
    return "http://127.0.0.1:" + std::to_string(FImpl->Port) + "/";
}

std::string TRedirectListener::WaitForCode(std::chrono::milliseconds Limit) {
    Impl& impl = *FImpl;
    bool timedOut = false;
    const std::unique_ptr<IEventTimer> timer = impl.Loop.CreateTimer([&] {
        timedOut = true;
        impl.Ended = true;
    });
    timer->Start(static_cast<std::uint32_t>(Limit.count()));
    while (!impl.Ended) impl.Loop.WaitForEvents();
    timer->Stop();
    if (!impl.Code.empty()) return impl.Code;
    if (timedOut) {
        throw Exception("OAuth: no answer from the browser within " + std::to_string(Limit.count() / 60000) +
                        " minutes; nothing was stored");
    }
    if (!impl.Failure.empty()) throw Exception(impl.Failure);
    throw Exception("OAuth: the sign-in was cancelled; nothing was stored");
}

void TRedirectListener::Cancel() {
    FImpl->Ended = true;
}

}  // namespace quorvel
