#include "bench/ProcessSample.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace quorvel::bench {

namespace {

long StatusField(const std::filesystem::path& File, const std::string& Name) {
    std::ifstream in(File);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(Name + ":", 0) == 0) return std::atol(line.c_str() + Name.size() + 1);
    return 0;
}

}  // namespace

Sample Measure(long long Pid) {
    Sample sample;
    const std::filesystem::path proc = "/proc/" + std::to_string(Pid);
    sample.RssKiB = StatusField(proc / "status", "VmRSS");
    sample.PssKiB = StatusField(proc / "smaps_rollup", "Pss");
    sample.PrivateDirtyKiB = StatusField(proc / "smaps_rollup", "Private_Dirty");
    std::ifstream stat(proc / "stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::atol(field.c_str());
        if (i == 15) stime = std::atol(field.c_str());
    }
    sample.CpuSeconds = static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
    for (const auto& task : std::filesystem::directory_iterator(proc / "task"))
        sample.Switches += StatusField(task.path() / "status", "voluntary_ctxt_switches");
    return sample;
}

void PrintIdleFigures(long long Pid, int IdleSeconds) {
    const Sample start = Measure(Pid);
    std::printf("    resident memory after the first check: %.1f MiB\n", static_cast<double>(start.RssKiB) / 1024);
    std::printf("    CPU used up to then (start and first check): %.3f s\n", start.CpuSeconds);
    std::fflush(stdout);
    ::sleep(static_cast<unsigned>(IdleSeconds));
    const Sample end = Measure(Pid);
    std::printf("    over %d idle seconds:\n", IdleSeconds);
    std::printf("      CPU time: %.3f s (%.4f %% of one core)\n", end.CpuSeconds - start.CpuSeconds,
                100.0 * (end.CpuSeconds - start.CpuSeconds) / IdleSeconds);
    std::printf("      wake-ups (voluntary context switches, all threads): %ld (%.2f per minute)\n",
                end.Switches - start.Switches, 60.0 * static_cast<double>(end.Switches - start.Switches) / IdleSeconds);
    std::printf("      resident memory at the end: %.1f MiB\n", static_cast<double>(end.RssKiB) / 1024);
}

int CountOf(const std::string& Text, const std::string& Word) {
    int n = 0;
    for (auto at = Text.find(Word); at != std::string::npos; at = Text.find(Word, at + 1)) ++n;
    return n;
}

}  // namespace quorvel::bench
