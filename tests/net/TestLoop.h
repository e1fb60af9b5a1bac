#pragma once

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
    // Runs the loop until Done holds, at most for Limit; whether it held.
    bool RunUntil(const std::function<bool()>& Done, std::chrono::milliseconds Limit) {
        const auto end = std::chrono::steady_clock::now() + Limit;
        for (auto now = std::chrono::steady_clock::now(); !Done(); now = std::chrono::steady_clock::now()) {
            if (now >= end) return false;
            Inner.WaitForEventsFor(std::chrono::duration_cast<std::chrono::milliseconds>(end - now));
        }
        return true;
    }

    std::unique_ptr<CommandLineLoop> Owned;
    CommandLineLoop& Inner = *Owned;
    std::vector<std::string> Reports;
    long Waits = 0;
    long Pumps = 0;
    long Notifications = 0;  // socket readiness handed to the code under test
};

// A loop whose timers only record how they are driven; the test makes the
// last timer created tick by calling Tick. Nothing waits on the clock.
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
    void ReportException(const std::exception&) override {}

    std::function<void()> Tick;
    int Starts = 0;  // countdowns started or restarted
    int Stops = 0;
    int Destroyed = 0;
    std::uint32_t LastInterval = 0;
    bool Running = false;
};

}  // namespace quorvel::test
