#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "net/CommandLineLoop.h"

namespace quorvel {

// The event loop on window messages: a hidden message-only window gets the
// timers (SetTimer, WM_TIMER) and the sockets' notifications
// (WSAAsyncSelect). WaitForEvents sleeps in MsgWaitForMultipleObjectsEx until
// a message arrives; PumpOnce dispatches what is queued, for every window of
// the thread, as the program's message pump does.
//
// Socket readiness comes as Winsock announces it: FD_READ, FD_ACCEPT and
// FD_CLOSE make a socket readable, FD_WRITE and FD_CONNECT writable, and
// the error the notification carries comes with it. Winsock announces a
// state once and again after the call that re-enables it (recv after
// FD_READ, a send that would block before FD_WRITE); what it announces
// while the handler is not interested is kept and announced when
// SetInterest asks for it (a close for as long as the socket lives).
class TWinEventLoop final : public ICommandLineLoop {
public:
    // Errors that reach ReportError are passed to Reporter (default: the
    // standard error). Raises quorvel::Exception when the window cannot be made.
    explicit TWinEventLoop(std::function<void(const std::string&)> Reporter = {});
    ~TWinEventLoop() override;
    TWinEventLoop(const TWinEventLoop&) = delete;
    TWinEventLoop& operator=(const TWinEventLoop&) = delete;

    void PumpOnce() override;
    void WaitForEvents() override;
    void WaitForEventsFor(std::chrono::milliseconds Limit) override;
    std::unique_ptr<IEventTimer> CreateTimer(std::function<void()> OnTick) override;
    // Fd is a SOCKET; Winsock's handles fit an int.
    std::unique_ptr<ISocketWatch> WatchSocket(int Fd, std::function<void(TSocketReadiness)> OnReady) override;
    void ReportError(const std::string& Message) override;

    // For the window procedure: handles one message to the hidden window.
    void HandleMessage(unsigned Message, std::uintptr_t WParam, std::intptr_t LParam);

    struct TimerEntry;
    struct WatchEntry;

private:
    void OnTimer(std::uintptr_t Id);
    void OnSocket(std::uintptr_t Socket, std::intptr_t Event);
    bool AnyInterest() const;
    // Asks every socket of interest for its state and queues what holds as
    // a notification; true when something was queued.
    bool ProbeSockets();

public:
    void* Window() const { return FWindow; }

private:
    void* FWindow = nullptr;
    std::uintptr_t FNextTimerId = 1;
    std::map<std::uintptr_t, std::shared_ptr<TimerEntry>> FTimers;
    std::map<std::uintptr_t, std::shared_ptr<WatchEntry>> FWatches;
    std::function<void(const std::string&)> FReporter;
};

}  // namespace quorvel
