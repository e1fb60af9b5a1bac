// quorvel-bench: figures for how the POP3 check behaves, printed for a
// reader. Nothing here passes or fails on timing; the exit status is 1 only
// when a measurement could not be made at all.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "bench/CheckTiming.h"
#include "bench/Figures.h"
#include "bench/SettingsTiming.h"
#include "bench/SilentServerWait.h"
#include "tests/pop3server/DovecotServer.h"

namespace {

using quorvel::Milliseconds;
using Clock = std::chrono::steady_clock;

constexpr std::int32_t SilentWaitMs = 10000;
constexpr std::int32_t CheckTimeOutMs = 10000;
constexpr int DefaultRuns = 50;
constexpr int MessagesInMailbox = 5;
// The whole check-time section stops taking new runs after this long.
constexpr std::chrono::seconds CheckSectionLimit{150};

void PrintSilentWait() {
    std::printf("(a) One check waiting on a server that accepts and never answers\n");
    std::printf("    time-out %d ms, TPop3Client on TPollEventLoop\n", SilentWaitMs);
    const auto Figures = quorvel::MeasureSilentServerWait(SilentWaitMs);
    const double WallMs = Milliseconds(Figures.Wall);
    const double CpuMs = Milliseconds(Figures.Cpu);
    std::printf("    ended with:        %s\n", Figures.Outcome.c_str());
    std::printf("    wall time:         %.1f ms\n", WallMs);
    std::printf("    CPU (user+sys):    %.2f ms\n", CpuMs);
    std::printf("    CPU of one core:   %.3f %%   (goal: under 1 %%)\n\n", WallMs > 0 ? 100.0 * CpuMs / WallMs : 0.0);
}

void PrintRow(const char* Name, const quorvel::TimingSummary& S, int Failures) {
    std::printf("    %-28s %5zu %8.2f %8.2f %8.2f %8.2f %8.2f %8d\n", Name, S.Runs, S.Min, S.P10, S.Median, S.P90,
                S.Max, Failures);
}

void PrintSettingsTimes() {
    std::printf("(c) Loading and saving a settings file with many values in one key\n");
    std::printf("    %10s %10s %10s %10s\n", "values", "KB", "load ms", "save ms");
    for (std::size_t values : {10000u, 40000u, 160000u}) {
        const auto figures = quorvel::MeasureManyValues(values);
        std::printf("    %10zu %10.0f %10.1f %10.1f\n", values, static_cast<double>(figures.FileBytes) / 1024.0,
                    Milliseconds(figures.Load), Milliseconds(figures.Save));
    }
    std::printf("\n");
}

int PrintCheckTimes(int Runs) {
    std::printf("(b) Wall time of one account check against Dovecot on 127.0.0.1 (%d messages)\n", MessagesInMailbox);
    quorvel::DovecotServer Server({{"bench", "bench-pass", MessagesInMailbox}});
    const auto Figures = quorvel::MeasureCheckTimes(Server, "bench", "bench-pass", Runs, CheckTimeOutMs,
                                                    Clock::now() + CheckSectionLimit);
    std::printf("    %-28s %5s %8s %8s %8s %8s %8s %8s\n", "ms per check", "runs", "min", "p10", "median", "p90", "max",
                "failed");
    PrintRow("quorvel (Connect+Disconnect)", quorvel::Summarise(Figures.ClientMs), Figures.ClientFailures);
    if (Figures.CurlPath.empty()) {
        std::printf("    curl: not found, no comparison\n");
    } else {
        PrintRow("curl -X STAT -I", quorvel::Summarise(Figures.CurlMs), Figures.CurlFailures);
    }
    if (!Figures.FirstClientFailure.empty()) {
        std::printf("    first quorvel failure: %s\n", Figures.FirstClientFailure.c_str());
    }
    if (!Figures.FirstCurlFailure.empty()) {
        std::printf("    first curl failure: %s\n", Figures.FirstCurlFailure.c_str());
    }
    if (Figures.StoppedByDeadline) {
        std::printf("    (stopped early: the section's %lld s limit was reached)\n",
                    static_cast<long long>(CheckSectionLimit.count()));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int Runs = DefaultRuns;
    if (argc > 2 || (argc == 2 && (Runs = std::atoi(argv[1])) <= 0)) {
        std::fprintf(stderr, "Usage: quorvel-bench [runs]   (runs of each check kind, default %d)\n", DefaultRuns);
        return 2;
    }
    try {
        PrintSettingsTimes();
        PrintSilentWait();
        return PrintCheckTimes(Runs);
    } catch (const std::exception& Error) {
        std::fprintf(stderr, "quorvel-bench: %s\n", Error.what());
        return 1;
    }
}
