// The check timer's rules: a different period restarts the countdown, the
// same one changes nothing, 0 stops the ticks.
#include <gtest/gtest.h>

#include <chrono>

#include "app/CheckTimer.h"
#include "net/PollEventLoop.h"

namespace quorvel {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

struct TimerRig {
    PollEventLoop Loop;
    int Ticks = 0;
    TCheckTimer Timer{Loop, [this] { ++Ticks; }};

    void RunFor(milliseconds Duration) {
        const auto end = Clock::now() + Duration;
        while (Clock::now() < end) {
            Loop.WaitForEventsFor(std::chrono::duration_cast<milliseconds>(end - Clock::now()));
        }
    }
};

TEST(CheckTimer, RunsOnlyWhenEnabledWithAPeriod) {
    TimerRig rig;
    rig.Timer.SetInterval(0);
    rig.Timer.SetEnabled(true);
    rig.RunFor(milliseconds(120));
    EXPECT_FALSE(rig.Timer.Running());
    EXPECT_EQ(rig.Ticks, 0);

    rig.Timer.SetInterval(40);
    EXPECT_TRUE(rig.Timer.Running());
    rig.RunFor(milliseconds(100));
    EXPECT_GE(rig.Ticks, 1);

    rig.Timer.SetEnabled(false);
    const int before = rig.Ticks;
    rig.RunFor(milliseconds(100));
    EXPECT_EQ(rig.Ticks, before);
}

TEST(CheckTimer, TheSamePeriodKeepsTheCountdownAndAnotherRestartsIt) {
    TimerRig rig;
    rig.Timer.SetInterval(200);
    rig.Timer.SetEnabled(true);
    // Setting the same period (and enabling again) every 60 ms leaves the
    // countdown alone: the tick still comes after 200 ms.
    for (int i = 0; i < 5; ++i) {
        rig.RunFor(milliseconds(60));
        rig.Timer.SetInterval(200);
        rig.Timer.SetEnabled(true);
    }
    EXPECT_GE(rig.Ticks, 1);

    // A different period each time restarts it, so no tick ever comes.
    rig.Ticks = 0;
    for (int i = 0; i < 5; ++i) {
        rig.RunFor(milliseconds(60));
        rig.Timer.SetInterval(i % 2 == 0 ? 400u : 410u);
    }
    EXPECT_EQ(rig.Ticks, 0);
}

}  // namespace
}  // namespace quorvel
