#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

#include "net/PollEventLoop.h"

using namespace std::chrono_literals;
using quorvel::TPollEventLoop;

namespace {

struct SocketPair {
    int Fd[2] = {-1, -1};
    SocketPair() { EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, Fd), 0); }
    ~SocketPair() {
        ::close(Fd[0]);
        ::close(Fd[1]);
    }
};

}  // namespace

TEST(TPollEventLoop, TimerTicksPeriodicallyUntilStopped) {
    TPollEventLoop loop;
    int ticks = 0;
    auto timer = loop.CreateTimer([&] { ++ticks; });
    timer->Start(5);
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (ticks < 3 && std::chrono::steady_clock::now() < end) loop.WaitForEvents();
    EXPECT_EQ(ticks, 3);
    timer->Stop();
    loop.WaitForEventsFor(30ms);
    EXPECT_EQ(ticks, 3);
}

TEST(TPollEventLoop, WatchReportsReadinessAndCanBeDestroyedInsideItsHandler) {
    TPollEventLoop loop;
    SocketPair pair;
    int calls = 0;
    std::unique_ptr<quorvel::ISocketWatch> watch;
    watch = loop.WatchSocket(pair.Fd[0], [&](quorvel::TSocketReadiness r) {
        ++calls;
        EXPECT_TRUE(r.Readable);
        watch.reset();
    });
    watch->SetInterest(true, false);
    loop.PumpOnce();
    EXPECT_EQ(calls, 0);  // nothing to read yet
    ASSERT_EQ(::write(pair.Fd[1], "x", 1), 1);
    loop.WaitForEventsFor(2s);
    EXPECT_EQ(calls, 1);
    loop.WaitForEventsFor(20ms);
    EXPECT_EQ(calls, 1);
}

TEST(TPollEventLoop, HandlerExceptionsGoToTheErrorReport) {
    std::string reported;
    TPollEventLoop loop([&](const std::string& message) { reported = message; });
    auto timer = loop.CreateTimer([] { throw std::runtime_error("boom"); });
    timer->Start(1);
    loop.WaitForEventsFor(1s);
    EXPECT_EQ(reported, "boom");
}
