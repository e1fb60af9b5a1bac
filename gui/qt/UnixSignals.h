#pragma once

#include <functional>

namespace quorvel {

// Turns SIGTERM and SIGINT into a call of OnSignal from the event loop, so the
// program ends the same clean way as through its exit command.
class UnixSignals {
public:
    explicit UnixSignals(std::function<void()> OnSignal);
    ~UnixSignals();
    UnixSignals(const UnixSignals&) = delete;
    UnixSignals& operator=(const UnixSignals&) = delete;

private:
    struct Private;
    Private* D;
};

}  // namespace quorvel
