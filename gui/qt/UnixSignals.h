#pragma once

#include <functional>

namespace quorvel {

// Turns SIGTERM and SIGINT into a call of OnSignal from the event loop, so the
// program ends the same clean way as through its exit command.
class TUnixSignals {
public:
    explicit TUnixSignals(std::function<void()> OnSignal);
    ~TUnixSignals();
    TUnixSignals(const TUnixSignals&) = delete;
    TUnixSignals& operator=(const TUnixSignals&) = delete;

private:
    struct Private;
    Private* D;
};

}  // namespace quorvel
