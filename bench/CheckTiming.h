#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvel {

class DovecotServer;

// Wall times of single account checks against one mailbox, in milliseconds:
// this program's check (a fresh TPop3Client: Connect, then Disconnect) and,
// for comparison, curl's STAT on the same mailbox, run in turn.
struct CheckTimingFigures {
    std::vector<double> ClientMs;
    std::vector<double> CurlMs;
    int ClientFailures = 0;
    int CurlFailures = 0;
    std::string FirstClientFailure;
    std::string FirstCurlFailure;
    std::string CurlPath;  // empty when curl was not found
    bool StoppedByDeadline = false;
};

// Runs up to Runs checks of each kind (after a few unmeasured warm-up runs),
// each bounded by TimeOutMs, and stops early at Deadline.
CheckTimingFigures MeasureCheckTimes(const DovecotServer& Server, const std::string& UserID,
                                     const std::string& Password, int Runs, std::int32_t TimeOutMs,
                                     std::chrono::steady_clock::time_point Deadline);

}  // namespace quorvel
