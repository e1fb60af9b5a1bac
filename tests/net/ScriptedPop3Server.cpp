#include "tests/net/ScriptedPop3Server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace quorvel::test {

namespace {

constexpr int AcceptLimitMs = 10000;
constexpr int HearLimitMs = 5000;
constexpr int DrainLimitMs = 10000;
constexpr int SliceMs = 10;
using Clock = std::chrono::steady_clock;

}  // namespace

ServerStep Say(std::string Text) {
    return {ServerStep::Kind::Say, std::move(Text), 0};
}
ServerStep Hear() {
    return {ServerStep::Kind::Hear, {}, 0};
}
ServerStep Pause(int Milliseconds) {
    return {ServerStep::Kind::Pause, {}, Milliseconds};
}
ServerStep Close() {
    return {ServerStep::Kind::Close, {}, 0};
}
ServerStep SayAndClose(std::string Text) {
    return {ServerStep::Kind::SayAndClose, std::move(Text), 0};
}
ServerStep Reset() {
    return {ServerStep::Kind::Reset, {}, 0};
}

ScriptedPop3Server::ScriptedPop3Server(std::vector<ServerStep> script, const std::string& Address)
    : Script(std::move(script)) {
    sockaddr_storage storage{};
    socklen_t length = 0;
    int family = AF_INET;
    if (Address.find(':') != std::string::npos) {
        family = AF_INET6;
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
        in6->sin6_family = AF_INET6;
        if (inet_pton(AF_INET6, Address.c_str(), &in6->sin6_addr) != 1) return;
        length = sizeof(sockaddr_in6);
    } else {
        auto* in = reinterpret_cast<sockaddr_in*>(&storage);
        in->sin_family = AF_INET;
        if (inet_pton(AF_INET, Address.c_str(), &in->sin_addr) != 1) return;
        length = sizeof(sockaddr_in);
    }
    const int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&storage), length) != 0 || ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&storage), &length) != 0) {
        ::close(fd);
        return;
    }
    FPort = family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port)
                               : ntohs(reinterpret_cast<sockaddr_in*>(&storage)->sin_port);
    ListenFd = fd;
    Worker = std::thread([this] { Run(); });
}

ScriptedPop3Server::~ScriptedPop3Server() {
    Stop = true;
    if (Worker.joinable()) Worker.join();
    if (ListenFd >= 0) ::close(ListenFd);
}

std::string ScriptedPop3Server::Received(std::chrono::milliseconds Limit) {
    std::unique_lock<std::mutex> guard(Lock);
    Done.wait_for(guard, Limit, [this] { return Finished; });
    return Bytes;
}

bool ScriptedPop3Server::Accepted() {
    std::lock_guard<std::mutex> guard(Lock);
    return FAccepted;
}

std::string ScriptedPop3Server::Problems() {
    std::lock_guard<std::mutex> guard(Lock);
    return FProblems;
}

void ScriptedPop3Server::Finish() {
    std::lock_guard<std::mutex> guard(Lock);
    Finished = true;
    Done.notify_all();
}

void ScriptedPop3Server::Run() {
    const auto deadline = Clock::now() + std::chrono::milliseconds(AcceptLimitMs);
    while (!Stop && Clock::now() < deadline) {
        pollfd p{ListenFd, POLLIN, 0};
        if (::poll(&p, 1, SliceMs) > 0) {
            const int fd = ::accept4(ListenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                {
                    std::lock_guard<std::mutex> guard(Lock);
                    FAccepted = true;
                }
                Serve(fd);
                break;
            }
        }
    }
    Finish();
}

// Reads what has arrived, waiting at most WaitMs; false once the client has
// closed (or reset) the connection.
bool ScriptedPop3Server::ReadSome(int Fd, int WaitMs) {
    pollfd p{Fd, POLLIN, 0};
    if (::poll(&p, 1, WaitMs) <= 0) return true;
    char chunk[4096];
    const ssize_t n = ::recv(Fd, chunk, sizeof(chunk), 0);
    if (n <= 0) return false;
    std::lock_guard<std::mutex> guard(Lock);
    Bytes.append(chunk, static_cast<std::size_t>(n));
    return true;
}

bool ScriptedPop3Server::Sleep(int Milliseconds) {
    for (int slept = 0; slept < Milliseconds && !Stop; slept += SliceMs) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(SliceMs, Milliseconds - slept)));
    }
    return !Stop;
}

void ScriptedPop3Server::Serve(int Fd) {
    std::size_t heard = 0;  // bytes of Bytes already matched by Hear steps
    bool open = true;
    for (const auto& step : Script) {
        if (Stop || !open) break;
        switch (step.What) {
            case ServerStep::Kind::Say: (void)::send(Fd, step.Text.data(), step.Text.size(), MSG_NOSIGNAL); break;
            case ServerStep::Kind::Pause: Sleep(step.Milliseconds); break;
            case ServerStep::Kind::Hear: {
                bool got = false;
                const auto deadline = Clock::now() + std::chrono::milliseconds(HearLimitMs);
                while (!Stop && Clock::now() < deadline) {
                    {
                        std::lock_guard<std::mutex> guard(Lock);
                        const auto lf = Bytes.find('\n', heard);
                        if (lf != std::string::npos) {
                            heard = lf + 1;
                            got = true;
                            break;
                        }
                    }
                    if (!ReadSome(Fd, SliceMs)) {
                        open = false;
                        break;
                    }
                }
                if (!got) {
                    std::lock_guard<std::mutex> guard(Lock);
                    FProblems += "no line heard;";
                }
                break;
            }
            case ServerStep::Kind::Reset: {
                linger option{1, 0};
                ::setsockopt(Fd, SOL_SOCKET, SO_LINGER, &option, sizeof(option));
                ::close(Fd);
                return;
            }
            case ServerStep::Kind::SayAndClose:
                // Held back with MSG_MORE, the bytes leave together with the
                // FIN that shutdown adds, so the client sees both at once.
                (void)::send(Fd, step.Text.data(), step.Text.size(), MSG_NOSIGNAL | MSG_MORE);
                ::shutdown(Fd, SHUT_WR);
                break;
            case ServerStep::Kind::Close:
                // Only our side: what the client still sends is recorded,
                // and no unread data turns the close into a reset.
                ::shutdown(Fd, SHUT_WR);
                break;
        }
    }
    // The script is over: record until the client closes.
    const auto deadline = Clock::now() + std::chrono::milliseconds(DrainLimitMs);
    while (open && !Stop && Clock::now() < deadline) {
        open = ReadSome(Fd, SliceMs);
    }
    ::close(Fd);
}

}  // namespace quorvel::test
