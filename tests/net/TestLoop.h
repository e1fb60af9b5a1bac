#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/CommandLineLoop.h"

namespace quorvel::test {

// A timer the code under test made: the interval it was last started with, whether it
// runs, and how often it was started.
struct TimerState {
    std::uint32_t IntervalMs = 0;
    bool Running = false;
    int Starts = 0;
    std::function<void()> OnTick;
};

class RecordedTimer final : public IEventTimer {
public:
    RecordedTimer(std::unique_ptr<IEventTimer> Timer, std::shared_ptr<TimerState> Shown)
        : Inner(std::move(Timer)), State(std::move(Shown)) {}
    ~RecordedTimer() override { State->Running = false; }
    void Start(std::uint32_t IntervalMs) override {
        Inner->Start(IntervalMs);
        State->IntervalMs = IntervalMs;
        State->Running = true;
        ++State->Starts;
    }
    void Stop() override {
        Inner->Stop();
        State->Running = false;
    }

private:
    std::unique_ptr<IEventTimer> Inner;
    std::shared_ptr<TimerState> State;
};

// The command-line loop of the platform, counting how often the code under test waits or pumps and
// keeping what reached the general error report.
class CountingLoop final : public IEventLoop {
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
    std::unique_ptr<IEventTimer> CreateTimer(std::function<void()> OnTick) override {
        auto state = std::make_shared<TimerState>();
        state->OnTick = OnTick;
        Timers.push_back(state);
        return std::make_unique<RecordedTimer>(Inner.CreateTimer(std::move(OnTick)), state);
    }
    std::unique_ptr<ISocketWatch> WatchSocket(int Fd, std::function<void(TSocketReadiness)> OnReady) override {
        return Inner.WatchSocket(Fd, [this, handler = std::move(OnReady)](TSocketReadiness readiness) {
            ++Notifications;
            handler(readiness);
        });
    }
    void ReportError(const std::string& Message) override { Inner.ReportError(Message); }

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

    // Runs the tick of a running timer of IntervalMs as if its time had come; false when none runs.
    bool Fire(std::uint32_t IntervalMs) {
        for (const auto& timer : Timers) {
            if (!timer->Running || timer->IntervalMs != IntervalMs) continue;
            auto tick = timer->OnTick;
            tick();
            return true;
        }
        return false;
    }
    // How often timers were started, last with IntervalMs.
    int Starts(std::uint32_t IntervalMs) const {
        int starts = 0;
        for (const auto& timer : Timers) starts += timer->IntervalMs == IntervalMs ? timer->Starts : 0;
        return starts;
    }

    std::vector<std::shared_ptr<TimerState>> Timers;
    std::unique_ptr<ICommandLineLoop> Owned;
    ICommandLineLoop& Inner = *Owned;
    std::vector<std::string> Reports;
    long Waits = 0;
    long Pumps = 0;
    long Notifications = 0;  // socket readiness handed to the code under test
};

// A loop whose timers only record how they are driven; the test makes the
// last timer created tick by calling Tick. Nothing waits on the clock.
struct RecordingLoop final : IEventLoop {
    struct Timer final : IEventTimer {
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
    std::unique_ptr<IEventTimer> CreateTimer(std::function<void()> OnTick) override {
        Tick = std::move(OnTick);
        return std::make_unique<Timer>(*this);
    }
    std::unique_ptr<ISocketWatch> WatchSocket(int, std::function<void(TSocketReadiness)>) override { return nullptr; }
    void ReportError(const std::string&) override {}

    std::function<void()> Tick;
    int Starts = 0;  // countdowns started or restarted
    int Stops = 0;
    int Destroyed = 0;
    std::uint32_t LastInterval = 0;
    bool Running = false;
};

}  // namespace quorvel::test
