#pragma once

#include <exception>
#include <functional>
#include <string>
#include <utility>

namespace quorvel {

// Who is told of a failure that reached an entry point: the program's general
// error report, or whatever a test puts in its place.
using TErrorReport = std::function<void(const std::string& Message)>;

// Tells Report of the exception being handled: its message, or "Unknown
// error" for one that is not a std::exception. A report that fails itself is
// dropped.
void ReportCaughtException(const TErrorReport& Report) noexcept;

// Runs a handler that an event loop, a window procedure or a dialog called:
// whatever it lets escape, of any type, goes to Report and no further, and the
// program goes on. Every entry point from a loop runs through here.
template <typename Handler>
void Guarded(const TErrorReport& Report, Handler&& Run) noexcept {
    try {
        std::forward<Handler>(Run)();
    } catch (...) {
        ReportCaughtException(Report);
    }
}

}  // namespace quorvel
