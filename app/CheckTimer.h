#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "net/EventLoop.h"

namespace quorvel {

// The check timer of the main window: an interval in milliseconds and an
// enabled flag. It runs only while enabled with a period above 0. Setting a
// different period restarts the countdown; setting the same one, or enabling
// it while it runs, changes nothing.
class TCheckTimer {
public:
    TCheckTimer(IEventLoop& Loop, std::function<void()> OnTimer);

    std::uint32_t Interval() const { return FInterval; }
    void SetInterval(std::uint32_t IntervalMs);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Enabled);
    // Whether ticks are on their way.
    bool Running() const { return FRunning; }

private:
    void Update();

    std::unique_ptr<IEventTimer> Timer;
    std::uint32_t FInterval = 1000;
    bool FEnabled = false;
    bool FRunning = false;
};

}  // namespace quorvel
