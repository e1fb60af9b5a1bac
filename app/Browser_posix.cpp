#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "app/Browser.h"
#include "core/Exception.h"

namespace quorvel {

namespace {

// Whether Program (a path, or a name looked up on $PATH as the shell does)
// names a file this process may run.
bool Runnable(const std::string& Program) {
    const auto executable = [](const std::string& Path) {
        struct stat status {};
        return ::stat(Path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && ::access(Path.c_str(), X_OK) == 0;
    };
    if (Program.empty()) return false;
    if (Program.find('/') != std::string::npos) return executable(Program);
    const char* path = std::getenv("PATH");
    const std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    for (std::size_t start = 0;;) {
        const std::size_t end = folders.find(':', start);
        const std::string folder = folders.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (executable((folder.empty() ? "." : folder) + "/" + Program)) return true;
        if (end == std::string::npos) return false;
        start = end + 1;
    }
}

// The program a shell command starts: its first word, without quotes.
std::string ProgramOf(const std::string& Command) {
    const std::size_t start = Command.find_first_not_of(" \t");
    if (start == std::string::npos) return {};
    const char quote = Command[start];
    if (quote == '"' || quote == '\'') {
        const std::size_t end = Command.find(quote, start + 1);
        return end == std::string::npos ? std::string() : Command.substr(start + 1, end - start - 1);
    }
    const std::size_t end = Command.find_first_of(" \t", start);
    return Command.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// The shell command that opens "$1": the first entry of $BROWSER whose
// program is there, else xdg-open when it is; nothing when neither is.
std::optional<std::string> BrowserCommand() {
    const char* browser = std::getenv("BROWSER");
    const std::string entries = browser != nullptr ? browser : "";
    for (std::size_t start = 0; start < entries.size();) {
        const std::size_t end = entries.find(':', start);
        std::string entry = entries.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? entries.size() : end + 1;
        if (!Runnable(ProgramOf(entry))) continue;
        const std::size_t mark = entry.find("%s");
        return mark == std::string::npos ? "exec " + entry + " \"$1\"" : "exec " + entry.replace(mark, 2, "\"$1\"");
    }
    if (Runnable("xdg-open")) return std::string("exec xdg-open \"$1\"");
    return std::nullopt;
}

}  // namespace

void OpenInBrowser(const std::string& Url) {
    // The address reaches the command as "$1", never as shell text. The
    // browser is started twice removed and never heard of again, so a
    // missing program is found here, before it is started.
    const std::optional<std::string> command = BrowserCommand();
    if (!command) {
        throw Exception("OAuth: no browser to open: neither $BROWSER nor xdg-open names a program found on PATH");
    }
    const char* const argv[] = {"/bin/sh", "-c", command->c_str(), "sh", Url.c_str(), nullptr};
    // Started twice removed, so that it never waits as a zombie of ours; its
    // output goes nowhere, its errors to ours.
    const pid_t child = ::fork();
    if (child < 0) throw Exception(std::string("OAuth: cannot start the browser: ") + std::strerror(errno));
    if (child == 0) {
        ::setsid();
        if (::fork() != 0) ::_exit(0);
        const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        if (null >= 0) {
            ::dup2(null, 0);
            ::dup2(null, 1);
        }
        ::execv("/bin/sh", const_cast<char* const*>(argv));
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {}
}

}  // namespace quorvel
