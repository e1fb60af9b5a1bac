#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/CommandLineLoop.h"

namespace quorvel {

// An event loop on poll() and a monotonic clock, for programs without a
// display (quorvel-check, the tests, the benchmarks).
class TPollEventLoop final : public ICommandLineLoop {
public:
    // Errors that reach ReportError are passed to Reporter (default: stderr).
    explicit TPollEventLoop(std::function<void(const std::string&)> Reporter = {});
    ~TPollEventLoop() override;
    TPollEventLoop(const TPollEventLoop&) = delete;
    TPollEventLoop& operator=(const TPollEventLoop&) = delete;

    void PumpOnce() override;
    void WaitForEvents() override;
    std::unique_ptr<IEventTimer> CreateTimer(std::function<void()> OnTick) override;
    std::unique_ptr<ISocketWatch> WatchSocket(int Fd, std::function<void(TSocketReadiness)> OnReady) override;
    void ReportError(const std::string& Message) override;

    // Waits like WaitForEvents, but no longer than Limit.
    void WaitForEventsFor(std::chrono::milliseconds Limit) override;

    struct TimerEntry;
    struct WatchEntry;

private:
    using Clock = std::chrono::steady_clock;
    void Run(int PollTimeoutMs);
    int MillisecondsToNextTimer() const;

    std::vector<std::shared_ptr<TimerEntry>> Timers;
    std::vector<std::shared_ptr<WatchEntry>> Watches;
    std::function<void(const std::string&)> Reporter;
};

}  // namespace quorvel
