#include "tests/wine/WineRunner.h"

#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <stdexcept>

#include "core/ScopeExit.h"
#include "tests/pop3server/ChildProcess.h"
#include "tests/support/TempFolder.h"

namespace quorvel {

namespace {

const char* const Wine = "/usr/lib/wine/wine64";
const char* const WineServer = "/usr/lib/wine/wineserver64";
const char* const Shell = "/bin/sh";

// The persistent session started here ends this long after its last program.
const char* const SessionLinger = "-p60";

// Runs a Wine tool with all its standard streams on /dev/null.
ChildResult RunQuietly(const std::vector<std::string>& Command, const std::map<std::string, std::string>& Environment,
                       std::chrono::milliseconds Limit) {
    std::vector<std::string> arguments{"-c", "exec \"$@\" </dev/null >/dev/null 2>&1", "sh"};
    arguments.insert(arguments.end(), Command.begin(), Command.end());
    return RunChild(Shell, arguments, Environment, Limit);
}

}  // namespace

WineRunner::WineRunner() {
    const char* build = std::getenv("QUORVEL_WINDOWS_BUILD");
    if (build == nullptr || build[0] == 0) {
        Reason = "QUORVEL_WINDOWS_BUILD is not set (the Windows build folder; scripts/test-windows.sh sets it)";
        return;
    }
    Build = std::filesystem::absolute(build);
    if (!std::filesystem::is_directory(Build)) {
        Reason = "QUORVEL_WINDOWS_BUILD " + Build.string() + " is not a folder";
    } else if (::access(Wine, X_OK) != 0 || ::access(WineServer, X_OK) != 0) {
        Reason = std::string("Wine is not installed (") + Wine + ")";
    }
}

std::string WineRunner::SkipReason(const std::string& Program) const {
    if (!Reason.empty()) return Reason;
    if (!std::filesystem::is_regular_file(Build / Program)) return (Build / Program).string() + " has not been built";
    return {};
}

std::string WineRunner::WindowsPath(const std::filesystem::path& Path) {
    std::string text = "Z:" + std::filesystem::absolute(Path).string();
    for (char& c : text) {
        if (c == '/') c = '\\';
    }
    return text;
}

std::map<std::string, std::string> WineRunner::WineEnvironment() const {
    return {{"WINEPREFIX", (Build / "wineprefix").string()},
            {"WINEDEBUG", "-all"},
            {"WINEDLLOVERRIDES", "mscoree,mshtml=;winealsa.drv=d"},
            {"WINEARCH", "win64"}};
}

void WineRunner::StartSession() const {
    const auto environment = WineEnvironment();
    if (!std::filesystem::exists(Build / "wineprefix" / "system.reg")) {
        RunQuietly({Wine, "wineboot", "-i"}, environment, std::chrono::minutes(4));
        RunQuietly({WineServer, "-w"}, environment, std::chrono::minutes(1));
    }
    // 2: a server already runs for the prefix, with its services.
    const ChildResult server = RunQuietly({WineServer, SessionLinger}, environment, std::chrono::seconds(10));
    if (server.ExitStatus == 0) RunQuietly({Wine, "wineboot", "-u"}, environment, std::chrono::minutes(4));
}

WineResult WineRunner::Run(const std::string& Program, const std::vector<std::string>& Arguments,
                           const std::map<std::string, std::string>& Environment,
                           std::chrono::milliseconds Limit) const {
    if (!Reason.empty()) throw std::runtime_error(Reason);
    static std::once_flag started;
    std::call_once(started, [this] { StartSession(); });

    std::string errors = "/tmp/quorvel-wine-stderr-XXXXXX";
    const int errorsFd = ::mkstemp(errors.data());
    if (errorsFd < 0) throw std::runtime_error("cannot create a file for the program's standard error");
    ::close(errorsFd);
    OnScopeExit removeErrors([&] { ::unlink(errors.c_str()); });

    auto environment = WineEnvironment();
    for (const auto& [name, value] : Environment) environment[name] = value;
    std::vector<std::string> arguments{
        "-c", "errors=$1; shift; exec \"$@\" 2>\"$errors\"", "sh", errors, Wine, (Build / Program).string()};
    arguments.insert(arguments.end(), Arguments.begin(), Arguments.end());
    const ChildResult child = RunChild(Shell, arguments, environment, Limit);

    WineResult result;
    result.Finished = child.Finished;
    result.ExitStatus = child.ExitStatus;
    result.Output = child.Output;
    result.Errors = ReadText(errors);
    result.Elapsed = child.Elapsed;
    return result;
}

}  // namespace quorvel
