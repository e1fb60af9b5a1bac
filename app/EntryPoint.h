#pragma once

#include <exception>
#include <utility>

#include "app/ErrorReport.h"

namespace quorvel {

// Runs a handler that the event loop called: whatever it lets escape is shown
// in the general error report, and the program goes on.
template <typename Handler>
void Guarded(Handler&& Run) {
    try {
        std::forward<Handler>(Run)();
    } catch (const std::exception& error) {
        ShowErrorReport(error.what());
    } catch (...) {
        ShowErrorReport("Unknown error");
    }
}

}  // namespace quorvel
