#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "app/InstanceGuard.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using quorvel::TInstanceGuard;

namespace {}  // namespace

TEST(TInstanceGuard, SecondHolderIsRefusedUntilTheFirstEnds) {
    TTempFolder dir;
    const auto lock = dir.Path() / "Quorvel.lock";
    {
        TInstanceGuard first(lock);
        ASSERT_TRUE(first.Held());
        TInstanceGuard second(lock);
        EXPECT_FALSE(second.Held());
        EXPECT_FALSE(second.Failed());
    }
    TInstanceGuard again(lock);
    EXPECT_TRUE(again.Held());
    struct stat info {};
    ASSERT_EQ(::stat(lock.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(TInstanceGuard, KilledHolderLeavesNoStaleGuard) {
    TTempFolder dir;
    const auto lock = dir.Path() / "Quorvel.lock";
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TInstanceGuard held(lock);
        const char byte = held.Held() ? 1 : 0;
        [[maybe_unused]] auto w = ::write(ready[1], &byte, 1);
        ::pause();
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 1);
    {
        TInstanceGuard whileRunning(lock);
        EXPECT_FALSE(whileRunning.Held());
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    TInstanceGuard afterKill(lock);
    EXPECT_TRUE(afterKill.Held());
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST(TInstanceGuard, RefusesALockFileThatIsASymlink) {
    TTempFolder dir;
    const auto target = dir.Path() / "elsewhere";
    const auto lock = dir.Path() / "Quorvel.lock";
    fs::create_symlink(target, lock);
    TInstanceGuard guard(lock);
    EXPECT_FALSE(guard.Held());
    EXPECT_TRUE(guard.Failed());
    EXPECT_FALSE(fs::exists(target));
}

TEST(TInstanceGuard, DefaultPathFollowsTheRuntimeFolder) {
    TTempFolder dir;
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string restore = saved ? saved : "";
    ::setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1);
    EXPECT_EQ(TInstanceGuard::DefaultPath(), dir.Path() / "Quorvel.lock");
    ::setenv("XDG_RUNTIME_DIR", "relative/path", 1);
    EXPECT_EQ(TInstanceGuard::DefaultPath(), fs::path("/tmp") / ("Quorvel-" + std::to_string(::getuid()) + ".lock"));
    if (saved)
        ::setenv("XDG_RUNTIME_DIR", restore.c_str(), 1);
    else
        ::unsetenv("XDG_RUNTIME_DIR");
}
