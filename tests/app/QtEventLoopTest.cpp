#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>

#include "gui/qt/QtEventLoop.h"

using namespace std::chrono_literals;

namespace {

template <typename Condition>
bool WaitUntil(quorvel::IEventLoop& loop, Condition done, std::chrono::milliseconds limit) {
    // A guard timer makes sure WaitForEvents always returns within the limit.
    auto guard = loop.CreateTimer([] {});
    guard->Start(20);
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        loop.WaitForEvents();
    }
    return true;
}

class QtEventLoopTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "qt_event_loop_tests";
        static char* argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
    }
    void TearDown() override {
        // Let released Qt objects go before the next test.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    std::string Reported;
    quorvel::TQtEventLoop Loop{[this](const std::string& message) { Reported = message; }};
};

}  // namespace

TEST_F(QtEventLoopTest, TimerTicksAndRestartsOnStart) {
    int ticks = 0;
    auto timer = Loop.CreateTimer([&] { ++ticks; });
    timer->Start(5);
    EXPECT_TRUE(WaitUntil(
        Loop, [&] { return ticks >= 2; }, 5s));
    timer->Stop();
    const int stoppedAt = ticks;
    WaitUntil(
        Loop, [] { return false; }, 60ms);
    EXPECT_EQ(ticks, stoppedAt);
}

TEST_F(QtEventLoopTest, SocketReadinessAndAWatchDestroyedByItsOwnHandler) {
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    int calls = 0;
    std::unique_ptr<quorvel::ISocketWatch> watch;
    watch = Loop.WatchSocket(fds[0], [&](quorvel::TSocketReadiness readiness) {
        ++calls;
        EXPECT_TRUE(readiness.Readable);
        watch.reset();
    });
    watch->SetInterest(true, false);
    ASSERT_EQ(::write(fds[1], "x", 1), 1);
    EXPECT_TRUE(WaitUntil(
        Loop, [&] { return calls > 0; }, 5s));
    WaitUntil(
        Loop, [] { return false; }, 50ms);
    EXPECT_EQ(calls, 1);
    ::close(fds[0]);
    ::close(fds[1]);
}

TEST_F(QtEventLoopTest, ExceptionsFromHandlersReachTheErrorReportAndStopThere) {
    auto timer = Loop.CreateTimer([] { throw std::runtime_error("Timer handler failed"); });
    timer->Start(1);
    EXPECT_TRUE(WaitUntil(
        Loop, [&] { return !Reported.empty(); }, 5s));
    EXPECT_EQ(Reported, "Timer handler failed");
}
