#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <random>
#include <string>

#include "settings/Settings.h"
#include "settings/WinRegistry_win32.h"
#include "tests/settings/TestKey_win32.h"

using namespace quorvel;

namespace {

std::wstring SaveLoopPath() {
    wchar_t self[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self, n);
    return path.substr(0, path.find_last_of(L"\\/") + 1) + L"quorvel-save-loop.exe";
}

std::string Hosts(const TAccounts& Accounts) {
    std::string hosts;
    for (std::int32_t i = 0; i < Accounts.Count(); ++i) hosts += Accounts.Items(i).Host + " ";
    return hosts;
}

}  // namespace

// A process killed anywhere in a save leaves one whole account list, the old
// or the new, and nothing beside the settings key once the next store ran.
TEST(KilledSave, LeavesTheOldOrTheNewListNeverAMix) {
    TTestKey key;
    {
        TWinRegistry registry(key.Base());
        TAccounts first;
        first.Add().Host = "one.example";
        SaveAccounts(registry, first);
    }
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<DWORD> delay(0, 30);
    const std::string eventName = key.Base().substr(key.Base().find('\\') + 1) + "-started";
    HANDLE started = ::CreateEventA(nullptr, FALSE, FALSE, eventName.c_str());
    ASSERT_NE(started, nullptr);
    int sawOne = 0;
    int sawThree = 0;
    for (int round = 0; round < 12; ++round) {
        std::wstring command =
            L"\"" + SaveLoopPath() + L"\" " + WideFromUtf8(key.Base()) + L" " + WideFromUtf8(eventName);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                     &process));
        ASSERT_EQ(::WaitForSingleObject(started, 20000), WAIT_OBJECT_0);
        ::Sleep(delay(random));
        ::TerminateProcess(process.hProcess, 9);
        ::WaitForSingleObject(process.hProcess, 20000);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);

        TWinRegistry next(key.Base());
        TAccounts loaded;
        std::uint32_t period = 0;
        LoadSettings(next, loaded, period);
        const std::string hosts = Hosts(loaded);
        if (hosts == "one.example ")
            ++sawOne;
        else if (hosts == "a.example b.example c.example ")
            ++sawThree;
        else
            ADD_FAILURE() << "round " << round << ": " << hosts;
        EXPECT_EQ(key.Subkeys("Software\\Ombrask"), std::vector<std::string>{"Quorvel"}) << "round " << round;
    }
    ::CloseHandle(started);
    std::printf("killed saves: %d left one account, %d left three\n", sawOne, sawThree);
}
