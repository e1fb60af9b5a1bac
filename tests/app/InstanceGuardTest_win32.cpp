#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/InstanceGuard.h"

using quorvel::TInstanceGuard;

namespace {

// A guard name of this test run only, never the program's own.
std::string TestName(const char* what) {
    return "QuorvelTest-" + std::to_string(::GetCurrentProcessId()) + "-" + what;
}

std::wstring ProbePath() {
    wchar_t self[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self, n);
    return path.substr(0, path.find_last_of(L"\\/") + 1) + L"quorvel-guard-probe.exe";
}

// Starts the probe with Args; the caller waits for and closes the process.
HANDLE StartProbe(const std::string& Args) {
    std::wstring command = L"\"" + ProbePath() + L"\" " + std::wstring(Args.begin(), Args.end());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return nullptr;
    }
    ::CloseHandle(process.hThread);
    return process.hProcess;
}

// The probe's exit code, or -1 when it did not end within 20 s.
int RunProbe(const std::string& Name) {
    HANDLE process = StartProbe(Name);
    if (process == nullptr) return -2;
    DWORD code = 0;
    const bool ended = ::WaitForSingleObject(process, 20000) == WAIT_OBJECT_0;
    if (ended)
        ::GetExitCodeProcess(process, &code);
    else
        ::TerminateProcess(process, 1);
    ::CloseHandle(process);
    return ended ? static_cast<int>(code) : -1;
}

}  // namespace

TEST(TInstanceGuard, IsTheNamedMutexQuorvel) {
    EXPECT_EQ(TInstanceGuard::DefaultPath().string(), "Quorvel");
}

TEST(TInstanceGuard, SecondProcessSeesTheGuardAndEndsWithZero) {
    const std::string name = TestName("second");
    {
        TInstanceGuard first(name);
        ASSERT_TRUE(first.Held());
        EXPECT_FALSE(first.Failed());
        EXPECT_EQ(RunProbe(name), 0);
        // The second one did not disturb the first.
        HANDLE still = ::OpenMutexA(MUTEX_ALL_ACCESS, FALSE, name.c_str());
        EXPECT_NE(still, nullptr);
        if (still != nullptr) ::CloseHandle(still);
    }
    // Once the first has ended the next copy runs.
    EXPECT_EQ(RunProbe(name), 3);
}

TEST(TInstanceGuard, SecondGuardInTheSameProcessIsRefused) {
    const std::string name = TestName("same");
    TInstanceGuard first(name);
    ASSERT_TRUE(first.Held());
    TInstanceGuard second(name);
    EXPECT_FALSE(second.Held());
    EXPECT_FALSE(second.Failed());
}

TEST(TInstanceGuard, KilledHolderLeavesNoStaleGuard) {
    const std::string name = TestName("killed");
    const std::string event = name + "-ready";
    HANDLE ready = ::CreateEventA(nullptr, TRUE, FALSE, event.c_str());
    ASSERT_NE(ready, nullptr);
    HANDLE holder = StartProbe(name + " hold " + event);
    ASSERT_NE(holder, nullptr);
    ASSERT_EQ(::WaitForSingleObject(ready, 20000), WAIT_OBJECT_0);
    {
        TInstanceGuard whileRunning(name);
        EXPECT_FALSE(whileRunning.Held());
    }
    ::TerminateProcess(holder, 9);
    ASSERT_EQ(::WaitForSingleObject(holder, 20000), WAIT_OBJECT_0);
    ::CloseHandle(holder);
    ::CloseHandle(ready);
    TInstanceGuard after(name);
    EXPECT_TRUE(after.Held());
}
