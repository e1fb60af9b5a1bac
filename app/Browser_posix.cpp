#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "app/Browser.h"
#include "core/Exception.h"

namespace quorvel {

void OpenInBrowser(const std::string& Url) {
    // The address reaches the command as "$1", never as shell text.
    std::string command = "exec xdg-open \"$1\"";
    const char* browser = std::getenv("BROWSER");
    if (browser != nullptr && *browser != '\0') {
        std::string first(browser);
        first = first.substr(0, first.find(':'));
        const std::size_t mark = first.find("%s");
        command = mark == std::string::npos ? "exec " + first + " \"$1\"" : "exec " + first.replace(mark, 2, "\"$1\"");
    }
    const char* const argv[] = {"/bin/sh", "-c", command.c_str(), "sh", Url.c_str(), nullptr};
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
