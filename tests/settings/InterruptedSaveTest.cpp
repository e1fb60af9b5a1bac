// A save killed at any moment leaves either the old or the new settings.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "settings/RegFileFormat.h"
#include "settings/RegistryStore.h"
#include "settings/Settings.h"
#include "tests/support/TempFolder.h"

using namespace quorvel;
namespace fs = std::filesystem;

namespace {

// A long list, so that writing it takes a while; Tag tells the lists apart.
void FillAccounts(TAccounts& accounts, const std::string& tag) {
    accounts.Clear();
    for (int i = 0; i < 400; ++i) {
        TAccount& a = accounts.Add();
        a.Host = tag + ".host" + std::to_string(i) + ".example.jp";
        a.Port = 110 + i;
        a.UserID = "利用者" + std::to_string(i);
        a.Password = tag + "-password-" + std::to_string(i);
        a.Enabled = i % 2 == 0;
    }
}

// Which list the file holds: "A", "B", or a description of what is wrong.
std::string WhichList(const fs::path& file) {
    TRegistryStore store(file);
    TAccounts loaded;
    std::uint32_t period = 0;
    LoadSettings(store, loaded, period);
    if (!store.Problems().empty()) return "damaged: " + store.Problems().front();
    if (loaded.Count() != 400) return "count " + std::to_string(loaded.Count());
    const std::string tag = loaded.Items(0).Host.substr(0, 1);
    TAccounts expected;
    FillAccounts(expected, tag);
    // Names sort as text, so position p holds account order[p].
    std::vector<std::string> names;
    for (int i = 0; i < 400; ++i) names.push_back(std::to_string(i));
    std::sort(names.begin(), names.end());
    for (int p = 0; p < 400; ++p) {
        const TAccount& want = expected.Items(std::stoi(names[static_cast<std::size_t>(p)]));
        const TAccount& got = loaded.Items(p);
        if (got.Host != want.Host || got.Port != want.Port || got.UserID != want.UserID ||
            got.Password != want.Password || got.Enabled != want.Enabled) {
            return "mixed at " + std::to_string(p);
        }
    }
    return tag;
}

}  // namespace

TEST(InterruptedSave, KilledWriterLeavesOldOrNewList) {
    TTempFolder temp;
    const fs::path file = temp / "registry.reg";
    {
        TRegistryStore store(file);
        TAccounts first;
        FillAccounts(first, "A");
        SaveAccounts(store, first);
    }
    ASSERT_EQ(WhichList(file), "A");

    std::mt19937 random(12345);
    std::uniform_int_distribution<int> delayUs(0, 30000);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(40);
    int rounds = 0;
    int sawB = 0;
    for (; rounds < 40 && std::chrono::steady_clock::now() < deadline; ++rounds) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::alarm(20);  // never outlive a parent that failed to kill it
            TRegistryStore store(file);
            TAccounts a;
            TAccounts b;
            FillAccounts(a, "A");
            FillAccounts(b, "B");
            for (int n = 0;; ++n) SaveAccounts(store, n % 2 == 0 ? b : a);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the writer ended on its own";

        const std::string found = WhichList(file);
        ASSERT_TRUE(found == "A" || found == "B") << "round " << rounds << ": " << found;
        sawB += found == "B";
    }
    EXPECT_GE(rounds, 10);
    RecordProperty("rounds", rounds);
    RecordProperty("new list seen", sawB);

    // Only temporary files of killed writers may be left next to the file.
    for (const auto& entry : fs::directory_iterator(temp.Path())) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "registry.reg" || name.rfind("registry.reg.tmp-", 0) == 0) << name;
    }
}
