#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "settings/RegistryStore.h"
#include "settings/UpdateLock.h"
#include "tests/support/TempFolder.h"

using namespace quorvel;
using namespace std::chrono_literals;

namespace {

// How many descriptors of this process are open on Folder: one for each
// update lock held or being waited for there.
int LockAttempts(const std::filesystem::path& Folder) {
    const std::filesystem::path folder = std::filesystem::canonical(Folder);
    int count = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        std::error_code unreadable;
        count += std::filesystem::read_symlink(entry.path(), unreadable) == folder;
    }
    return count;
}

bool WaitUntil(const std::function<bool()>& Condition, std::chrono::milliseconds Limit) {
    const auto end = std::chrono::steady_clock::now() + Limit;
    while (!Condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

}  // namespace

// Two programs updating the same settings: the second update starts only when
// the first has ended, so it reads (and keeps) what the first one saved.
TEST(TUpdateLock, AnUpdateWaitsForTheOtherProgramsUpdateToEnd) {
    TTempFolder temp;
    const auto file = temp / "registry.reg";
    TRegistryStore tray(file);
    TRegistryStore checker(file);

    tray.BeginUpdate();
    tray.WriteString("Software\\Ombrask\\Quorvel\\Accounts\\0", "Host", "pop.example.jp");

    std::string seen;
    std::thread other([&] {
        checker.BeginUpdate();
        seen = checker.KeyExists("Software\\Ombrask\\Quorvel\\Accounts\\0")
                   ? checker.ReadString("Software\\Ombrask\\Quorvel\\Accounts\\0", "Host")
                   : "(missing)";
        checker.CreateKey("Software\\Ombrask\\Quorvel\\Accounts");
        checker.CommitUpdate();
        checker.EndUpdate();
    });
    // The other update has opened the folder to lock it: it waits for ours.
    EXPECT_TRUE(WaitUntil([&] { return LockAttempts(temp.Path()) == 2; }, 10s));
    tray.CommitUpdate();
    tray.EndUpdate();
    other.join();

    EXPECT_EQ(seen, "pop.example.jp");
    EXPECT_EQ(TRegistryStore(file).ReadString("Software\\Ombrask\\Quorvel\\Accounts\\0", "Host"), "pop.example.jp");
}

TEST(TUpdateLock, WaitingIsBoundedAndTheLockGoesWithItsHolder) {
    TTempFolder temp;
    const auto file = temp / "Quorvel" / "registry.reg";
    {
        TUpdateLock first(file);
        ASSERT_TRUE(first.Held());
        const auto start = std::chrono::steady_clock::now();
        TUpdateLock second(file, 50ms);
        EXPECT_FALSE(second.Held());
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    }
    TUpdateLock again(file, 50ms);
    EXPECT_TRUE(again.Held());
}
