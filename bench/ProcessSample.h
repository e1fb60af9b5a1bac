#pragma once

#include <string>

namespace quorvel::bench {

// What a running process has cost so far, read from /proc.
struct Sample {
    long RssKiB = 0;
    long PssKiB = 0;           // resident, shared pages divided among their users
    long PrivateDirtyKiB = 0;  // resident pages only this process has written
    double CpuSeconds = 0;
    long Switches = 0;  // voluntary context switches of all threads: each is a wake-up
};

Sample Measure(long long Pid);

// Prints the process's memory and processor time so far, sleeps IdleSeconds,
// then prints what the idle time cost: processor time, wake-ups, memory.
void PrintIdleFigures(long long Pid, int IdleSeconds);

// How often Word occurs in Text.
int CountOf(const std::string& Text, const std::string& Word);

}  // namespace quorvel::bench
