#include "tests/net/ScriptedPop3Server.h"

#include <algorithm>

#include "tests/net/TestSockets.h"

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
    ListenFd = sockets::Listen(Address, 4, FPort);
    if (ListenFd >= 0) Worker = std::thread([this] { Run(); });
}

ScriptedPop3Server::~ScriptedPop3Server() {
    Stop = true;
    if (Worker.joinable()) Worker.join();
    sockets::CloseSocket(ListenFd);
}

std::string ScriptedPop3Server::Received(std::chrono::milliseconds Limit) {
    std::unique_lock<std::mutex> guard(Lock);
    Done.wait_for(guard, Limit, [this] { return Finished; });
    return Bytes;
}

bool ScriptedPop3Server::Played(std::chrono::milliseconds Limit) {
    std::unique_lock<std::mutex> guard(Lock);
    return Done.wait_for(guard, Limit, [this] { return FPlayed; });
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
        if (sockets::WaitReadable(ListenFd, SliceMs)) {
            const int fd = sockets::Accept(ListenFd);
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
    if (!sockets::WaitReadable(Fd, WaitMs)) return true;
    char chunk[4096];
    const long n = sockets::ReceiveSome(Fd, chunk, sizeof(chunk));
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
            case ServerStep::Kind::Say: sockets::SendText(Fd, step.Text); break;
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
            case ServerStep::Kind::Reset:
                sockets::CloseWithReset(Fd);
                Fd = -1;
                open = false;
                break;
            case ServerStep::Kind::SayAndClose:
                // Held back with MSG_MORE, the bytes leave together with the
                // FIN that shutdown adds, so the client sees both at once.
                sockets::SendText(Fd, step.Text, true);
                sockets::ShutdownSend(Fd);
                break;
            case ServerStep::Kind::Close:
                // Only our side: what the client still sends is recorded,
                // and no unread data turns the close into a reset.
                sockets::ShutdownSend(Fd);
                break;
        }
    }
    {
        std::lock_guard<std::mutex> guard(Lock);
        FPlayed = true;
        Done.notify_all();
    }
    // The script is over: record until the client closes.
    const auto deadline = Clock::now() + std::chrono::milliseconds(DrainLimitMs);
    while (open && !Stop && Clock::now() < deadline) {
        open = ReadSome(Fd, SliceMs);
    }
    sockets::CloseSocket(Fd);
}

}  // namespace quorvel::test
