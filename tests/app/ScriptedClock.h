#pragma once

#include <cstdint>
#include <deque>

#include "app/TickClock.h"

namespace quorvel::test {

// Gives the readings it is told, then keeps giving the last one (0 before
// any): a check takes exactly the time the test says, however busy the
// machine is.
class ScriptedClock final : public ITickClock {
public:
    std::deque<std::uint32_t> Ticks;
    std::uint32_t Last = 0;
    std::uint32_t GetTickCount() override {
        if (!Ticks.empty()) {
            Last = Ticks.front();
            Ticks.pop_front();
        }
        return Last;
    }
};

}  // namespace quorvel::test
