// The check timer's rules: a different period restarts the countdown, the
// same one changes nothing, 0 stops the ticks. The loop's timer only records
// how it is driven, so no rule depends on how fast the machine is.
#include <gtest/gtest.h>

#include <string>

#include "app/CheckTimer.h"
#include "tests/net/TestLoop.h"

namespace quorvel {
namespace {

TEST(CheckTimer, CountdownRestartsOnlyForANewPeriod) {
    struct Step {
        const char* What;  // "interval" or "enabled"
        std::uint32_t Value;
        bool Running;
        int Starts;              // countdowns started so far
        std::uint32_t Interval;  // of the last one
    };
    const Step steps[] = {
        {"interval", 0, false, 0, 0},     {"enabled", 1, false, 0, 0},      // no period: never runs
        {"interval", 40, true, 1, 40},    {"interval", 40, true, 1, 40},    // the same period: the countdown goes on
        {"enabled", 1, true, 1, 40},      {"interval", 400, true, 2, 400},  // another: restarted
        {"interval", 410, true, 3, 410},  {"enabled", 0, false, 3, 410},    // disabled: stopped
        {"interval", 200, false, 3, 410}, {"enabled", 1, true, 4, 200},     // enabled again with the new period
        {"interval", 0, false, 4, 200},
    };
    test::RecordingLoop loop;
    int ticks = 0;
    TCheckTimer timer(loop, [&] { ++ticks; });
    for (const Step& step : steps) {
        SCOPED_TRACE(std::string(step.What) + " " + std::to_string(step.Value));
        if (std::string(step.What) == "interval")
            timer.SetInterval(step.Value);
        else
            timer.SetEnabled(step.Value != 0);
        EXPECT_EQ(timer.Running(), step.Running);
        EXPECT_EQ(loop.Running, step.Running);
        EXPECT_EQ(loop.Starts, step.Starts);
        EXPECT_EQ(loop.LastInterval, step.Interval);
    }
    loop.Tick();  // what the loop delivers reaches the handler
    EXPECT_EQ(ticks, 1);
}

}  // namespace
}  // namespace quorvel
