#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace quorvel {

// What a Windows program run under Wine left behind.
struct WineResult {
    bool Finished = false;  // false: it overran its time limit and was killed
    int ExitStatus = -1;    // its exit code when it ended by itself
    std::string Output;     // its standard output
    std::string Errors;     // its standard error
    std::chrono::nanoseconds Elapsed{0};
};

// Runs programs of the Windows build (QUORVEL_WINDOWS_BUILD, a build folder
// of scripts/build-windows.sh) under /usr/lib/wine/wine64, with that
// folder's Wine prefix (wineprefix/, as scripts/test-windows.sh uses),
// WINEDEBUG=-all, no Mono/Gecko prompts and no sound driver. Linux tests use
// it to run a Windows program against servers they started themselves.
//
// The Wine session is started once per process, before the first program
// runs, with no pipes on its standard streams (Wine's services inherit
// them); a session that scripts/test-windows.sh keeps running is used as it
// is, one started here ends a minute after its last program.
class WineRunner {
public:
    WineRunner();

    // Empty when programs can run; otherwise why not, for GTEST_SKIP.
    const std::string& SkipReason() const { return Reason; }
    // Like SkipReason, and also when Program (relative to the build folder)
    // has not been built.
    std::string SkipReason(const std::string& Program) const;

    const std::filesystem::path& BuildFolder() const { return Build; }

    // A Linux path as the Windows program sees it (through drive Z:).
    static std::string WindowsPath(const std::filesystem::path& Path);

    // Runs Program (relative to the build folder) with Arguments and the
    // environment changed by Environment; killed after Limit. Raises
    // std::runtime_error when it cannot be started at all.
    WineResult Run(const std::string& Program, const std::vector<std::string>& Arguments,
                   const std::map<std::string, std::string>& Environment, std::chrono::milliseconds Limit) const;

    // The variables every Wine program of the build runs with: the prefix,
    // no trace, no Mono/Gecko prompts, no sound driver.
    std::map<std::string, std::string> WineEnvironment() const;

private:
    void StartSession() const;

    std::filesystem::path Build;
    std::string Reason;
};

}  // namespace quorvel
