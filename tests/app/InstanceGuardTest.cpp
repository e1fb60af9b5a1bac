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
using quorvel::InstanceGuard;

namespace {}  // namespace

TEST(InstanceGuard, SecondHolderIsRefusedUntilTheFirstEnds) {
    TTempFolder dir;
    const auto lock = dir.Path() / "Quorvel.lock";
    {
        InstanceGuard first(lock);
        ASSERT_TRUE(first.Held());
        InstanceGuard second(lock);
        EXPECT_FALSE(second.Held());
        EXPECT_FALSE(second.Failed());
    }
    InstanceGuard again(lock);
    EXPECT_TRUE(again.Held());
    struct stat info {};
    ASSERT_EQ(::stat(lock.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(InstanceGuard, KilledHolderLeavesNoStaleGuard) {
    TTempFolder dir;
    const auto lock = dir.Path() / "Quorvel.lock";
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        InstanceGuard held(lock);
        const char byte = held.Held() ? 1 : 0;
        [[maybe_unused]] auto w = ::write(ready[1], &byte, 1);
        ::pause();
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 1);
    {
        InstanceGuard whileRunning(lock);
        EXPECT_FALSE(whileRunning.Held());
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    InstanceGuard afterKill(lock);
    EXPECT_TRUE(afterKill.Held());
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST(InstanceGuard, RefusesALockFileThatIsASymlink) {
    TTempFolder dir;
    const auto target = dir.Path() / "elsewhere";
    const auto lock = dir.Path() / "Quorvel.lock";
    fs::create_symlink(target, lock);
    InstanceGuard guard(lock);
    EXPECT_FALSE(guard.Held());
    EXPECT_TRUE(guard.Failed());
    EXPECT_FALSE(fs::exists(target));
}

TEST(InstanceGuard, DefaultPathFollowsTheRuntimeFolder) {
    TTempFolder dir;
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string restore = saved ? saved : "";
    ::setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1);
    EXPECT_EQ(InstanceGuard::DefaultPath(), dir.Path() / "Quorvel.lock");
    ::setenv("XDG_RUNTIME_DIR", "relative/path", 1);
    EXPECT_EQ(InstanceGuard::DefaultPath(), fs::path("/tmp") / ("Quorvel-" + std::to_string(::getuid()) + ".lock"));
    if (saved)
        ::setenv("XDG_RUNTIME_DIR", restore.c_str(), 1);
    else
        ::unsetenv("XDG_RUNTIME_DIR");
}
