#include "net/PollEventLoop.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <iostream>

namespace quorvel {

struct TPollEventLoop::TimerEntry {
    std::function<void()> OnTick;
    bool Running = false;
    std::chrono::milliseconds Interval{0};
    Clock::time_point Due;
};

struct TPollEventLoop::WatchEntry {
    int Fd = -1;
    bool Read = false;
    bool Write = false;
    std::function<void(TSocketReadiness)> OnReady;
};

namespace {

template <typename Entry>
void Forget(std::vector<std::shared_ptr<Entry>>& list, const std::shared_ptr<Entry>& entry) {
    list.erase(std::remove(list.begin(), list.end(), entry), list.end());
}

class PollTimer final : public IEventTimer {
public:
    PollTimer(std::vector<std::shared_ptr<TPollEventLoop::TimerEntry>>& list,
              std::shared_ptr<TPollEventLoop::TimerEntry> entry)
        : List(list), Entry(std::move(entry)) {}
    ~PollTimer() override {
        Entry->Running = false;
        Entry->OnTick = nullptr;
        Forget(List, Entry);
    }
    void Start(std::uint32_t IntervalMs) override {
        Entry->Interval = std::chrono::milliseconds(std::max<std::uint32_t>(IntervalMs, 1));
        Entry->Due = std::chrono::steady_clock::now() + Entry->Interval;
        Entry->Running = true;
    }
    void Stop() override { Entry->Running = false; }

private:
    std::vector<std::shared_ptr<TPollEventLoop::TimerEntry>>& List;
    std::shared_ptr<TPollEventLoop::TimerEntry> Entry;
};

class PollWatch final : public ISocketWatch {
public:
    PollWatch(std::vector<std::shared_ptr<TPollEventLoop::WatchEntry>>& list,
              std::shared_ptr<TPollEventLoop::WatchEntry> entry)
        : List(list), Entry(std::move(entry)) {}
    ~PollWatch() override {
        Entry->Read = Entry->Write = false;
        Entry->OnReady = nullptr;
        Forget(List, Entry);
    }
    void SetInterest(bool Read, bool Write) override {
        Entry->Read = Read;
        Entry->Write = Write;
    }

private:
    std::vector<std::shared_ptr<TPollEventLoop::WatchEntry>>& List;
    std::shared_ptr<TPollEventLoop::WatchEntry> Entry;
};

}  // namespace

TPollEventLoop::TPollEventLoop(std::function<void(const std::string&)> reporter) : Reporter(std::move(reporter)) {}

TPollEventLoop::~TPollEventLoop() = default;

std::unique_ptr<IEventTimer> TPollEventLoop::CreateTimer(std::function<void()> OnTick) {
    auto entry = std::make_shared<TimerEntry>();
    entry->OnTick = std::move(OnTick);
    Timers.push_back(entry);
    return std::make_unique<PollTimer>(Timers, entry);
}

std::unique_ptr<ISocketWatch> TPollEventLoop::WatchSocket(int Fd, std::function<void(TSocketReadiness)> OnReady) {
    auto entry = std::make_shared<WatchEntry>();
    entry->Fd = Fd;
    entry->OnReady = std::move(OnReady);
    Watches.push_back(entry);
    return std::make_unique<PollWatch>(Watches, entry);
}

void TPollEventLoop::ReportError(const std::string& Message) {
    if (Reporter) {
        Reporter(Message);
    } else {
        std::cerr << Message << '\n';
    }
}

int TPollEventLoop::MillisecondsToNextTimer() const {
    const auto now = Clock::now();
    long long best = -1;
    for (const auto& timer : Timers) {
        if (!timer->Running) continue;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(timer->Due - now).count();
        const long long wait = std::max<long long>(left, 0);
        if (best < 0 || wait < best) best = wait;
    }
    return best < 0 ? -1 : static_cast<int>(std::min<long long>(best, INT_MAX));
}

void TPollEventLoop::PumpOnce() {
    Run(0);
}

void TPollEventLoop::WaitForEvents() {
    Run(-1);
}

void TPollEventLoop::WaitForEventsFor(std::chrono::milliseconds Limit) {
    Run(static_cast<int>(std::clamp<long long>(Limit.count(), 0, INT_MAX)));
}

void TPollEventLoop::Run(int PollTimeoutMs) {
    // Snapshot what is watched; a handler may add or remove watches and timers.
    std::vector<std::shared_ptr<WatchEntry>> watched;
    std::vector<pollfd> fds;
    for (const auto& watch : Watches) {
        if (!watch->Read && !watch->Write) continue;
        short events = 0;
        if (watch->Read) events |= POLLIN;
        if (watch->Write) events |= POLLOUT;
        watched.push_back(watch);
        fds.push_back(pollfd{watch->Fd, events, 0});
    }

    int timeout = PollTimeoutMs;
    const int toTimer = MillisecondsToNextTimer();
    if (toTimer >= 0 && (timeout < 0 || toTimer < timeout)) timeout = toTimer;
    if (fds.empty() && timeout < 0) return;  // nothing could ever wake us

    int ready = ::poll(fds.data(), fds.size(), timeout);
    if (ready < 0 && errno != EINTR) ready = 0;

    for (std::size_t i = 0; ready > 0 && i < fds.size(); ++i) {
        const auto& watch = watched[i];
        if (fds[i].revents == 0 || !watch->OnReady) continue;
        TSocketReadiness readiness;
        const bool failed = (fds[i].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
        readiness.Readable = watch->Read && ((fds[i].revents & POLLIN) != 0 || failed);
        readiness.Writable = watch->Write && ((fds[i].revents & POLLOUT) != 0 || failed);
        if (!readiness.Readable && !readiness.Writable) continue;
        auto handler = watch->OnReady;  // survives the watch being destroyed inside
        RunGuarded([&] { handler(readiness); });
    }

    const auto now = Clock::now();
    const auto timers = Timers;
    for (const auto& timer : timers) {
        if (!timer->Running || timer->Due > now || !timer->OnTick) continue;
        timer->Due = now + timer->Interval;
        auto handler = timer->OnTick;
        RunGuarded(handler);
    }
}

std::unique_ptr<ICommandLineLoop> MakeCommandLineLoop(std::function<void(const std::string&)> Reporter) {
    return std::make_unique<TPollEventLoop>(std::move(Reporter));
}

}  // namespace quorvel
