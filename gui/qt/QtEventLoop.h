#pragma once

#include <functional>
#include <memory>
#include <string>

#include "net/EventLoop.h"

namespace quorvel {

// The event loop of the tray program: Qt's own. Waits in the network code
// handle window-system events, timers and socket readiness like the main loop.
class TQtEventLoop final : public IEventLoop {
public:
    // Reporter shows a message in the program's general error report.
    explicit TQtEventLoop(std::function<void(const std::string&)> Reporter);

    void PumpOnce() override;
    void WaitForEvents() override;
    std::unique_ptr<IEventTimer> CreateTimer(std::function<void()> OnTick) override;
    std::unique_ptr<ISocketWatch> WatchSocket(int Fd, std::function<void(TSocketReadiness)> OnReady) override;
    void ReportError(const std::string& Message) override;

private:
    std::function<void(const std::string&)> Reporter;
};

}  // namespace quorvel
