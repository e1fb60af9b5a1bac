#include "bench/Figures.h"

#include <sys/resource.h>

#include <algorithm>
#include <cmath>

namespace quorvel {

namespace {

double NearestRank(const std::vector<double>& Sorted, double Percent) {
    auto Rank = static_cast<std::size_t>(std::ceil(Percent / 100.0 * static_cast<double>(Sorted.size())));
    Rank = std::clamp<std::size_t>(Rank, 1, Sorted.size());
    return Sorted[Rank - 1];
}

std::chrono::nanoseconds FromTimeval(const timeval& Value) {
    return std::chrono::seconds(Value.tv_sec) + std::chrono::microseconds(Value.tv_usec);
}

}  // namespace

TimingSummary Summarise(std::vector<double> Samples) {
    TimingSummary Summary;
    if (Samples.empty()) {
        return Summary;
    }
    std::sort(Samples.begin(), Samples.end());
    Summary.Runs = Samples.size();
    Summary.Min = Samples.front();
    Summary.P10 = NearestRank(Samples, 10);
    Summary.Median = NearestRank(Samples, 50);
    Summary.P90 = NearestRank(Samples, 90);
    Summary.Max = Samples.back();
    return Summary;
}

double Milliseconds(std::chrono::nanoseconds Duration) {
    return std::chrono::duration<double, std::milli>(Duration).count();
}

std::chrono::nanoseconds ProcessCpuTime() {
    rusage Usage{};
    ::getrusage(RUSAGE_SELF, &Usage);
    return FromTimeval(Usage.ru_utime) + FromTimeval(Usage.ru_stime);
}

}  // namespace quorvel
