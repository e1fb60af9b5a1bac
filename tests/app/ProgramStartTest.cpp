// Starts the real tray program (offscreen, in a private runtime and config
// folder) to see the one-copy rule and a clean end on SIGTERM.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class Program {
public:
    Program(const fs::path& runtime, const fs::path& config) {
        Pid = ::fork();
        if (Pid == 0) {
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
            ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execl(QUORVEL_BINARY, QUORVEL_BINARY, static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~Program() {
        if (Pid > 0 && !Status) {
            ::kill(Pid, SIGKILL);
            ::waitpid(Pid, nullptr, 0);
        }
    }
    // The exit status once the program has ended within Limit.
    std::optional<int> WaitExit(std::chrono::milliseconds Limit) {
        const auto end = std::chrono::steady_clock::now() + Limit;
        while (!Status) {
            int status = 0;
            if (::waitpid(Pid, &status, WNOHANG) == Pid) {
                Status = status;
                break;
            }
            if (std::chrono::steady_clock::now() > end) return std::nullopt;
            std::this_thread::sleep_for(10ms);
        }
        return Status;
    }
    void Signal(int number) { ::kill(Pid, number); }
    pid_t Pid = -1;
    std::optional<int> Status;
};

// True once some process holds the guard on Lock (our own try fails).
bool GuardHeld(const fs::path& lock) {
    const int fd = ::open(lock.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return held;
}

bool WaitGuardHeld(const fs::path& lock, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!GuardHeld(lock)) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

}  // namespace

TEST(ProgramStart, OneCopyPerUserAndNoStaleGuardAfterAKill) {
    TTempFolder runtime, config;
    const auto lock = runtime.Path() / "Quorvel.lock";

    Program first(runtime.Path(), config.Path());
    ASSERT_TRUE(WaitGuardHeld(lock, 20s)) << "the first copy never took the guard";

    Program second(runtime.Path(), config.Path());
    const auto secondExit = second.WaitExit(10s);
    ASSERT_TRUE(secondExit.has_value()) << "the second copy did not end by itself";
    EXPECT_TRUE(WIFEXITED(*secondExit));
    EXPECT_EQ(WEXITSTATUS(*secondExit), 0);
    EXPECT_FALSE(first.WaitExit(0ms).has_value()) << "the first copy was disturbed";

    first.Signal(SIGKILL);
    ASSERT_TRUE(first.WaitExit(10s).has_value());

    Program third(runtime.Path(), config.Path());
    ASSERT_TRUE(WaitGuardHeld(lock, 20s)) << "a new copy could not start after the first was killed";
    EXPECT_FALSE(third.WaitExit(300ms).has_value());

    // Starting only reads the settings: no file is created.
    EXPECT_FALSE(fs::exists(config.Path() / "Quorvel" / "registry.reg"));

    third.Signal(SIGTERM);
    const auto thirdExit = third.WaitExit(10s);
    ASSERT_TRUE(thirdExit.has_value()) << "SIGTERM did not end the program";
    EXPECT_TRUE(WIFEXITED(*thirdExit));
    EXPECT_EQ(WEXITSTATUS(*thirdExit), 0);
    EXPECT_FALSE(GuardHeld(lock));
}
