#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace quorvel {

// What a finished child process left behind.
struct ChildResult {
    bool Finished = false;                // false: it overran its time limit and was killed
    int ExitStatus = -1;                  // exit code when it exited normally, else -1
    std::string Output;                   // everything it wrote to stdout
    std::chrono::nanoseconds Elapsed{0};  // from fork to its end
};

// Runs Program (an absolute path; no shell) with Arguments, the calling
// process's environment changed by Environment (a value replaces or adds the
// variable), stdin from /dev/null, stdout captured, stderr passed through.
// A child still running after Limit is killed with SIGKILL, together with
// the processes it started (it runs in a process group of its own).
ChildResult RunChild(const std::string& Program, const std::vector<std::string>& Arguments,
                     const std::map<std::string, std::string>& Environment, std::chrono::milliseconds Limit);

}  // namespace quorvel
