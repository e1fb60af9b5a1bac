#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "settings/RegistryStore.h"
#include "settings/UpdateLock.h"
#include "tests/support/TempFolder.h"

using namespace quorvel;
using namespace std::chrono_literals;

// Two programs updating the same settings: the second update starts only when
// the first has ended, so it reads (and keeps) what the first one saved.
TEST(UpdateLock, AnUpdateWaitsForTheOtherProgramsUpdateToEnd) {
    TTempFolder temp;
    const auto file = temp / "registry.reg";
    RegistryStore tray(file);
    RegistryStore checker(file);

    tray.BeginUpdate();
    tray.WriteString("Software\\Ombrask\\Quorvel\\Accounts\\0", "Host", "pop.example.jp");

    std::atomic<bool> started{false};
    std::string seen;
    std::thread other([&] {
        started = true;
        checker.BeginUpdate();
        seen = checker.KeyExists("Software\\Ombrask\\Quorvel\\Accounts\\0")
                   ? checker.ReadString("Software\\Ombrask\\Quorvel\\Accounts\\0", "Host")
                   : "(missing)";
        checker.CreateKey("Software\\Ombrask\\Quorvel\\Accounts");
        checker.CommitUpdate();
        checker.EndUpdate();
    });
    while (!started) std::this_thread::yield();
    std::this_thread::sleep_for(100ms);  // the other update is now waiting for ours
    tray.CommitUpdate();
    tray.EndUpdate();
    other.join();

    EXPECT_EQ(seen, "pop.example.jp");
    EXPECT_EQ(RegistryStore(file).ReadString("Software\\Ombrask\\Quorvel\\Accounts\\0", "Host"), "pop.example.jp");
}

TEST(UpdateLock, WaitingIsBoundedAndTheLockGoesWithItsHolder) {
    TTempFolder temp;
    const auto file = temp / "Quorvel" / "registry.reg";
    {
        UpdateLock first(file);
        ASSERT_TRUE(first.Held());
        const auto start = std::chrono::steady_clock::now();
        UpdateLock second(file, 50ms);
        EXPECT_FALSE(second.Held());
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    }
    UpdateLock again(file, 50ms);
    EXPECT_TRUE(again.Held());
}
