#pragma once

#include "core/Guarded.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace quorvel {

// A periodic timer delivered by the event loop on the program's one thread.
class IEventTimer {
public:
    virtual ~IEventTimer() = default;
    // Starts (or restarts) the countdown: a tick every IntervalMs milliseconds
    // until Stop. IntervalMs is never 0.
    virtual void Start(std::uint32_t IntervalMs) = 0;
    virtual void Stop() = 0;
};

// What a watched socket is ready for.
struct TSocketReadiness {
    bool Readable = false;
    bool Writable = false;
    // The socket error the notification carried, where the system tells
    // one with it (Winsock does for a failed connect and a reset); else 0.
    std::int32_t Error = 0;
};

// Interest in one socket's readiness. Destroying the watch ends it.
class ISocketWatch {
public:
    virtual ~ISocketWatch() = default;
    // Which readiness the handler is told about; both false pauses the watch.
    virtual void SetInterest(bool Read, bool Write) = 0;
};

// The message pump the network code waits in. On Linux the tray program runs
// it on the Qt event loop and the command-line tools on poll(); a Windows
// build runs it on window messages. Handlers run only inside PumpOnce and
// WaitForEvents, on the calling thread.
class IEventLoop {
public:
    virtual ~IEventLoop() = default;

    // Handles every event that is already pending, without waiting.
    virtual void PumpOnce() = 0;

    // Sleeps until at least one event arrives (socket readiness, a timer tick,
    // user input), then handles what is pending. Never spins.
    virtual void WaitForEvents() = 0;

    virtual std::unique_ptr<IEventTimer> CreateTimer(std::function<void()> OnTick) = 0;

    // Fd is a socket (or any pollable descriptor) that stays open while the
    // watch lives. The watch starts with no interest.
    virtual std::unique_ptr<ISocketWatch> WatchSocket(int Fd, std::function<void(TSocketReadiness)> OnReady) = 0;

    // The program's general error report: the message of an exception that
    // a handler let escape is shown here, and the program goes on.
    virtual void ReportError(const std::string& Message) = 0;

    // Runs a handler the loop dispatches: nothing it throws, of any type,
    // goes further than the error report.
    template <typename Handler>
    void RunGuarded(Handler&& Run) noexcept {
        Guarded([this](const std::string& Message) { ReportError(Message); }, std::forward<Handler>(Run));
    }
};

// A loop that hands everything to Inner: the base of a loop that changes
// only how it waits.
class TForwardingLoop : public IEventLoop {
public:
    explicit TForwardingLoop(IEventLoop& Inner) : FInner(Inner) {}

    void PumpOnce() override { FInner.PumpOnce(); }
    void WaitForEvents() override { FInner.WaitForEvents(); }
    std::unique_ptr<IEventTimer> CreateTimer(std::function<void()> OnTick) override {
        return FInner.CreateTimer(std::move(OnTick));
    }
    std::unique_ptr<ISocketWatch> WatchSocket(int Fd, std::function<void(TSocketReadiness)> OnReady) override {
        return FInner.WatchSocket(Fd, std::move(OnReady));
    }
    void ReportError(const std::string& Message) override { FInner.ReportError(Message); }

protected:
    IEventLoop& FInner;
};

}  // namespace quorvel
