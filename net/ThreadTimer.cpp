#include "net/ThreadTimer.h"

#include "core/Exception.h"

namespace quorvel {

TThreadTimer::TThreadTimer(IEventLoop& loop) : Loop(loop) {
    Timer = Loop.CreateTimer([this] { Tick(); });
    if (!Timer) throw Exception("No Timer");
}

TThreadTimer::~TThreadTimer() {
    FEnabled = false;
    FRunning = false;
    Timer->Stop();
}

void TThreadTimer::SetEnabled(bool Value) {
    if (Value == FEnabled) return;
    FEnabled = Value;
    UpdateTimer();
}

void TThreadTimer::SetInterval(std::uint32_t Value) {
    if (Value == FInterval) return;
    FInterval = Value;
    UpdateTimer();
}

void TThreadTimer::SetOnTimer(TNotifyEvent Value) {
    FOnTimer = std::move(Value);
    UpdateTimer();
}

void TThreadTimer::UpdateTimer() {
    Timer->Stop();
    FRunning = false;
    if (FInterval != 0 && FEnabled && FOnTimer) {
        Timer->Start(FInterval);
        FRunning = true;
    }
}

void TThreadTimer::Tick() {
    if (!FRunning || !FOnTimer) return;
    // The handler may replace OnTimer or destroy this timer; run a copy and
    // touch no member afterwards.
    IEventLoop& loop = Loop;
    TNotifyEvent handler = FOnTimer;
    loop.RunGuarded([&] { handler(*this); });
}

}  // namespace quorvel
