#include "app/CheckTimer.h"

namespace quorvel {

TCheckTimer::TCheckTimer(IEventLoop& Loop, std::function<void()> OnTimer)
    : Timer(Loop.CreateTimer(std::move(OnTimer))) {}

void TCheckTimer::SetInterval(std::uint32_t IntervalMs) {
    if (IntervalMs == FInterval) return;
    FInterval = IntervalMs;
    Update();
}

void TCheckTimer::SetEnabled(bool Enabled) {
    if (Enabled == FEnabled) return;
    FEnabled = Enabled;
    Update();
}

void TCheckTimer::Update() {
    Timer->Stop();
    FRunning = FEnabled && FInterval > 0;
    if (FRunning) Timer->Start(FInterval);
}

}  // namespace quorvel
