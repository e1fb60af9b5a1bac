#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "net/EventLoop.h"

namespace quorvel {

// The event loop of programs without a display (quorvel-check, the tests,
// the benchmarks): poll() on Linux, window messages on Windows.
class ICommandLineLoop : public IEventLoop {
public:
    // Waits like WaitForEvents, but no longer than Limit.
    virtual void WaitForEventsFor(std::chrono::milliseconds Limit) = 0;
};

// Errors that reach ReportError are passed to Reporter (default: the
// standard error).
std::unique_ptr<ICommandLineLoop> MakeCommandLineLoop(std::function<void(const std::string&)> Reporter = {});

}  // namespace quorvel
