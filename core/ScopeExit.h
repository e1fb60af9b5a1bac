#pragma once

#include <utility>

namespace quorvel {

// Runs a step when the scope is left, normally or by an exception.
template <typename Step>
class OnScopeExit {
public:
    explicit OnScopeExit(Step step) : Run(std::move(step)) {}
    ~OnScopeExit() { Run(); }
    OnScopeExit(const OnScopeExit&) = delete;
    OnScopeExit& operator=(const OnScopeExit&) = delete;

private:
    Step Run;
};

}  // namespace quorvel
