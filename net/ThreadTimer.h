#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "net/EventLoop.h"

namespace quorvel {

// An interval timer delivered by the event loop on the program's thread; it
// gives the socket transport its time-outs. Every change of Enabled,
// Interval or OnTimer restarts the countdown from the full interval; it runs
// only while Enabled, Interval is not 0 and OnTimer is set.
class TThreadTimer {
public:
    using TNotifyEvent = std::function<void(TThreadTimer&)>;

    explicit TThreadTimer(IEventLoop& Loop);
    ~TThreadTimer();
    TThreadTimer(const TThreadTimer&) = delete;
    TThreadTimer& operator=(const TThreadTimer&) = delete;

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);

    std::uint32_t Interval() const { return FInterval; }
    void SetInterval(std::uint32_t Value);

    const TNotifyEvent& OnTimer() const { return FOnTimer; }
    void SetOnTimer(TNotifyEvent Value);

    // True while the countdown runs.
    bool Running() const { return FRunning; }

private:
    void UpdateTimer();
    void Tick();

    IEventLoop& Loop;
    std::unique_ptr<IEventTimer> Timer;
    std::uint32_t FInterval = 1000;
    TNotifyEvent FOnTimer;
    bool FEnabled = true;
    bool FRunning = false;
};

}  // namespace quorvel
