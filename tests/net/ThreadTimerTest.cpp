#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <stdexcept>

#include "core/Exception.h"
#include "net/ThreadTimer.h"
#include "tests/net/TestLoop.h"

namespace quorvel {
namespace {

// A loop whose timers only record how they are driven.
struct RecordingLoop final : EventLoop {
    struct Timer final : EventTimer {
        explicit Timer(RecordingLoop& owner) : Owner(owner) {}
        ~Timer() override { ++Owner.Destroyed; }
        void Start(std::uint32_t IntervalMs) override {
            ++Owner.Starts;
            Owner.LastInterval = IntervalMs;
            Owner.Running = true;
        }
        void Stop() override {
            ++Owner.Stops;
            Owner.Running = false;
        }
        RecordingLoop& Owner;
    };

    void PumpOnce() override {}
    void WaitForEvents() override {}
    std::unique_ptr<EventTimer> CreateTimer(std::function<void()> OnTick) override {
        Tick = std::move(OnTick);
        return std::make_unique<Timer>(*this);
    }
    std::unique_ptr<SocketWatch> WatchSocket(int, std::function<void(SocketReadiness)>) override { return nullptr; }
    void ReportError(const std::string&) override {}

    std::function<void()> Tick;
    int Starts = 0;
    int Stops = 0;
    int Destroyed = 0;
    std::uint32_t LastInterval = 0;
    bool Running = false;
};

TEST(ThreadTimer, RunsOnlyWithHandlerIntervalAndEnabled) {
    RecordingLoop loop;
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
    RecordingLoop loop;
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
    RecordingLoop loop;
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
    loop.RunFor(std::chrono::milliseconds(200));
    EXPECT_GE(ticks, 3);
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
    loop.RunFor(std::chrono::milliseconds(150));
    ASSERT_GE(ticks, 2) << "the timer must keep running after a raising handler";
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
    loop.RunFor(std::chrono::milliseconds(60));
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(timer, nullptr);
}

}  // namespace
}  // namespace quorvel
