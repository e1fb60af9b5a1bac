#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "core/ConnectionSecurity.h"

namespace quorvel {

// What one check cost while it waited on a server that never answers.
struct SilentWaitFigures {
    std::chrono::nanoseconds Wall{0};
    std::chrono::nanoseconds Cpu{0};  // user + system of this process
    std::string Outcome;              // how the check ended
};

// Listens on 127.0.0.1 without ever answering (the kernel completes the
// connection, nobody reads or writes), and runs one check against it with a
// TPop3Client on a TPollEventLoop and the given time-out, which ends it.
// With Security other than None the wait is the TLS handshake's.
SilentWaitFigures MeasureSilentServerWait(std::int32_t TimeOutMs,
                                          TConnectionSecurity Security = TConnectionSecurity::None);

}  // namespace quorvel
