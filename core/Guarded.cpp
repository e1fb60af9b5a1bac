#include "core/Guarded.h"

namespace quorvel {

void ReportCaughtException(const TErrorReport& Report) noexcept {
    try {
        std::string message;
        try {
            throw;
        } catch (const std::exception& error) {
            message = error.what();
        } catch (...) {
            message = "Unknown error";
        }
        if (Report) Report(message);
    } catch (...) {
        // A report that fails has nobody left to tell.
    }
}

}  // namespace quorvel
