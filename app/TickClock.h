#pragma once

#include <chrono>
#include <cstdint>

namespace quorvel {

// Milliseconds since some fixed moment, 32 bits and wrapping; only the
// difference of two readings (modulo 2^32) means anything.
class ITickClock {
public:
    virtual ~ITickClock() = default;
    virtual std::uint32_t GetTickCount() = 0;
};

// The tick of a monotonic clock: never jumps with the wall clock.
class TMonotonicTickClock final : public ITickClock {
public:
    std::uint32_t GetTickCount() override {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    }
};

}  // namespace quorvel
