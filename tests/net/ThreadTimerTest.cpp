#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <stdexcept>

#include "core/Exception.h"
#include "net/ThreadTimer.h"
#include "tests/net/TestLoop.h"

namespace quorvel {
namespace {

TEST(ThreadTimer, RunsOnlyWithHandlerIntervalAndEnabled) {
    test::RecordingLoop loop;
    TThreadTimer timer(loop);
    EXPECT_TRUE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 1000u);
    EXPECT_FALSE(loop.Running) << "no handler yet";

    int ticks = 0;
    timer.SetOnTimer([&](TThreadTimer&) { ++ticks; });
    EXPECT_TRUE(loop.Running);
    EXPECT_EQ(loop.LastInterval, 1000u);

    timer.SetInterval(0);
    EXPECT_FALSE(loop.Running) << "interval 0 never runs";
    timer.SetEnabled(false);
    timer.SetEnabled(true);
    EXPECT_FALSE(loop.Running) << "interval 0 still never runs";

    timer.SetInterval(250);
    EXPECT_TRUE(loop.Running);
    EXPECT_EQ(loop.LastInterval, 250u);
    timer.SetOnTimer(nullptr);
    EXPECT_FALSE(loop.Running) << "no handler, no countdown";

    loop.Tick();  // a tick that was already queued does not reach a removed handler
    EXPECT_EQ(ticks, 0);
}

TEST(ThreadTimer, EqualValuesChangeNothingAndEveryChangeRestarts) {
    test::RecordingLoop loop;
    TThreadTimer timer(loop);
    timer.SetOnTimer([](TThreadTimer&) {});
    const int starts = loop.Starts;

    timer.SetEnabled(true);
    timer.SetInterval(1000);
    EXPECT_EQ(loop.Starts, starts) << "equal values must not restart the countdown";

    timer.SetInterval(999);
    EXPECT_EQ(loop.Starts, starts + 1);
    timer.SetEnabled(false);
    EXPECT_FALSE(loop.Running);
    timer.SetEnabled(true);
    EXPECT_EQ(loop.Starts, starts + 2);

    timer.SetOnTimer([](TThreadTimer&) {});
    EXPECT_EQ(loop.Starts, starts + 3) << "setting the handler always restarts";
}

TEST(ThreadTimer, DestroyingStopsIt) {
    test::RecordingLoop loop;
    {
        TThreadTimer timer(loop);
        timer.SetOnTimer([](TThreadTimer&) {});
        EXPECT_TRUE(loop.Running);
    }
    EXPECT_FALSE(loop.Running);
    EXPECT_EQ(loop.Destroyed, 1);
}

TEST(ThreadTimer, TicksThroughTheLoopAndNoneAfterDestruction) {
    test::CountingLoop loop;
    int ticks = 0;
    auto timer = std::make_unique<TThreadTimer>(loop);
    timer->SetInterval(10);
    timer->SetOnTimer([&](TThreadTimer& sender) {
        EXPECT_EQ(&sender, timer.get());
        ++ticks;
    });
    EXPECT_TRUE(loop.RunUntil([&] { return ticks >= 3; }, std::chrono::seconds(10)));
    timer.reset();
    const int before = ticks;
    loop.RunFor(std::chrono::milliseconds(60));
    EXPECT_EQ(ticks, before);
}

TEST(ThreadTimer, RaisingHandlerIsReportedAndTheTimerGoesOn) {
    test::CountingLoop loop;
    TThreadTimer timer(loop);
    int ticks = 0;
    timer.SetInterval(10);
    timer.SetOnTimer([&](TThreadTimer&) {
        ++ticks;
        throw Exception("tick failed");
    });
    ASSERT_TRUE(loop.RunUntil([&] { return ticks >= 2; }, std::chrono::seconds(10)))
        << "the timer must keep running after a raising handler";
    ASSERT_EQ(loop.Reports.size(), static_cast<std::size_t>(ticks));
    EXPECT_EQ(loop.Reports.front(), "tick failed");
}

TEST(ThreadTimer, HandlerMayDestroyItsTimer) {
    test::CountingLoop loop;
    auto timer = std::make_unique<TThreadTimer>(loop);
    int ticks = 0;
    timer->SetInterval(5);
    timer->SetOnTimer([&](TThreadTimer&) {
        ++ticks;
        timer.reset();
    });
    EXPECT_TRUE(loop.RunUntil([&] { return ticks >= 1; }, std::chrono::seconds(10)));
    loop.RunFor(std::chrono::milliseconds(30));  // no second tick comes
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(timer, nullptr);
}

}  // namespace
}  // namespace quorvel
