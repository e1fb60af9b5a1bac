#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/CommandLineLoop.h"

namespace quorvel::test {

// The command-line loop of the platform, counting how often the code under test waits or pumps and
// keeping what reached the general error report.
class CountingLoop final : public EventLoop {
public:
    CountingLoop() : Owned(MakeCommandLineLoop([this](const std::string& text) { Reports.push_back(text); })) {}

    void PumpOnce() override {
        ++Pumps;
        Inner.PumpOnce();
    }
    void WaitForEvents() override {
        ++Waits;
        Inner.WaitForEvents();
    }
    std::unique_ptr<EventTimer> CreateTimer(std::function<void()> OnTick) override {
        return Inner.CreateTimer(std::move(OnTick));
    }
    std::unique_ptr<SocketWatch> WatchSocket(int Fd, std::function<void(SocketReadiness)> OnReady) override {
        return Inner.WatchSocket(Fd, [this, handler = std::move(OnReady)](SocketReadiness readiness) {
            ++Notifications;
            handler(readiness);
        });
    }
    void ReportException(const std::exception& Error) override { Inner.ReportException(Error); }

    // Runs the loop for about Duration.
    void RunFor(std::chrono::milliseconds Duration) {
        const auto end = std::chrono::steady_clock::now() + Duration;
        for (auto now = std::chrono::steady_clock::now(); now < end; now = std::chrono::steady_clock::now()) {
            Inner.WaitForEventsFor(std::chrono::duration_cast<std::chrono::milliseconds>(end - now));
        }
    }

    // Runs the loop until Done holds, for at most Limit; whether it holds.
    bool RunUntil(const std::function<bool()>& Done, std::chrono::milliseconds Limit = std::chrono::seconds(3)) {
        const auto end = std::chrono::steady_clock::now() + Limit;
        for (auto now = std::chrono::steady_clock::now(); !Done() && now < end;
             now = std::chrono::steady_clock::now()) {
            Inner.WaitForEventsFor(std::min(std::chrono::duration_cast<std::chrono::milliseconds>(end - now),
                                            std::chrono::milliseconds(20)));
        }
        return Done();
    }

    std::unique_ptr<CommandLineLoop> Owned;
    CommandLineLoop& Inner = *Owned;
    std::vector<std::string> Reports;
    long Waits = 0;
    long Pumps = 0;
    long Notifications = 0;  // socket readiness handed to the code under test
};

}  // namespace quorvel::test
