#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace quorvel {

// Order statistics of a series of timings, in milliseconds.
struct TimingSummary {
    std::size_t Runs = 0;
    double Min = 0;
    double P10 = 0;
    double Median = 0;
    double P90 = 0;
    double Max = 0;
};

// Nearest-rank percentiles of Samples; all zero when there are none.
TimingSummary Summarise(std::vector<double> Samples);

double Milliseconds(std::chrono::nanoseconds Duration);

// User plus system CPU time this process has used so far.
std::chrono::nanoseconds ProcessCpuTime();

}  // namespace quorvel
