#pragma once

#include <functional>
#include <memory>

#include "net/EventLoop.h"

namespace quorvel {

// The half of a wake-up that another thread holds. Wake may be called from
// any thread, any number of times, and after the receiving half is gone
// (it then does nothing).
class ILoopWakeSender {
public:
    virtual ~ILoopWakeSender() = default;
    virtual void Wake() = 0;
};

// A wake-up from another thread into the event loop: after Sender->Wake(),
// OnWake runs inside the loop's pump on the loop's thread (once for one or
// more wakes that arrive together). Destroying the object ends it; OnWake
// never runs afterwards.
class ILoopWake {
public:
    virtual ~ILoopWake() = default;
    virtual std::shared_ptr<ILoopWakeSender> Sender() const = 0;
};

// Raises std::system_error when the system has nothing left to make one.
std::unique_ptr<ILoopWake> MakeLoopWake(IEventLoop& Loop, std::function<void()> OnWake);

}  // namespace quorvel
