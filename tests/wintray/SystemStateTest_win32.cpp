#include "gui/win32/SystemState_win32.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace quorvel {
namespace {

// A hidden top-level window whose procedure hands its messages to the state,
// as the main window's does.
struct StateWindow {
    static LRESULT CALLBACK Proc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
        auto* self = reinterpret_cast<StateWindow*>(::GetWindowLongPtrW(Window, GWLP_USERDATA));
        LRESULT result = 0;
        if (self != nullptr && self->State && self->State->HandleMessage(Message, WParam, LParam, result))
            return result;
        return ::DefWindowProcW(Window, Message, WParam, LParam);
    }
    StateWindow() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = Proc;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"QuorvelStateTest";
        ::RegisterClassW(&windowClass);
        Window = ::CreateWindowExW(0, L"QuorvelStateTest", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                   windowClass.hInstance, nullptr);
        ::SetWindowLongPtrW(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        State = std::make_unique<TWinSystemState>(
            Window, [this](const std::string& Message) { Reported.push_back(Message); },
            [this] {
                ++Probes;
                return Up;
            });
    }
    ~StateWindow() {
        State.reset();
        ::DestroyWindow(Window);
    }
    // Handles what waits, with a bound.
    void Pump() {
        const DWORD end = ::GetTickCount() + 2000;
        MSG message;
        while (::GetTickCount() < end && ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&message);
    }
    HWND Window = nullptr;
    bool Up = true;
    int Probes = 0;
    std::vector<std::string> Reported;
    std::unique_ptr<TWinSystemState> State;
};

TEST(WinSystemState, OnlyAnAutomaticResumeCounts) {
    struct Case {
        WPARAM Event;
        int Resumed;
    };
    const Case cases[] = {{0x12, 1}, {0x7, 0}, {0x4, 0}, {0xA, 0}};  // automatic, by the user, suspend, power
    for (const Case& c : cases) {
        StateWindow window;
        int resumed = 0;
        window.State->OnResumed = [&] { ++resumed; };
        EXPECT_EQ(::SendMessageW(window.Window, WM_POWERBROADCAST, c.Event, 0), TRUE);
        EXPECT_EQ(resumed, c.Resumed) << c.Event;
    }
}

// The system calls back on threads of its own: the main window's thread reads
// the network once per burst and tells only a change.
TEST(WinSystemState, NetworkNoticesFromOtherThreadsReachTheWindowThread) {
    StateWindow window;
    ASSERT_TRUE(window.State->KnowsNetwork()) << "no network notifications here";
    EXPECT_TRUE(window.State->Online());
    std::vector<std::pair<bool, DWORD>> told;
    window.State->OnNetworkChanged = [&](bool Online) { told.push_back({Online, ::GetCurrentThreadId()}); };
    const int probesBefore = window.Probes;
    const auto burst = [&] {
        std::thread([&] {
            for (int i = 0; i < 5; ++i) window.State->NetworkNoticed();
        }).join();
        window.Pump();
    };
    window.Up = false;
    burst();
    burst();  // no change
    window.Up = true;
    burst();
    EXPECT_EQ(window.Probes - probesBefore, 3);
    const std::vector<std::pair<bool, DWORD>> expected = {{false, ::GetCurrentThreadId()},
                                                          {true, ::GetCurrentThreadId()}};
    EXPECT_EQ(told, expected);
    EXPECT_TRUE(window.State->Online());

    window.State->OnNetworkChanged = [](bool) { throw std::runtime_error("boom"); };
    window.Up = false;
    burst();
    EXPECT_EQ(window.Reported, (std::vector<std::string>{"boom"}));
}

}  // namespace
}  // namespace quorvel
